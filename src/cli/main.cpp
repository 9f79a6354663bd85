#include "cli/Commands.h"

int main(int argc, char** argv) {
    return vsr::cli::Run(argc, argv);
}
