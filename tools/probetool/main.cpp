// probetool: probe files from the command line (see `probetool --help`).
#include <iostream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tools/probetool/commands.h"

int main(int argc, char** argv) {
    // File names as typed, in UTF-8 on every system (on Windows from the wide command line, which
    // carries names that the ANSI code page cannot).
    std::vector<std::string> args = platform::utf8Arguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    return probetool::run(args, std::cout, std::cerr);
}
