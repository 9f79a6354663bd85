#pragma once
// Temporary files: the system's temporary folder and unique names made in it.

#include <string>
#include <utility>

namespace vsr {

// The temporary folder: $TMPDIR when set, otherwise /tmp; without a trailing slash.
std::string TempFolder();

// Creates a new empty file "<folder>/<prefix>XXXXXX" whose name no other file had, and returns
// its name; an empty string when the folder does not exist or the file cannot be created.
std::string CreateTempFile(const std::string& prefix, const std::string& folder = TempFolder());

// Removes the file if it exists; true when it is gone afterwards.
bool DeleteTempFile(const std::string& fileName);

} // namespace vsr

namespace vsr {

// Owns a temporary file name and deletes the file when it goes out of scope.
class TTempFile {
public:
    explicit TTempFile(std::string fileName = {}) : FFileName(std::move(fileName)) {}
    ~TTempFile() { DeleteTempFile(FFileName); }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    const std::string& FileName() const { return FFileName; }
    // Gives up ownership: the file stays.
    std::string Release() { return std::exchange(FFileName, {}); }

private:
    std::string FFileName;
};

} // namespace vsr
