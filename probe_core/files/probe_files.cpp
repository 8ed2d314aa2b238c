#include "probe_core/files/probe_files.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/cp1251.h"
#include "probe_core/json/probe_json.h"
#include "probe_core/record/field_table.h"
#include "suite/probestore/probe_file_format.h"

namespace probefiles {

namespace fs = std::filesystem;

namespace {

Error fileError(ErrorCode code, const FileName& file) {
    Error e;
    e.code = code;
    e.file = file.shown;
    return e;
}

// What the file's first bytes say of it: whether it starts with the probe file's magic, and the
// header's state (kIntact for a file shorter than a header).
struct Start {
    bool magic = false;
    probestore::HeaderState header = probestore::HeaderState::kIntact;
};
Start startOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::uint8_t header[probestore::kFileHeaderSize] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    const auto got = static_cast<std::size_t>(in.gcount());
    Start start;
    start.magic = got >= sizeof probestore::kFileMagic &&
                  std::memcmp(header, probestore::kFileMagic, sizeof probestore::kFileMagic) == 0;
    if (got == sizeof header) start.header = probestore::headerState(header);
    return start;
}

// A readable regular file, and its size.
Result<std::uintmax_t> readableFile(const FileName& f) {
    auto status = statusOf(f);
    if (!status) return status.error();
    if (!fs::exists(*status)) return fileError(ErrorCode::kNotFound, f);
    if (!fs::is_regular_file(*status)) {
        // A folder with the errno its reading would give, for front ends that raise by errno.
        Error e = fileError(ErrorCode::kNotAFile, f);
        if (fs::is_directory(*status)) e.systemError = EISDIR;
        return e;
    }
    std::error_code ec;
    std::ifstream in(f.path, std::ios::binary);
    const int openError = in ? 0 : errno;
    const std::uintmax_t size = fs::file_size(f.path, ec);
    if (!in || ec) {
        Error e = fileError(ErrorCode::kCannotRead, f);
        e.systemError = ec ? errnoOf(ec) : openError;
        return e;
    }
    return size;
}

}  // namespace

Result<fs::file_status> statusOf(const FileName& f) {
    std::error_code ec;
    fs::file_status status = fs::status(f.path, ec);
    if (ec && status.type() != fs::file_type::not_found) {
        Error e = fileError(ErrorCode::kCannotLook, f);
        e.systemError = errnoOf(ec);
        return e;
    }
    return status;
}

Error systemError(ErrorCode code, const FileName& file) {
    Error e = fileError(code, file);
    e.systemError = errno;
    return e;
}

Result<FileName> nameOf(std::string_view utf8) {
    const std::string given(utf8);
    if (given.empty()) return Error{ErrorCode::kEmptyName};
    Error e{ErrorCode::kNameHasNul, given};
    // The store takes a C string: a name with a NUL would name another file.
    if (given.find('\0') != std::string::npos) return e;
    // The store takes cp1251; a name with characters it lacks would name another file.
    std::string cp1251 = platform::utf8ToCp1251(given);
    if (platform::cp1251ToUtf8(cp1251) != given) {
        e.code = ErrorCode::kNameNotInCp1251;
        return e;
    }
    return FileName{given, std::move(cp1251), fs::path(std::u8string(given.begin(), given.end()))};
}

ProbeFaults faultsOf(const std::string& file, const probejson::Problems& problems) {
    ProbeFaults faults;
    faults.count = problems.count();
    for (const probejson::Problem& p : problems.kept()) {
        if (faults.shown.size() == kProblemsShown) break;
        Error e{ErrorCode::kInvalidProbe, file};
        e.probe = p.probe;
        e.key = p.path;
        e.detail = p.message;
        faults.shown.push_back(std::move(e));
    }
    return faults;
}

std::vector<std::string> listingOf(const ProbeFaults& faults) {
    std::vector<std::string> lines;
    for (const Error& e : faults.shown) lines.push_back(messageOf(e));
    if (faults.count > faults.shown.size())
        lines.push_back("… и ещё ошибок: " + std::to_string(faults.count - faults.shown.size()));
    return lines;
}

ProbeFiles::ProbeFiles() {
    if (store_.ready()) return;
    Error e{store_.loaderMessage().empty() ? ErrorCode::kStoreNoMemory
                                           : ErrorCode::kStoreNotLoaded};
    e.detail = store_.loaderMessage();
    loadError_ = std::move(e);
}

ProbeFiles::ProbeFiles(const contracts::ProbeStoreApi& bound, const StoreExtras& extras)
    : store_(bound, extras) {
    if (!store_.ready()) loadError_ = Error{ErrorCode::kStoreNotLoaded};
}

Result<OpenedFile> ProbeFiles::open(const FileName& file) {
    auto size = readableFile(file);
    if (!size) return size.error();
    OpenedFile opened{file, store_.count(file.forStore), false};
    const Start start = startOf(file.path);
    if (opened.count == 0 && *size != 0) {
        if (!start.magic) return fileError(ErrorCode::kNotProbeFile, file);
        if (*size > probestore::kFileHeaderSize)
            return fileError(ErrorCode::kHeaderUnreadable, file);
    }
    opened.headerDamaged = start.header == probestore::HeaderState::kDamaged && opened.count != 0;
    return opened;
}

