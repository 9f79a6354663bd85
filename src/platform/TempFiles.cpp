#include "platform/TempFiles.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace vsr {

std::string TempFolder() {
    const char* folder = std::getenv("TMPDIR");
    std::string result = folder && *folder ? folder : "/tmp";
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

std::string CreateTempFile(const std::string& prefix, const std::string& folder) {
    std::string name = folder + "/" + prefix + "XXXXXX";
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

} // namespace vsr
