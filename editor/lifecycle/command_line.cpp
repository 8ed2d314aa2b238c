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

}  // namespace lifecycle