Result<const ProbeRecord*> ProbeFiles::read(const OpenedFile& file, std::uint32_t index) {
    if (const ProbeRecord* r = store_.load(file.file.forStore, index)) return r;
    Error e = fileError(ErrorCode::kRecordDamaged, file.file);
    e.probe = std::size_t{index} + 1;
    return e;
}

MaybeError ProbeFiles::readIntoSelected(const OpenedFile& file, std::uint32_t index) {
    if (store_.loadIntoSelected(file.file.forStore, index)) return std::nullopt;
    Error e = fileError(ErrorCode::kRecordDamaged, file.file);
    e.probe = std::size_t{index} + 1;
    return e;
}

MaybeError ProbeFiles::checkAppendTarget(const FileName& target) {
    auto status = statusOf(target);
    if (!status) return status.error();
    if (!fs::exists(*status)) return std::nullopt;
    if (fs::is_directory(*status)) return fileError(ErrorCode::kTargetIsFolder, target);
    auto size = readableFile(target);
    if (!size) return size.error();
    if (*size == 0) return std::nullopt;
    const Start start = startOf(target.path);
    if (!start.magic) {
        // A probe file whose magic is damaged still holds records: it is no target, but it is
        // not "no probe file" either.
        if (store_.count(target.forStore) != 0) return fileError(ErrorCode::kHeaderDamaged, target);
        return fileError(ErrorCode::kNotProbeFile, target);
    }
    if (start.header == probestore::HeaderState::kDamaged)
        return fileError(ErrorCode::kHeaderDamaged, target);
    return std::nullopt;
}

MaybeError ProbeFiles::append(const FileName& target, const ProbeRecord& record) {
    if (auto e = checkAppendTarget(target)) return e;
    errno = 0;
    if (store_.append(target.forStore, record)) return std::nullopt;
    return systemError(ErrorCode::kAppendRefused, target);
}

MaybeError ProbeFiles::add(const ProbeRecord& record, std::size_t probe,
                           std::span<const std::uint8_t> laterVersionBytes) {
    if (!store_.hasBatches()) return Error{ErrorCode::kStoreNoBatches};
    if (!laterVersionBytes.empty() && !store_.takesTrailing()) {
        Error e{ErrorCode::kInvalidProbe};
        e.probe = probe;
        e.key = probe::fields::kLaterVersionBytes;
        e.detail =
            "библиотека probestore.dll не сохраняет поля более новой версии формата: они были бы "
            "потеряны";
        return e;
    }
    if (store_.addToBatch(record, laterVersionBytes)) return std::nullopt;
    Error e{ErrorCode::kProbeTooLarge};
    e.probe = probe;
    return e;
}

MaybeError ProbeFiles::commit(const FileName& target) {
    if (!store_.hasBatches()) return Error{ErrorCode::kStoreNoBatches};
    if (auto e = checkAppendTarget(target)) {
        drop();
        return e;
    }
    std::error_code ec;
    const bool existed = fs::exists(fs::symlink_status(target.path, ec));
    errno = 0;
    if (store_.commitBatch(target.forStore)) return std::nullopt;
    Error e = systemError(ErrorCode::kAppendRefused, target);
    e.why = store_.lastFileError();
    drop();
    // A new file that received nothing does not stay behind as an empty one.
    if (!existed && fs::is_regular_file(target.path, ec) && fs::file_size(target.path, ec) == 0)
        fs::remove(target.path, ec);
    return e;
}

void ProbeFiles::drop() {
    store_.dropBatch();
}

MaybeError ProbeFiles::appendAll(const FileName& target,
                                 std::span<const ProbeRecord* const> records,
                                 std::size_t firstProbe) {
    if (auto e = checkAppendTarget(target)) return e;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (auto e = add(*records[i], firstProbe + i)) {
            drop();
            e->file = target.shown;
            return e;
        }
    }
    return commit(target);
}

Result<SalvageReport> ProbeFiles::salvage(const OpenedFile& source, const FileName& target) {
    std::error_code ec;
    if (fs::equivalent(source.file.path, target.path, ec))
        return fileError(ErrorCode::kSameFile, target);
    if (auto e = checkAppendTarget(target)) return *e;
    if (!store_.hasBatches()) return Error{ErrorCode::kStoreNoBatches};
    // The records go into the target as one unit after the whole source has been read: the
    // source is read in one pass (nothing is appended meanwhile), and a failure adds nothing.
    SalvageReport report;
    report.headerDamaged = source.headerDamaged;
    for (std::uint32_t i = 0; i < source.count; ++i) {
        const ProbeRecord* record = store_.load(source.file.forStore, i);
        if (record == nullptr) {
            report.lost.push_back(std::uint64_t{i} + 1);
            continue;
        }
        if (auto e = add(*record, std::size_t{i} + 1)) {
            drop();
            e->file = source.file.shown;
            return *e;
        }
        ++report.written;
    }
    if (auto e = commit(target)) return *e;
    return report;
}

}  // namespace probefiles
