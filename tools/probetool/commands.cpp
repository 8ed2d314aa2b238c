#include "tools/probetool/commands.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>

#include "editor/probe/encodings.h"
#include "platform/cp1251.h"
#include "tools/probe_json/probe_json.h"
#include "tools/probetool/probe_store.h"
#include "tools/probetool/probe_view.h"

namespace probetool {

namespace fs = std::filesystem;
using probejson::DocumentWriter;
using probejson::Json;
using probejson::Problem;
using probejson::StagedProbe;

namespace {

// A file named on the command line: as typed (for messages), in cp1251 (for the probe store) and
// as the system's path (for the program's own checks).
struct FileName {
    std::string shown;
    std::string forStore;
    fs::path path;
};

std::string inQuotes(const std::string& text) {
    return "«" + text + "»";
}

int usage(std::ostream& err, const std::string& what) {
    err << "Неверный вызов: " << what << "\nСправка: probetool --help\n";
    return kUsageOrFile;
}

std::optional<FileName> fileName(const std::string& arg, std::ostream& err) {
    if (arg.empty()) {
        usage(err, "пустое имя файла");
        return std::nullopt;
    }
    // Arguments arrive in UTF-8 on every system. The store takes cp1251; a name with characters it
    // lacks would name another file.
    std::string cp1251 = platform::utf8ToCp1251(arg);
    if (platform::cp1251ToUtf8(cp1251) != arg) {
        err << "Имя файла " << inQuotes(arg)
            << " содержит знаки, которых нет в кодовой странице 1251: библиотека датчиков не "
               "сможет его открыть\n";
        return std::nullopt;
    }
    return FileName{arg, std::move(cp1251), fs::path(std::u8string(arg.begin(), arg.end()))};
}

// What a probe file starts with, and the size of its header in the only version there is
// (docs/probe_file_format.md). Only these are looked at here, to tell a file that is no probe
// file, or whose header is damaged, from one that holds no records: the probe store counts 0
// records for all of them.
constexpr char kProbeFileMagic[8] = {'D', 'A', 'T', 'C', 'H', 'I', 'K', 'I'};
constexpr std::uintmax_t kProbeFileHeaderSize = 24;

// Checks a file that a command reads: it must be a regular, readable file that is empty or
// starts like a probe file. `size` receives its size.
bool readableProbeFile(const FileName& f, std::ostream& err, std::uintmax_t& size) {
    std::error_code ec;
    const fs::file_status status = fs::status(f.path, ec);
    if (!fs::exists(status)) {
        err << "Файл " << inQuotes(f.shown) << " не найден\n";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        err << inQuotes(f.shown) << " — не файл\n";
        return false;
    }
    std::ifstream in(f.path, std::ios::binary);
    size = fs::file_size(f.path, ec);
    if (!in || ec) {
        err << "Файл " << inQuotes(f.shown) << " не удаётся открыть для чтения\n";
        return false;
    }
    if (size == 0) return true;
    char magic[sizeof kProbeFileMagic] = {};
    in.read(magic, sizeof magic);
    if (in.gcount() != sizeof magic || std::memcmp(magic, kProbeFileMagic, sizeof magic) != 0) {
        err << inQuotes(f.shown) << " — не файл датчиков\n";
        return false;
    }
    return true;
}

// A file that a command appends to: missing (the store creates it), or a probe file.
bool writableProbeFile(const FileName& f, std::ostream& err) {
    std::error_code ec;
    if (!fs::exists(fs::status(f.path, ec))) return true;
    std::uintmax_t size = 0;
    return readableProbeFile(f, err, size);
}

// A probe file longer than its header that holds no record has a header the store refuses.
bool headerRefused(const FileName& f, std::uint32_t count, std::uintmax_t size, std::ostream& err) {
    if (count != 0 || size <= kProbeFileHeaderSize) return false;
    err << "Файл " << inQuotes(f.shown)
        << ": заголовок повреждён или версия файла не поддерживается, записи не читаются\n";
    return true;
}

std::optional<std::uint32_t> recordNumber(const std::string& text) {
    std::uint32_t value = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || value == 0)
        return std::nullopt;
    return value;
}

// An open probe file: its name, its record count, and the store that reads it.
struct Source {
    FileName file;
    std::uint32_t count = 0;
};

std::optional<Source> openSource(ProbeStore& store, const std::string& arg, std::ostream& err,
                                 int& status) {
    auto file = fileName(arg, err);
    std::uintmax_t size = 0;
    status = kUsageOrFile;
    if (!file || !readableProbeFile(*file, err, size)) return std::nullopt;
    Source source{*file, store.count(file->forStore)};
    if (headerRefused(source.file, source.count, size, err)) {
        status = kDamagedOrInvalid;
        return std::nullopt;
    }
    status = kDone;
    return source;
}

// ---- commands ----

int listCommand(ProbeStore& store, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err) {
    int status = kDone;
    auto source = openSource(store, args[1], err, status);
    if (!source) return status;
    for (std::uint32_t i = 0; i < source->count; ++i) {
        out << i + 1 << '\t';
        if (const ProbeRecord* r = store.load(source->file.forStore, i)) {
            out << "исправна\t" << probe::readTextCell(r->Proizvoditel) << '\t'
                << probe::readTextCell(r->Model) << '\t' << probe::readTextCell(r->Nazvanie)
                << '\n';
        } else {
            out << "повреждена\n";
            status = kDamagedOrInvalid;
        }
    }
    return status;
}

int showCommand(ProbeStore& store, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err) {
    auto number = recordNumber(args[2]);
    if (!number) return usage(err, "номер записи " + inQuotes(args[2]) + " — не число от 1");
    int status = kDone;
    auto source = openSource(store, args[1], err, status);
    if (!source) return status;
    if (*number > source->count) {
        err << "В файле " << inQuotes(source->file.shown) << " записей: " << source->count
            << "; записи " << *number << " нет\n";
        return kUsageOrFile;
    }
    const ProbeRecord* r = store.load(source->file.forStore, *number - 1);
    if (r == nullptr) {
        err << "Запись " << *number << " файла " << inQuotes(source->file.shown)
            << " повреждена и не загружается\n";
        return kDamagedOrInvalid;
    }
    out << "Запись " << *number << " из " << source->count << ", файл "
        << inQuotes(source->file.shown) << "\n\n"
        << showRecord(*r);
    return kDone;
}

int exportCommand(ProbeStore& store, const std::vector<std::string>& args, std::ostream& out,
                  std::ostream& err) {
    int status = kDone;
    auto source = openSource(store, args[1], err, status);
    if (!source) return status;

    std::optional<FileName> target;
    std::ofstream file;
    if (args.size() == 3) {
        target = fileName(args[2], err);
        if (!target) return kUsageOrFile;
        file.open(target->path, std::ios::binary | std::ios::trunc);
        if (!file) {
            err << "Файл " << inQuotes(target->shown) << " не удаётся открыть для записи\n";
            return kUsageOrFile;
        }
    }
    DocumentWriter writer(target ? static_cast<std::ostream&>(file) : out);
    std::uint32_t written = 0;
    for (std::uint32_t i = 0; i < source->count; ++i) {
        if (const ProbeRecord* r = store.load(source->file.forStore, i)) {
            writer.probe(*r);
            ++written;
        } else {
            err << "Запись " << i + 1 << " повреждена и не загружается: в JSON её нет\n";
            status = kDamagedOrInvalid;
        }
    }
    if (!writer.finish()) {
        err << "Не удалось записать JSON"
            << (target ? " в файл " + inQuotes(target->shown) : std::string()) << '\n';
        return kUsageOrFile;
    }
    if (target)
        out << "Выгружено датчиков: " << written << ", файл " << inQuotes(target->shown) << '\n';
    return status;
}

void reportProblems(const std::string& file, const std::vector<Problem>& problems,
                    std::ostream& err) {
    constexpr std::size_t kShown = 100;
    for (std::size_t i = 0; i < problems.size() && i < kShown; ++i) {
        const Problem& p = problems[i];
        err << file << ": ";
        if (p.probe != 0) err << "датчик " << p.probe << ", ";
        if (!p.path.empty()) err << p.path << ": ";
        err << p.message << '\n';
    }
    if (problems.size() > kShown) err << "… и ещё ошибок: " << problems.size() - kShown << '\n';
}

int importCommand(ProbeStore& store, const std::vector<std::string>& args, std::ostream& out,
                  std::ostream& err) {
    auto input = fileName(args[1], err);
    auto target = fileName(args[2], err);
    if (!input || !target) return kUsageOrFile;

    std::ifstream in(input->path, std::ios::binary);
    std::error_code ec;
    if (!in || !fs::is_regular_file(input->path, ec)) {
        err << "Файл " << inQuotes(input->shown) << " не удаётся открыть для чтения\n";
        return kUsageOrFile;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        err << "Файл " << inQuotes(input->shown) << " не удаётся прочитать\n";
        return kUsageOrFile;
    }

    // Every probe is checked before the first one is written.
    std::vector<Problem> problems;
    const Json document = probejson::parseJson(text, problems);
    std::vector<std::unique_ptr<StagedProbe>> probes;
    if (problems.empty()) probes = probejson::documentFromJson(document, problems);
    if (!problems.empty()) {
        reportProblems(input->shown, problems, err);
        err << "Ничего не добавлено: ошибок в " << inQuotes(input->shown) << ": " << problems.size()
            << '\n';
        return kDamagedOrInvalid;
    }

    if (!writableProbeFile(*target, err)) return kUsageOrFile;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        if (!store.append(target->forStore, probes[i]->record)) {
            err << "Датчик " << i + 1 << " не удалось добавить в " << inQuotes(target->shown)
                << "; добавлено датчиков: " << i << " из " << probes.size() << '\n';
            return kUsageOrFile;
        }
    }
    out << "Добавлено датчиков: " << probes.size() << ", файл " << inQuotes(target->shown) << '\n';
    return kDone;
}

