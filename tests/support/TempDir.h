#pragma once
// A fresh temporary folder for one test, removed with everything in it afterwards.

#include <filesystem>
#include <string>
#include <vector>

namespace vsr::test {

class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::string File(const std::string& name) const { return (FPath / name).string(); }
    // The names of what the folder holds, sorted.
    std::vector<std::string> Names() const;

private:
    std::filesystem::path FPath;
};

} // namespace vsr::test
