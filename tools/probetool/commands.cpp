#include "tools/probetool/commands.h"

#include <charconv>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include "probe_core/record/encodings.h"
#include "platform/append_file.h"
#include "platform/cp1251.h"
#include "suite/probestore/probe_file_format.h"
#include "probe_core/json/probe_json.h"
#include "probe_core/files/probe_store.h"
#include "tools/probetool/probe_view.h"
#include "tools/probetool/surface_salvage.h"

namespace probetool {

namespace fs = std::filesystem;
using probejson::DocumentWriter;
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

// Why the system could not look at a file, in the user's words; the system's own text for the rare
// rest.
std::string systemReason(const std::error_code& ec) {
    const auto e = static_cast<std::errc>(ec.value());
    if (ec.category() == std::generic_category() || ec.category() == std::system_category()) {
        switch (e) {
            case std::errc::too_many_symbolic_link_levels:
                return "символические ссылки в пути образуют петлю";
            case std::errc::permission_denied:
            case std::errc::operation_not_permitted:
                return "нет прав доступа";
            case std::errc::filename_too_long:
                return "слишком длинное имя";
            case std::errc::not_a_directory:
                return "часть пути — не папка";
            case std::errc::no_such_file_or_directory:
                return "не найден";
            default:
                break;
        }
    }
    return "ошибка системы: " + ec.message();
}

// The status of a named file; false, with the reason on `err`, when the system cannot tell it
// (a missing file is no failure here: its status says so).
bool statusOf(const FileName& f, fs::file_status& status, std::ostream& err) {
    std::error_code ec;
    status = fs::status(f.path, ec);
    if (ec && status.type() != fs::file_type::not_found) {
        err << "Файл " << inQuotes(f.shown) << ": " << systemReason(ec) << '\n';
        return false;
    }
    return true;
}

// Whether the file starts with the probe file's magic.
bool startsLikeProbeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[sizeof probestore::kFileMagic] = {};
    in.read(magic, sizeof magic);
    return in.gcount() == sizeof magic &&
           std::memcmp(magic, probestore::kFileMagic, sizeof magic) == 0;
}

// Checks a file that a command reads: it must be a regular, readable file. `size` receives its
// size.
bool readableProbeFile(const FileName& f, std::ostream& err, std::uintmax_t& size) {
    fs::file_status status;
    if (!statusOf(f, status, err)) return false;
    if (!fs::exists(status)) {
        err << "Файл " << inQuotes(f.shown) << " не найден\n";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        err << inQuotes(f.shown) << " — не файл\n";
        return false;
    }
    std::error_code ec;
    std::ifstream in(f.path, std::ios::binary);
    size = fs::file_size(f.path, ec);
    if (!in || ec) {
        err << "Файл " << inQuotes(f.shown) << " не удаётся открыть для чтения\n";
        return false;
    }
    return true;
}

// Whether two names name one file (false when either is missing).
bool sameFile(const FileName& a, const FileName& b) {
    std::error_code ec;
    return fs::equivalent(a.path, b.path, ec);
}

// A file that export writes: never its input, never a probe file (not even with --force), an
// existing file only with --force.
bool exportTargetAllowed(const FileName& source, const FileName& target, bool force,
                         std::ostream& err) {
    fs::file_status status;
    if (!statusOf(target, status, err)) return false;
    if (!fs::exists(status)) return true;
    if (sameFile(source, target)) {
        err << "Выходной файл " << inQuotes(target.shown) << " — это сам файл датчиков, который "
            << "выгружается: ничего не записано\n";
        return false;
    }
    if (fs::is_directory(status)) {
        err << inQuotes(target.shown) << " — папка: ничего не записано\n";
        return false;
    }
    if (!fs::is_regular_file(status)) return true;  // a device or a pipe: written to directly
    if (startsLikeProbeFile(target.path)) {
        err << inQuotes(target.shown) << " — файл датчиков: JSON поверх него не записывается "
            << "(и с --force)\n";
        return false;
    }
    if (!force) {
        err << "Файл " << inQuotes(target.shown) << " уже есть: ничего не записано. Чтобы "
            << "заменить его, добавьте --force\n";
        return false;
    }
    return true;
}

// A file that a command appends to: missing (the store creates it), or a probe file.
bool writableProbeFile(const FileName& f, std::ostream& err) {
    std::error_code ec;
    if (!fs::exists(fs::status(f.path, ec))) return true;
    std::uintmax_t size = 0;
    if (!readableProbeFile(f, err, size)) return false;
    if (size != 0 && !startsLikeProbeFile(f.path)) {
        err << inQuotes(f.shown) << " — не файл датчиков\n";
        return false;
    }
    return true;
}

