// The editor's command line: a probe file to load at start, or --help / --version, which print
// their text (UTF-8) and end the program.
#pragma once

#include <string>
#include <vector>

namespace lifecycle {

struct CommandLine {
    enum class Action { run, help, version, error };
    Action action = Action::run;
    std::string probeFile;  // the file to load at start (as given); empty for none
    std::string text;       // what help, version and error print
};

// `arguments` without the program's own name.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The same, before the toolkit has taken its own options (-platform, -style and the like, with
// their values), so that help, version and a mistake are answered without a display. The
// toolkit's options are passed over here; a probe file found is as given.
CommandLine parseCommandLineBeforeToolkit(const std::vector<std::string>& arguments);

std::string helpText();
std::string versionText();

}  // namespace lifecycle
