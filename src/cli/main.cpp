#include "cli/cli.h"

int main(int argc, char** argv) {
    return velsend::cli::ProcessMain(argc, argv);
}