int checkCommand(ProbeStore& store, const std::vector<std::string>& args, std::ostream& out,
                 std::ostream& err) {
    int status = kDone;
    auto source = openSource(store, args[1], err, status);
    if (!source) return status;
    std::uint32_t damaged = 0;
    for (std::uint32_t i = 0; i < source->count; ++i) {
        if (store.load(source->file.forStore, i) == nullptr) {
            out << "Запись " << i + 1 << " повреждена: не загружается\n";
            ++damaged;
        }
    }
    if (damaged != 0) {
        out << "Повреждено записей: " << damaged << " из " << source->count << '\n';
        return kDamagedOrInvalid;
    }
    out << "Все записи загружаются, записей: " << source->count << '\n';
    return kDone;
}

int salvageCommand(ProbeStore& store, const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err) {
    int status = kDone;
    auto source = openSource(store, args[1], err, status);
    if (!source) return status;
    auto target = fileName(args[2], err);
    if (!target) return kUsageOrFile;
    std::error_code ec;
    if (fs::equivalent(source->file.path, target->path, ec)) {
        err << "Записи нельзя добавить в тот же файл, из которого они читаются\n";
        return kUsageOrFile;
    }
    if (!writableProbeFile(*target, err)) return kUsageOrFile;

    std::uint32_t written = 0;
    std::string lost;
    std::uint32_t lostCount = 0;
    for (std::uint32_t i = 0; i < source->count; ++i) {
        if (store.load(source->file.forStore, i) == nullptr) {
            lost += (lostCount++ == 0 ? "" : ", ") + std::to_string(i + 1);
            continue;
        }
        // The record just read is the selected one: it goes out as the store read it.
        if (!store.appendSelected(target->forStore)) {
            err << "Запись " << i + 1 << " не удалось добавить в " << inQuotes(target->shown)
                << "; добавлено записей: " << written << '\n';
            return kUsageOrFile;
        }
        ++written;
    }
    out << "Добавлено записей: " << written << ", файл " << inQuotes(target->shown)
        << "; потеряно: " << lostCount;
    if (lostCount != 0) out << (lostCount == 1 ? " (номер " : " (номера ") << lost << ")";
    out << '\n';
    return lostCount != 0 ? kDamagedOrInvalid : kDone;
}

