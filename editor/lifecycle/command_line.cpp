#include "editor/lifecycle/command_line.h"

#include "editor/lifecycle/lifecycle.h"

namespace lifecycle {

std::string helpText() {
    return std::string("Использование: probe_editor [файл.dt]\n") + "Открывает " +
           kApplicationTitle +
           "; файл датчиков, названный в командной строке, загружается при запуске так же, как "
           "командой «Датчики» — «Загрузить из файла...».\n\n"
           "  --help     показать эту справку и выйти\n"
           "  --version  показать версию и выйти\n";
}

std::string versionText() {
    return std::string(kApplicationTitle) + " (probe_editor) " + PROBE_EDITOR_VERSION + "\n";
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    bool optionsEnd = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnd && argument == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && (argument == "--help" || argument == "-h")) {
            return {CommandLine::Action::help, {}, helpText()};
        } else if (!optionsEnd && argument == "--version") {
            return {CommandLine::Action::version, {}, versionText()};
        } else if (!optionsEnd && argument.size() > 1 && argument[0] == '-') {
            return {CommandLine::Action::error,
                    {},
                    "Неизвестный параметр: " + argument + "\n\n" + helpText()};
        } else if (!result.probeFile.empty()) {
            return {CommandLine::Action::error,
                    {},
                    "Можно назвать только один файл датчиков.\n\n" + helpText()};
        } else {
            result.probeFile = argument;
        }
    }
    return result;
}

namespace {

// The toolkit's own command-line options; the first group takes a value as the next argument
// (or after '=').
constexpr const char* kToolkitOptionsWithValue[] = {"-platform",      "-platformpluginpath",
                                                    "-platformtheme", "-plugin",
                                                    "-style",         "-stylesheet",
                                                    "-session",       "-display",
                                                    "-geometry",      "-qwindowgeometry",
                                                    "-qwindowtitle",  "-qwindowicon",
                                                    "-title",         "-name",
                                                    "-qmljsdebugger"};
constexpr const char* kToolkitFlags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};

}  // namespace

CommandLine parseCommandLineBeforeToolkit(const std::vector<std::string>& arguments) {
    std::vector<std::string> own;
    bool optionsEnd = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") optionsEnd = true;
        bool toolkit = false;
        if (!optionsEnd) {
            // The toolkit also takes its options with two dashes.
            const std::string name = argument.rfind("--", 0) == 0 ? argument.substr(1) : argument;
            for (const char* option : kToolkitOptionsWithValue) {
                if (name == option) {
                    toolkit = true;
                    ++i;  // its value
                } else if (name.rfind(std::string(option) + "=", 0) == 0) {
                    toolkit = true;
                }
                if (toolkit) break;
            }
            for (const char* flag : kToolkitFlags) toolkit = toolkit || name == flag;
        }
        if (!toolkit) own.push_back(argument);
    }
    return parseCommandLine(own);
}

}  // namespace lifecycle
