#include "platform/TempFiles.h"

#include "shell/Exception.h"
#include "shell/Format.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vsr {

namespace {

namespace fs = std::filesystem;

// "<digits>-" followed by six characters of mkostemp: the pid, or 0 when the name is not one.
pid_t OwnerOf(const std::string& name, const std::string& prefix) {
    if (!name.starts_with(prefix))
        return 0;
    const std::string rest = name.substr(prefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || rest.size() != dash + 7 ||
        rest.find_first_not_of("0123456789") != dash)
        return 0;
    return static_cast<pid_t>(std::strtol(rest.c_str(), nullptr, 10));
}

bool ProcessEnded(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// A new file beside fileName, which must be a regular file if it exists.
std::string FileBeside(const std::string& fileName) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        throw EFOpenError(Format("Cannot write \"%s\": it is not a regular file", fileName));
    const fs::path path(fileName);
    const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
    std::string temp = CreateTempFile("." + path.filename().string() + ".", folder);
    if (temp.empty())
        throw EFOpenError(
            Format("Cannot create a file beside \"%s\". %s", fileName, std::strerror(errno)));
    return temp;
}

} // namespace

std::string TempFolder() {
    const char* folder = std::getenv("TMPDIR");
    std::string result = folder && *folder ? folder : "/tmp";
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

std::string CreateTempFile(const std::string& prefix, const std::string& folder) {
    std::string name = folder + "/" + prefix + std::to_string(::getpid()) + "-XXXXXX";
    const int handle = ::mkostemp(name.data(), O_CLOEXEC);
    if (handle < 0)
        return {};
    ::close(handle);
    return name;
}

bool DeleteTempFile(const std::string& fileName) {
    if (fileName.empty())
        return true;
    return ::unlink(fileName.c_str()) == 0 || errno == ENOENT;
}

int RemoveOrphanedTempFiles(const std::vector<std::string>& prefixes, const std::string& folder) {
    int removed = 0;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        struct stat info {};
        const std::string path = entry.path().string();
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::getuid())
            continue;
        for (const std::string& prefix : prefixes) {
            const pid_t owner = OwnerOf(entry.path().filename().string(), prefix);
            if (owner > 0 && ProcessEnded(owner) && ::unlink(path.c_str()) == 0) {
                ++removed;
                break;
            }
        }
    }
    return removed;
}

TOutputFile::TOutputFile(const std::string& fileName, mode_t mode)
    : FFileName(fileName), FMode(mode), FTemp(FileBeside(fileName)) {}

void TOutputFile::Commit() {
    if (::chmod(TempName().c_str(), FMode) != 0 ||
        ::rename(TempName().c_str(), FFileName.c_str()) != 0)
        throw EFOpenError(Format("Cannot write \"%s\". %s", FFileName, std::strerror(errno)));
    FTemp.Release();
}

} // namespace vsr