struct Command {
    const char* name;
    std::size_t minArgs, maxArgs;  // file arguments after the command's name
    int (*run)(ProbeStore&, const std::vector<std::string>&, std::ostream&, std::ostream&);
};

constexpr Command kCommands[] = {
    {"list", 1, 1, listCommand},     {"show", 2, 2, showCommand},
    {"export", 1, 2, exportCommand}, {"import", 2, 2, importCommand},
    {"check", 1, 1, checkCommand},   {"salvage", 2, 2, salvageCommand},
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
  export ФАЙЛ.dt [ВЫХОД.json]   все записи в JSON (без ВЫХОД.json — в стандартный вывод)
  import ВХОД.json ФАЙЛ.dt      добавляет в ФАЙЛ.dt все датчики из ВХОД.json; при любой
                                ошибке в ВХОД.json не добавляет ничего
  check ФАЙЛ.dt                 проверяет, что загружается каждая запись
  salvage ВХОД.dt ВЫХОД.dt      добавляет в ВЫХОД.dt все загружаемые записи ВХОД.dt и
                                сообщает, сколько потеряно
  --help                        эта справка

Записи нумеруются с 1, как их считает человек: первая запись файла — запись 1.
Формат JSON описан в docs/probe_json.md.

Код завершения: 0 — выполнено; 1 — в файле есть повреждённые записи или входные данные
неверны; 2 — неверный вызов или файл не удаётся прочитать или записать.
)";
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << helpText();
        return kUsageOrFile;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << helpText();
        return kDone;
    }
    for (const Command& c : kCommands) {
        if (args[0] != c.name) continue;
        const std::size_t given = args.size() - 1;
        if (given < c.minArgs || given > c.maxArgs)
            return usage(err, std::string("неверное число аргументов команды ") + c.name);
        ProbeStore store(err);
        if (!store.ready()) return kUsageOrFile;
        return c.run(store, args, out, err);
    }
    return usage(err, "неизвестная команда " + inQuotes(args[0]));
}

}  // namespace probetool
