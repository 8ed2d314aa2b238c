// The probetool commands that write files: export, import and salvage.
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>

#include "platform/file_bytes.h"
#include "probe_core/files/probe_files.h"
#include "probe_core/files/replacing_file.h"
#include "probe_core/json/probe_json.h"
#include "tools/probetool/command_parts.h"

namespace probetool {

namespace fs = std::filesystem;
using probefiles::Error;
using probefiles::ErrorCode;
using probefiles::inQuotes;
using probefiles::ProbeFiles;

namespace {

// The numbers of lost records or surfaces after a salvage's count: " (номер 3)", " (номера 2, 5)",
// and those a surface file's header hides: " (номер 3, и 2 в заголовке)".
std::string lostNumbers(const std::vector<std::uint64_t>& lost, std::uint64_t inHeader = 0) {
    std::string text;
    if (!lost.empty()) {
        text = lost.size() == 1 ? " (номер " : " (номера ";
        for (std::size_t i = 0; i < lost.size(); ++i)
            text += (i == 0 ? "" : ", ") + std::to_string(lost[i]);
    }
    if (inHeader != 0)
        text += (lost.empty() ? " (" : ", и ") + std::to_string(inHeader) + " в заголовке";
    return text.empty() ? text : text + ")";
}

// The whole of a file that is read as text, mapped where the system can; an error when it
// cannot be read.
std::optional<Error> readText(const probefiles::FileName& input, platform::FileBytes& bytes) {
    auto status = probefiles::statusOf(input);
    if (!status) return status.error();
    if (!fs::exists(*status)) return Error{ErrorCode::kNotFound, input.shown};
    if (!fs::is_regular_file(*status)) return Error{ErrorCode::kNotAFile, input.shown};
    int error = 0;
    if (bytes.open(input.path, error)) return std::nullopt;
    Error e{ErrorCode::kCannotRead, input.shown};
    e.systemError = error;
    return e;
}

}  // namespace

void reportSurfaceHeader(const probefiles::SalvageReport& report, const std::string& shown,
                         std::ostream& out) {
    if (report.headerDamaged)
        out << "Заголовок файла " << inQuotes(shown) << " повреждён: поверхности прочитаны по их "
            << "собственным проверкам, с начала файла; добавлять в этот файл нельзя\n";
    if (report.uncounted != 0)
        out << "Заголовок файла " << inQuotes(shown) << " длиннее обычного, и в нём лежат целые "
            << "поверхности: " << report.uncounted
            << "; они не читаются, добавлять в этот файл нельзя\n";
}

int exportCommand(ProbeFiles& files, const Args& args, const Options& options, std::ostream& out,
                  std::ostream& err) {
    int status = kDone;
    auto source = openSource(files, args[1], err, status);
    if (!source) return status;

    std::optional<probefiles::FileName> target;
    std::unique_ptr<probefiles::ReplacingFile> file;
    std::ofstream direct;
    if (args.size() == 3) {
        target = nameFrom(args[2], err);
        if (!target) return kUsageOrFile;
        if (auto refused = files.checkReplaceTarget(*target, &source->file, options.force))
            return report(*refused, err);
        std::error_code ec;
        const fs::file_status kind = fs::status(target->path, ec);
        if (fs::exists(kind) && !fs::is_regular_file(kind)) {
            // A device or a pipe: written to directly.
            errno = 0;
            direct.open(target->path, std::ios::binary);
            if (!direct)
                return report(probefiles::systemError(ErrorCode::kCannotWrite, *target), err);
        } else {
            file = std::make_unique<probefiles::ReplacingFile>(*target);
            if (file->openError()) return report(*file->openError(), err);
        }
    }
    probejson::DocumentWriter writer(file ? file->stream() : direct.is_open() ? direct : out);
    std::uint32_t written = 0;
    for (std::uint32_t i = 0; i < source->count; ++i) {
        if (auto r = files.read(*source, i)) {
            // Fields a later minor version added go along as one opaque value, which import
            // writes back after the record's fields.
            writer.probe(**r, files.store().trailingOf(**r));
            ++written;
        } else {
            err << "Запись " << i + 1 << " повреждена и не загружается: в JSON её нет\n";
            status = kDamagedOrInvalid;
        }
    }
    if (!writer.finish()) {
        if (target) return report(Error{ErrorCode::kCannotWrite, target->shown}, err);
        err << "Не удалось записать JSON\n";
        return kUsageOrFile;
    }
    if (file) {
        if (auto failed = file->commit()) return report(*failed, err);
    }
    if (target)
        out << "Выгружено датчиков: " << written << ", файл " << inQuotes(target->shown) << '\n';
    return status;
}

int importCommand(ProbeFiles& files, const Args& args, const Options&, std::ostream& out,
                  std::ostream& err) {
    auto input = nameFrom(args[1], err);
    auto target = nameFrom(args[2], err);
    if (!input || !target) return kUsageOrFile;
    platform::FileBytes text;
    if (auto unread = readText(*input, text)) return report(*unread, err);
    // Another program that shortens the document while it is read ends the command here rather
    // than with a crash; nothing has been written yet.
    static std::string shortened;
    shortened =
        "Файл " + inQuotes(input->shown) +
        " укоротился во время чтения (его изменила другая программа): ничего не добавлено\n";
    platform::exitWhenMappedFileShrinks(shortened, kUsageOrFile);
    std::error_code ec;
    if (fs::equivalent(input->path, target->path, ec)) {
        err << "Файл датчиков " << inQuotes(target->shown) << " — это сам входной JSON: ничего не "
            << "добавлено\n";
        return kUsageOrFile;
    }
    if (auto refused = files.checkAppendTarget(*target)) return report(*refused, err);

    // Every probe is checked as it is read and goes into the store's batch; the batch goes into
    // the file as one unit only when the whole document has been read without a fault.
    probejson::Problems problems;
    std::size_t added = 0;
    std::optional<Error> refused;
    probejson::readDocument(
        text.view(), problems, [&](std::size_t number, probejson::StagedProbe& probe) {
            if (refused) return;
            auto notAdded = files.add(probe.record, number, probe.laterVersionBytes);
            if (!notAdded) {
                ++added;
            } else if (notAdded->code == ErrorCode::kInvalidProbe) {
                // A fault of this probe, listed with the document's others.
                problems.add(number, "/probes/" + std::to_string(number - 1) + "/" + notAdded->key,
                             notAdded->detail);
            } else {
                refused = std::move(notAdded);
            }
        });
    if (refused && refused->code == ErrorCode::kStoreNoBatches) {
        files.drop();
        return report(*refused, err);
    }
    if (refused)
        problems.add(refused->probe, "", "датчик не удаётся записать: его запись длиннее 64 МиБ");
    if (!problems.empty()) {
        files.drop();
        for (const std::string& line :
             probefiles::listingOf(probefiles::faultsOf(input->shown, problems)))
            err << line << '\n';
        err << "Ничего не добавлено: ошибок в " << inQuotes(input->shown) << ": "
            << problems.count() << '\n';
        return kDamagedOrInvalid;
    }
    if (auto failed = files.commit(*target)) return report(*failed, err);
    out << "Добавлено датчиков: " << added << ", файл " << inQuotes(target->shown) << '\n';
    return kDone;
}

int salvageCommand(ProbeFiles& files, const Args& args, const Options&, std::ostream& out,
                   std::ostream& err) {
    auto first = nameFrom(args[1], err);
    if (!first) return kUsageOrFile;
    // A surface file (*.pv) has a salvage of its own.
    if (probefiles::isSurfaceFileName(first->path)) {
        auto target = nameFrom(args[2], err);
        if (!target) return kUsageOrFile;
        auto report = probefiles::salvageSurfaces(*first, *target);
        if (!report) return probetool::report(report.error(), err);
        reportSurfaceHeader(*report, first->shown, out);
        out << "Записано поверхностей: " << report->written << ", файл " << inQuotes(target->shown)
            << "; потеряно: " << report->lost.size() + report->uncounted
            << lostNumbers(report->lost, report->uncounted) << '\n';
        return report->lost.empty() && report->uncounted == 0 ? kDone : kDamagedOrInvalid;
    }
    int status = kDone;
    auto source = openSource(files, args[1], err, status);
    if (!source) return status;
    auto target = nameFrom(args[2], err);
    if (!target) return kUsageOrFile;
    auto salvaged = files.salvage(*source, *target);
    if (!salvaged) {
        if (salvaged.error().code == ErrorCode::kSameFile) {
            err << "Записи нельзя добавить в тот же файл, из которого они читаются\n";
            return kUsageOrFile;
        }
        return report(salvaged.error(), err);
    }
    out << "Добавлено записей: " << salvaged->written << ", файл " << inQuotes(target->shown)
        << "; потеряно: " << salvaged->lost.size() << lostNumbers(salvaged->lost) << '\n';
    return salvaged->lost.empty() ? kDone : kDamagedOrInvalid;
}

}  // namespace probetool
