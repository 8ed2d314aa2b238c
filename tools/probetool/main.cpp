// probetool: probe files from the command line (see `probetool --help`).
#include <iostream>
#include <string>
#include <vector>

#include "tools/probetool/commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return probetool::run(args, std::cout, std::cerr);
}