// What the file's first bytes say of it; kIntact for a file shorter than a header.
probestore::HeaderState headerStateOf(const FileName& f) {
    std::ifstream in(f.path, std::ios::binary);
    std::uint8_t header[probestore::kFileHeaderSize] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    if (in.gcount() != sizeof header) return probestore::HeaderState::kIntact;
    return probestore::headerState(header);
}

std::optional<std::uint32_t> recordNumber(const std::string& text) {
    std::uint32_t value = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || value == 0)
        return std::nullopt;
    return value;
}

// What the command line says besides the command's files.
struct Options {
    bool force = false;  // export may replace an existing file (never a probe file)
};

// An open probe file: its name, its record count, and the store that reads it.
struct Source {
    FileName file;
    std::uint32_t count = 0;
    bool headerDamaged = false;
};

// Opens a probe file for reading. A file whose header is damaged but whose frames check is read
// past its header: `status` then says the file is damaged, and the caller goes on.
std::optional<Source> openSource(ProbeStore& store, const std::string& arg, std::ostream& err,
                                 int& status) {
    auto file = fileName(arg, err);
    std::uintmax_t size = 0;
    status = kUsageOrFile;
    if (!file || !readableProbeFile(*file, err, size)) return std::nullopt;
    Source source{*file, store.count(file->forStore), false};
    const probestore::HeaderState header = headerStateOf(source.file);
    if (source.count == 0 && size != 0) {
        if (!startsLikeProbeFile(source.file.path)) {
            err << inQuotes(source.file.shown) << " — не файл датчиков\n";
            return std::nullopt;
        }
        if (size > probestore::kFileHeaderSize) {
            err << "Файл " << inQuotes(source.file.shown)
                << ": заголовок повреждён или версия файла не поддерживается, записи не "
                   "читаются\n";
            status = kDamagedOrInvalid;
            return std::nullopt;
        }
    }
    status = kDone;
    if (header == probestore::HeaderState::kDamaged && source.count != 0) {
        source.headerDamaged = true;
        status = kDamagedOrInvalid;
        err << "Заголовок файла " << inQuotes(source.file.shown)
            << " повреждён: записи прочитаны по их собственным контрольным суммам; добавлять в "
               "этот файл нельзя, перенесите записи в новый файл командой salvage\n";
    }
    return source;
}

// ---- commands ----

