#pragma once
// Temporary files: the system's temporary folder and unique names made in it.

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace vsr {

// The temporary folder: $TMPDIR when set, otherwise /tmp; without a trailing slash.
std::string TempFolder();

// Creates a new empty file "<folder>/<prefix><pid>-XXXXXX" (mode 0600, never an existing file or
// link) whose name no other file had, and returns its name; an empty string when the folder
// does not exist or the file cannot be created. The process id lets a later run tell the files
// of an ended process (RemoveOrphanedTempFiles).
std::string CreateTempFile(const std::string& prefix, const std::string& folder = TempFolder());

// Removes the file if it exists; true when it is gone afterwards.
bool DeleteTempFile(const std::string& fileName);

// Removes the files an ended process left in folder: regular files of this user named
// "<prefix><pid>-XXXXXX" for one of the prefixes, whose process no longer runs. Returns how
// many it removed.
int RemoveOrphanedTempFiles(const std::vector<std::string>& prefixes,
                            const std::string& folder = TempFolder());

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

// An output file written under a temporary name beside its final name and renamed over it once
// complete: a failed or interrupted write leaves the final name as it was, and nothing else.
class TOutputFile {
public:
    // Raises EFOpenError when fileName names something other than a regular file, or when no
    // file can be created in its folder.
    explicit TOutputFile(const std::string& fileName, mode_t mode = 0644);
    ~TOutputFile() = default; // the temporary file goes unless committed
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Where to write.
    const std::string& TempName() const { return FTemp.FileName(); }
    // Gives the file its mode and final name; raises EFOpenError when it cannot.
    void Commit();

private:
    std::string FFileName;
    mode_t FMode;
    TTempFile FTemp;
};

} // namespace vsr
