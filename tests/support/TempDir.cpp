#include "support/TempDir.h"

#include <algorithm>
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

std::vector<std::string> TTempDir::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FPath))
        names.push_back(entry.path().filename().string());
    std::ranges::sort(names);
    return names;
}

} // namespace vsr::test