int listCommand(ProbeStore& store, const std::vector<std::string>& args, const Options&,
                std::ostream& out, std::ostream& err) {
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

int showCommand(ProbeStore& store, const std::vector<std::string>& args, const Options&,
                std::ostream& out, std::ostream& err) {
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

// A file written beside its final name and put in its place only when whole, so that a failed
// write leaves whatever had that name before.
class ReplacingFile {
  public:
    explicit ReplacingFile(const fs::path& target) : target_(target) {
        temp_ = target;
        temp_ += ".probetool-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                 ".tmp";
        out_.open(temp_, std::ios::binary | std::ios::trunc);
    }
    ~ReplacingFile() {
        if (!committed_) {
            out_.close();
            std::error_code ec;
            fs::remove(temp_, ec);
        }
    }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool isOpen() const { return out_.is_open(); }
    std::ostream& stream() { return out_; }
    // Closes the file and puts it in place of the target.
    bool commit() {
        out_.close();
        if (out_.fail()) return false;
        std::error_code ec;
        fs::rename(temp_, target_, ec);
        committed_ = !ec;
        return committed_;
    }

  private:
    fs::path target_, temp_;
    std::ofstream out_;
    bool committed_ = false;
};

int exportCommand(ProbeStore& store, const std::vector<std::string>& args, const Options& options,
                  std::ostream& out, std::ostream& err) {
    int status = kDone;
    auto source = openSource(store, args[1], err, status);
    if (!source) return status;

    std::optional<FileName> target;
    std::unique_ptr<ReplacingFile> file;
    std::ofstream direct;
    if (args.size() == 3) {
        target = fileName(args[2], err);
        if (!target || !exportTargetAllowed(source->file, *target, options.force, err))
            return kUsageOrFile;
        std::error_code ec;
        const fs::file_status kind = fs::status(target->path, ec);
        if (fs::exists(kind) && !fs::is_regular_file(kind)) {
            direct.open(target->path, std::ios::binary);
            if (!direct) {
                err << "Файл " << inQuotes(target->shown) << " не удаётся открыть для записи\n";
                return kUsageOrFile;
            }
        } else {
            file = std::make_unique<ReplacingFile>(target->path);
        }
        if (file && !file->isOpen()) {
            err << "Файл " << inQuotes(target->shown) << " не удаётся открыть для записи\n";
            return kUsageOrFile;
        }
    }
    DocumentWriter writer(file ? file->stream() : direct.is_open() ? direct : out);
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
    if (!writer.finish() || (file && !file->commit())) {
        err << "Не удалось записать JSON"
            << (target ? " в файл " + inQuotes(target->shown) : std::string()) << '\n';
        return kUsageOrFile;
    }
    if (target)
        out << "Выгружено датчиков: " << written << ", файл " << inQuotes(target->shown) << '\n';
    return status;
}

void reportProblems(const std::string& file, const probejson::Problems& problems,
                    std::ostream& err) {
    constexpr std::size_t kShown = 100;
    for (std::size_t i = 0; i < problems.kept().size() && i < kShown; ++i) {
        const Problem& p = problems.kept()[i];
        err << file << ": ";
        if (p.probe != 0) err << "датчик " << p.probe << ", ";
        if (!p.path.empty()) err << p.path << ": ";
        err << p.message << '\n';
    }
    if (problems.count() > kShown) err << "… и ещё ошибок: " << problems.count() - kShown << '\n';
}

int importCommand(ProbeStore& store, const std::vector<std::string>& args, const Options&,
                  std::ostream& out, std::ostream& err) {
    auto input = fileName(args[1], err);
    auto target = fileName(args[2], err);
    if (!input || !target) return kUsageOrFile;

    fs::file_status inputStatus;
    if (!statusOf(*input, inputStatus, err)) return kUsageOrFile;
    std::ifstream in(input->path, std::ios::binary);
    if (!in || !fs::is_regular_file(inputStatus)) {
        err << "Файл " << inQuotes(input->shown) << " не удаётся открыть для чтения\n";
        return kUsageOrFile;
    }
    std::string text;
    {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(input->path, ec);
        text.resize(ec ? 0 : static_cast<std::size_t>(size));
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(in.gcount()));
        // Whatever a file that grew meanwhile holds beyond its size then.
        text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (in.bad()) {
        err << "Файл " << inQuotes(input->shown) << " не удаётся прочитать\n";
        return kUsageOrFile;
    }

    if (sameFile(*input, *target)) {
        err << "Файл датчиков " << inQuotes(target->shown) << " — это сам входной JSON: ничего не "
            << "добавлено\n";
        return kUsageOrFile;
    }
    if (!writableProbeFile(*target, err)) return kUsageOrFile;
    if (!store.hasBatches()) {
        err << "Библиотека probestore.dll не умеет добавлять датчики одним целым: ничего не "
               "добавлено\n";
        return kUsageOrFile;
    }

    // Every probe is checked as it is read and goes into the store's batch; the batch goes into
    // the file as one unit only when the whole document has been read without a fault.
    probejson::Problems problems;
    std::size_t added = 0;
    bool refused = false;
    probejson::readDocument(text, problems, [&](std::size_t number, StagedProbe& probe) {
        if (refused) return;
        if (!store.addToBatch(probe.record)) {
            problems.add(number, "", "датчик не удаётся записать: его запись длиннее 64 МиБ");
            refused = true;
            return;
        }
        ++added;
    });
    if (!problems.empty()) {
        store.dropBatch();
        reportProblems(input->shown, problems, err);
        err << "Ничего не добавлено: ошибок в " << inQuotes(input->shown) << ": "
            << problems.count() << '\n';
        return kDamagedOrInvalid;
    }
    if (!store.commitBatch(target->forStore)) {
        err << "Датчики не удалось добавить в " << inQuotes(target->shown)
            << " (нет места на диске, нет прав или файл не принимает записей): ничего не "
               "добавлено\n";
        return kUsageOrFile;
    }
    out << "Добавлено датчиков: " << added << ", файл " << inQuotes(target->shown) << '\n';
    return kDone;
}

int checkCommand(ProbeStore& store, const std::vector<std::string>& args, const Options&,
                 std::ostream& out, std::ostream& err) {
    int status = kDone;
    auto source = openSource(store, args[1], err, status);
    if (!source) return status;
    // A replacement of the file cut short (an import killed or cut off by a power cut) leaves
    // its new file beside it: the probe file itself is whole, the new file is to be removed.
    std::uint32_t leftovers = 0;
    std::error_code ec;
    const fs::path folder = fs::absolute(source->file.path, ec).parent_path();
    const std::string prefix = source->file.path.filename().string() + platform::kReplacementMark;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) == 0 && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".tmp") == 0) {
            out << "Незавершённый импорт: файл " << inQuotes(it->path().string())
                << " остался от прерванной записи; сам файл датчиков цел, этот файл можно "
                   "удалить\n";
            ++leftovers;
        }
    }
    std::uint32_t damaged = 0;
    for (std::uint32_t i = 0; i < source->count; ++i) {
        if (store.load(source->file.forStore, i) == nullptr) {
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

int salvageCommand(ProbeStore& store, const std::vector<std::string>& args, const Options&,
                   std::ostream& out, std::ostream& err) {
    // A surface file (*.pv) has a salvage of its own.
    if (auto first = fileName(args[1], err); !first) {
        return kUsageOrFile;
    } else if (isSurfaceFileName(first->path)) {
        auto target = fileName(args[2], err);
        if (!target) return kUsageOrFile;
        return salvageSurfaces(first->path, first->shown, target->path, target->shown, out, err);
    }
    int status = kDone;
    auto source = openSource(store, args[1], err, status);
    if (!source) return status;
    auto target = fileName(args[2], err);
    if (!target) return kUsageOrFile;
    if (sameFile(source->file, *target)) {
        err << "Записи нельзя добавить в тот же файл, из которого они читаются\n";
        return kUsageOrFile;
    }
    if (!writableProbeFile(*target, err)) return kUsageOrFile;

    std::uint32_t written = 0;
    std::string lost;
    std::uint32_t lostCount = 0;
    if (!store.hasBatches()) {
        err << "Библиотека probestore.dll не умеет добавлять записи одним целым: ничего не "
               "добавлено\n";
        return kUsageOrFile;
    }
    // The records go into the target as one unit after the whole source has been read: the
    // source is read in one pass (nothing is appended meanwhile), and a failure adds nothing.
    for (std::uint32_t i = 0; i < source->count; ++i) {
        const ProbeRecord* record = store.load(source->file.forStore, i);
        if (record == nullptr) {
            lost += (lostCount++ == 0 ? "" : ", ") + std::to_string(i + 1);
            continue;
        }
        if (!store.addToBatch(*record)) {
            store.dropBatch();
            err << "Запись " << i + 1 << " не удаётся записать: ничего не добавлено\n";
            return kUsageOrFile;
        }
        ++written;
    }
    if (!store.commitBatch(target->forStore)) {
        err << "Записи не удалось добавить в " << inQuotes(target->shown)
            << ": ничего не добавлено\n";
        return kUsageOrFile;
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
    bool takesForce;
    int (*run)(ProbeStore&, const std::vector<std::string>&, const Options&, std::ostream&,
               std::ostream&);
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
                                существующий ВЫХОД.json заменяется только с --force, файл
                                датчиков — никогда
  import ВХОД.json ФАЙЛ.dt      добавляет в ФАЙЛ.dt все датчики из ВХОД.json; при любой
                                ошибке в ВХОД.json не добавляет ничего
  check ФАЙЛ.dt                 проверяет, что загружается каждая запись
  salvage ВХОД.dt ВЫХОД.dt      добавляет в ВЫХОД.dt все загружаемые записи ВХОД.dt и
                                сообщает, сколько потеряно
  salvage ВХОД.pv ВЫХОД.pv      записывает в новый файл ВЫХОД.pv все исправные поверхности
                                файла поверхностей ВХОД.pv и сообщает, сколько потеряно
  --help                        эта справка

Записи нумеруются с 1, как их считает человек: первая запись файла — запись 1.
Формат JSON описан в docs/probe_json.md.

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
    for (const Command& c : kCommands) {
        if (args[0] != c.name) continue;
        const std::size_t files = args.size() - 1;
        if (files < c.minArgs || files > c.maxArgs)
            return usage(err, std::string("неверное число аргументов команды ") + c.name);
        if (options.force && !c.takesForce)
            return usage(
                err, std::string("команда ") + c.name + " не заменяет файлов: --force не к ней");
        ProbeStore store(err);
        if (!store.ready()) return kUsageOrFile;
        return c.run(store, args, options, out, err);
    }
    return usage(err, "неизвестная команда " + inQuotes(args[0]));
}

}  // namespace probetool
