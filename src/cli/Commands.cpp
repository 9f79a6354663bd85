#include "cli/Commands.h"

#include <cstdio>

namespace vsr::cli {

int Run(int argc, char** argv) {
    (void)argc;
    (void)argv;
    std::fputs("usage: vsr info FILE [--json]\n", stderr);
    return 2;
}

} // namespace vsr::cli
