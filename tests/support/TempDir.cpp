#include "support/TempDir.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace vsr::test {

TTempDir::TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vsrtest-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    FPath = pattern;
}

TTempDir::~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
}

} // namespace vsr::test
