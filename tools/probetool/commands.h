// The probetool commands: list, show, export, import, check and salvage of probe files, all
// through the probe store library, and the JSON Schema of the export's document. Messages are
// Russian; the result is the exit status.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace probetool {

enum ExitStatus : int {
    kDone = 0,
    kDamagedOrInvalid = 1,  // damaged records, or input data that cannot be imported
    kUsageOrFile = 2,       // wrong usage, or a file that cannot be read or written
};

// Runs one command line (the arguments after the program name). Results go to `out`, messages
// to `err`.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The text of --help.
std::string helpText();

}  // namespace probetool
