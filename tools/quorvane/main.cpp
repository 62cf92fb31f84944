// quorvane: the command-line host of the library. Creates projects from databases, shows and
// changes their settings, generates their sites, and checks and synchronises them against their
// databases. `quorvane --help` lists the commands.

#include "Commands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return qv::cli::RunProgram(arguments, std::cout, std::cerr);
}
