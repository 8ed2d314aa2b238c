#include "tools/probetool/commands.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <ostream>

#include "platform/append_file.h"
#include "platform/replace_file.h"
#include "probe_core/files/probe_files.h"
#include "probe_core/json/probe_json_schema.h"
#include "probe_core/record/encodings.h"
#include "tools/probetool/command_parts.h"
#include "tools/probetool/probe_view.h"

namespace probetool {

namespace fs = std::filesystem;
using probefiles::ErrorCode;
using probefiles::ProbeFiles;

int exitStatusOf(const probefiles::Error& error) {
    switch (error.code) {
        case ErrorCode::kHeaderUnreadable:
        case ErrorCode::kRecordDamaged:
        case ErrorCode::kInvalidProbe:
        case ErrorCode::kProbeTooLarge:
            return kDamagedOrInvalid;
        default:
            return kUsageOrFile;
    }
}

int report(const probefiles::Error& error, std::ostream& err) {
    err << probefiles::messageOf(error) << '\n';
    return exitStatusOf(error);
}

std::optional<probefiles::FileName> nameFrom(const std::string& arg, std::ostream& err) {
    auto name = probefiles::nameOf(arg);
    if (name) return *name;
    if (name.error().code == ErrorCode::kEmptyName) {
        err << "Неверный вызов: пустое имя файла\nСправка: probetool --help\n";
        return std::nullopt;
    }
    report(name.error(), err);
    return std::nullopt;
}

std::optional<probefiles::OpenedFile> openSource(ProbeFiles& files, const std::string& arg,
                                                 std::ostream& err, int& status) {
    status = kUsageOrFile;
    auto name = nameFrom(arg, err);
    if (!name) return std::nullopt;
    auto opened = files.open(*name);
    if (!opened) {
        status = report(opened.error(), err);
        return std::nullopt;
    }
    status = kDone;
    if (opened->headerDamaged) {
        report(probefiles::Error{ErrorCode::kHeaderDamaged, name->shown}, err);
        status = kDamagedOrInvalid;
    }
    return *opened;
}

namespace {

int usage(std::ostream& err, const std::string& what) {
    err << "Неверный вызов: " << what << "\nСправка: probetool --help\n";
    return kUsageOrFile;
}

std::optional<std::uint32_t> recordNumber(const std::string& text) {
    std::uint32_t value = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || value == 0)
        return std::nullopt;
    return value;
}

// ---- commands that only read ----

int listCommand(ProbeFiles& files, const Args& args, const Options&, std::ostream& out,
                std::ostream& err) {
    int status = kDone;
    auto source = openSource(files, args[1], err, status);
    if (!source) return status;
    for (std::uint32_t i = 0; i < source->count; ++i) {
        out << i + 1 << '\t';
        if (auto r = files.read(*source, i)) {
            out << "исправна\t" << probe::readTextCell((*r)->Proizvoditel) << '\t'
                << probe::readTextCell((*r)->Model) << '\t' << probe::readTextCell((*r)->Nazvanie)
                << '\n';
        } else {
            out << "повреждена\n";
            status = kDamagedOrInvalid;
        }
    }
    return status;
}

int showCommand(ProbeFiles& files, const Args& args, const Options&, std::ostream& out,
                std::ostream& err) {
    auto number = recordNumber(args[2]);
    if (!number)
        return usage(err, "номер записи " + probefiles::inQuotes(args[2]) + " — не число от 1");
    int status = kDone;
    auto source = openSource(files, args[1], err, status);
    if (!source) return status;
    if (*number > source->count) {
        probefiles::Error e{ErrorCode::kNoSuchRecord, source->file.shown};
        e.probe = *number;
        e.count = source->count;
        report(e, err);
        return kUsageOrFile;
    }
    auto r = files.read(*source, *number - 1);
    if (!r) return report(r.error(), err);
    out << "Запись " << *number << " из " << source->count << ", файл "
        << probefiles::inQuotes(source->file.shown) << "\n\n"
        << showRecord(**r);
    return kDone;
}

// Checks every surface of a surface file (*.pv).
int checkSurfaceFile(const probefiles::FileName& file, std::ostream& out, std::ostream& err) {
    auto report = probefiles::checkSurfaces(file);
    if (!report) return probetool::report(report.error(), err);
    reportSurfaceHeader(*report, file.shown, out);
    for (std::uint64_t number : report->lost)
        out << "Поверхность " << number << " повреждена: не загружается\n";
    out << "Поверхностей: " << report->written + report->lost.size()
        << ", исправных: " << report->written << '\n';
    return report->lost.empty() && !report->headerDamaged && report->uncounted == 0
               ? kDone
               : kDamagedOrInvalid;
}

int checkCommand(ProbeFiles& files, const Args& args, const Options&, std::ostream& out,
                 std::ostream& err) {
    if (auto name = probefiles::nameOf(args[1]); name && probefiles::isSurfaceFileName(name->path))
        return checkSurfaceFile(*name, out, err);
    int status = kDone;
    auto source = openSource(files, args[1], err, status);
    if (!source) return status;
    // A replacement of the file cut short (an import killed or cut off by a power cut) leaves
    // its new file beside it: the probe file itself is whole, the new file is to be removed.
    std::uint32_t leftovers = 0;
    std::error_code ec;
    const fs::path folder = fs::absolute(source->file.path, ec).parent_path();
    const std::string prefix =
        platform::temporaryNamePrefix(source->file.path, platform::kReplacementMark);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) == 0 && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".tmp") == 0) {
            out << "Незавершённый импорт: файл " << probefiles::inQuotes(it->path().string())
                << " остался от прерванной записи; сам файл датчиков цел, этот файл можно "
                   "удалить\n";
            ++leftovers;
        }
    }
    std::uint32_t damaged = 0;
    for (std::uint32_t i = 0; i < source->count; ++i) {
        if (!files.read(*source, i)) {
            out << "Запись " << i + 1 << " повреждена: не загружается\n";
            ++damaged;
        }
    }
    if (source->headerDamaged)
        out << "Заголовок файла повреждён; записей: " << source->count
            << ", исправных: " << source->count - damaged << '\n';
    if (damaged != 0) {
        out << "Повреждено записей: " << damaged << " из " << source->count << '\n';
        return kDamagedOrInvalid;
    }
    if (source->headerDamaged) return kDamagedOrInvalid;
    out << "Все записи загружаются, записей: " << source->count << '\n';
    return leftovers != 0 ? kDamagedOrInvalid : kDone;
}

