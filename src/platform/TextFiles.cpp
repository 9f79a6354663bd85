#include "platform/TextFiles.h"

#include "shell/Format.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vsr {

namespace {

[[noreturn]] void Fail(std::string_view action, const std::string& fileName, int error) {
    throw ETextFile(Format("Cannot %s \"%s\": %s", action, fileName, std::strerror(error)));
}

void WriteAll(int handle, const std::string& content, const std::string& fileName) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = ::write(handle, content.data() + done, content.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            Fail("write", fileName, written < 0 ? errno : EIO);
        done += static_cast<std::size_t>(written);
    }
}

// Writes and flushes a new file beside fileName; returns its name.
std::string WriteBeside(const std::string& fileName, const std::string& content) {
    std::string temp = fileName + ".XXXXXX";
    const int handle = ::mkostemp(temp.data(), O_CLOEXEC);
    if (handle < 0)
        Fail("create", temp, errno);
    try {
        WriteAll(handle, content, temp);
        if (::fchmod(handle, 0644) != 0 || ::fsync(handle) != 0)
            Fail("write", temp, errno);
    } catch (...) {
        ::close(handle);
        ::unlink(temp.c_str());
        throw;
    }
    if (::close(handle) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        Fail("write", temp, error);
    }
    return temp;
}

} // namespace

std::optional<std::string> ReadTextFile(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        if (errno == ENOENT)
            return std::nullopt;
        Fail("read", fileName, errno);
    }
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

TFileChange WriteTextFile(const std::string& fileName, const std::string& content) {
    if (ReadTextFile(fileName) == content)
        return TFileChange::Unchanged;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(fileName).parent_path(), error);
    if (error)
        Fail("create the folder of", fileName, error.value());
    const std::string temp = WriteBeside(fileName, content);
    if (::rename(temp.c_str(), fileName.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temp.c_str());
        Fail("replace", fileName, renameError);
    }
    return TFileChange::Changed;
}

TFileChange RemoveTextFile(const std::string& fileName) {
    if (::unlink(fileName.c_str()) == 0)
        return TFileChange::Changed;
    if (errno == ENOENT)
        return TFileChange::Unchanged;
    Fail("remove", fileName, errno);
}

} // namespace vsr