struct Command {
    const char* name;
    std::size_t minArgs, maxArgs;  // file arguments after the command's name
    bool takesForce;
    int (*run)(ProbeFiles&, const Args&, const Options&, std::ostream&, std::ostream&);
};

constexpr Command kCommands[] = {
    {"list", 1, 1, false, listCommand},    {"show", 2, 2, false, showCommand},
    {"export", 1, 2, true, exportCommand}, {"import", 2, 2, false, importCommand},
    {"check", 1, 1, false, checkCommand},  {"salvage", 2, 2, false, salvageCommand},
};

}  // namespace

std::string helpText() {
    return R"(probetool — файлы датчиков (*.dt) из командной строки, через ту же библиотеку
датчиков probestore, что и у редактора.

Вызов: probetool КОМАНДА АРГУМЕНТЫ

Команды:
  list ФАЙЛ.dt                  по строке на запись: номер, исправна или повреждена,
                                производитель, модель, название
  show ФАЙЛ.dt N                все поля записи N так, как их показывают страницы редактора
  export ФАЙЛ.dt [ВЫХОД.json] [--force]
                                все записи в JSON (без ВЫХОД.json — в стандартный вывод);
                                существующий ВЫХОД.json заменяется только с --force и только
                                если это документ JSON или пустой файл; файл датчиков или
                                поверхностей (даже с повреждённым заголовком) — никогда
  import ВХОД.json ФАЙЛ.dt      добавляет в ФАЙЛ.dt все датчики из ВХОД.json; при любой
                                ошибке в ВХОД.json не добавляет ничего
  check ФАЙЛ.dt                 проверяет, что загружается каждая запись
  check ФАЙЛ.pv                 то же для поверхностей файла поверхностей
  salvage ВХОД.dt ВЫХОД.dt      добавляет в ВЫХОД.dt все загружаемые записи ВХОД.dt и
                                сообщает, сколько потеряно
  salvage ВХОД.pv ВЫХОД.pv      записывает в новый файл ВЫХОД.pv все исправные поверхности
                                файла поверхностей ВХОД.pv и сообщает, сколько потеряно
  schema [--markdown]           схема JSON (JSON Schema) документа export и import: каждый
                                ключ, его тип, допустимые значения и единица; с --markdown —
                                таблица ключей одного датчика в Markdown
  --help                        эта справка

Записи нумеруются с 1, как их считает человек: первая запись файла — запись 1.
Формат JSON описан в docs/probe_json.md, его ключи — в выводе probetool schema.

Код завершения: 0 — выполнено; 1 — в файле есть повреждённые записи или входные данные
неверны; 2 — неверный вызов или файл не удаётся прочитать или записать.
)";
}

int run(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    Options options;
    std::vector<std::string> args;
    for (const std::string& a : given) {
        if (a == "--force")
            options.force = true;
        else
            args.push_back(a);
    }
    if (args.empty()) {
        err << helpText();
        return kUsageOrFile;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << helpText();
        return kDone;
    }
    // The schema comes from the field table alone: it needs no probe store.
    if (args[0] == "schema") {
        if (options.force) return usage(err, "команда schema не заменяет файлов: --force не к ней");
        if (args.size() == 1) {
            out << probejson::probeJsonSchema();
            return kDone;
        }
        if (args.size() == 2 && args[1] == "--markdown") {
            out << probejson::probeJsonKeyTable();
            return kDone;
        }
        return usage(err, "команда schema принимает только --markdown");
    }
    for (const Command& c : kCommands) {
        if (args[0] != c.name) continue;
        const std::size_t named = args.size() - 1;
        if (named < c.minArgs || named > c.maxArgs)
            return usage(err, std::string("неверное число аргументов команды ") + c.name);
        if (options.force && !c.takesForce)
            return usage(
                err, std::string("команда ") + c.name + " не заменяет файлов: --force не к ней");
        ProbeFiles files;
        if (const probefiles::Error* e = files.loadError()) return report(*e, err);
        return c.run(files, args, options, out, err);
    }
    return usage(err, "неизвестная команда " + probefiles::inQuotes(args[0]));
}

}  // namespace probetool
