// The files commands write: whether a target may be replaced, the replacement itself, and the
// salvage of surface files into a new file.
#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/append_file.h"
#include "probe_core/files/probe_files.h"
#include "probe_core/files/replacing_file.h"
#include "suite/probestore/probe_file_format.h"
#include "suite/surfarch/pv_format.h"

namespace probefiles {

namespace fs = std::filesystem;
namespace pv = surfaces::pv;

namespace {

Error targetError(ErrorCode code, const FileName& f, std::string detail = {}) {
    Error e{code, f.shown};
    e.detail = std::move(detail);
    return e;
}

// Whether the file reads as a JSON document: after an optional byte order mark and white space it
// opens an object or an array, and the rest is UTF-8 text without control characters other than
// white space. Not a syntax check: it tells JSON text from the binary files nothing may replace.
bool looksLikeJson(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    char buffer[1 << 16];
    bool started = false, first = true;
    int continuation = 0;
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        std::size_t i = 0;
        const auto n = static_cast<std::size_t>(in.gcount());
        if (first && n >= 3 && std::memcmp(buffer, "\xEF\xBB\xBF", 3) == 0) i = 3;
        first = false;
        for (; i < n; ++i) {
            const auto c = static_cast<unsigned char>(buffer[i]);
            if (continuation > 0) {
                if ((c & 0xC0) != 0x80) return false;
                --continuation;
                continue;
            }
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
            if (c == 0x7F) return false;
            if (c >= 0x80) {
                if ((c & 0xE0) == 0xC0 && c >= 0xC2)
                    continuation = 1;
                else if ((c & 0xF0) == 0xE0)
                    continuation = 2;
                else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
                    continuation = 3;
                else
                    return false;
            }
            if (!started && c != ' ' && c != '\t' && c != '\n' && c != '\r') {
                if (c != '{' && c != '[') return false;
                started = true;
            }
        }
    }
    return started && continuation == 0 && !in.bad();
}

}  // namespace

MaybeError ProbeFiles::checkReplaceTarget(const FileName& target, const FileName* source,
                                          bool force) {
    auto looked = statusOf(target);
    if (!looked) return looked.error();
    const fs::file_status status = *looked;
    std::error_code ec;
    if (!fs::exists(status)) return std::nullopt;
    if (source != nullptr && fs::equivalent(source->path, target.path, ec))
        return targetError(ErrorCode::kSameFile, target);
    if (fs::is_directory(status)) return targetError(ErrorCode::kTargetIsFolder, target);
    if (!fs::is_regular_file(status)) return std::nullopt;  // a device or a pipe: written to
    const std::uintmax_t size = fs::file_size(target.path, ec);
    if (ec) {
        Error e{ErrorCode::kCannotLook, target.shown};
        e.systemError = errnoOf(ec);
        return e;
    }
    if (size != 0) {
        // Whatever the probe store or the surface archive can read from stays, whatever its
        // header: the store reads records past a damaged header, the archive surfaces.
        if (auto opened = open(target); opened && opened->count != 0) {
            return targetError(ErrorCode::kTargetIsProbeFile, target,
                               opened->headerDamaged ? "его заголовок повреждён" : "");
        } else if (!opened && opened.error().code == ErrorCode::kHeaderUnreadable) {
            return targetError(ErrorCode::kTargetIsProbeFile, target,
                               "его заголовок повреждён или другой версии");
        } else if (!opened && opened.error().code != ErrorCode::kNotProbeFile) {
            return opened.error();
        }
        std::ifstream in(target.path, std::ios::binary);
        char magic[sizeof probestore::kFileMagic] = {};
        in.read(magic, sizeof magic);
        if (in.gcount() == sizeof magic &&
            std::memcmp(magic, probestore::kFileMagic, sizeof magic) == 0)
            return targetError(ErrorCode::kTargetIsProbeFile, target);
        pv::File surfaces;
        const bool pvMagic =
            in.gcount() == sizeof magic && std::memcmp(magic, pv::kMagic, sizeof magic) == 0;
        if (pvMagic || surfaces.open(target.path, 1, false) == pv::Status::kOk)
            return targetError(ErrorCode::kTargetIsSurfaceFile, target,
                               !pvMagic ? "его заголовок повреждён" : "");
        if (!looksLikeJson(target.path)) return targetError(ErrorCode::kTargetNotJson, target);
    }
    if (!force) return targetError(ErrorCode::kTargetExists, target);
    return std::nullopt;
}

ReplacingFile::ReplacingFile(const FileName& target) : target_(target) {
    const platform::ReplaceError made = file_.create(target.path, ".probetool-");
    if (file_.isOpen()) out_.open(file_.temporary(), std::ios::binary | std::ios::trunc);
    if (!out_.is_open())
        openError_ =
            failure(made != platform::ReplaceError::kNone ? made : platform::ReplaceError::kOther);
}

Error ReplacingFile::failure(platform::ReplaceError why) const {
    Error e{ErrorCode::kCannotWrite, target_.shown};
    e.why = static_cast<contracts::ProbeFileError>(why);
    return e;
}

MaybeError ReplacingFile::commit() {
    if (openError_) return openError_;
    out_.close();
    if (out_.fail()) return failure(platform::ReplaceError::kOther);
    const platform::ReplaceError committed = file_.commit();
    if (committed != platform::ReplaceError::kNone) return failure(committed);
    return std::nullopt;
}

namespace {

MaybeError openSurfaces(pv::File& in, const FileName& source) {
    errno = 0;
    const pv::Status opened = in.open(source.path);
    if (opened == pv::Status::kCannotOpen) return systemError(ErrorCode::kCannotRead, source);
    if (opened != pv::Status::kOk) return targetError(ErrorCode::kNotSurfaceFile, source);
    return std::nullopt;
}

}  // namespace

Result<SalvageReport> checkSurfaces(const FileName& source) {
    pv::File in;
    if (auto e = openSurfaces(in, source)) return *e;
    SalvageReport report;
    report.headerDamaged = in.headerDamaged();
    report.uncounted = in.uncountedSurfaces();
    for (std::uint64_t i = 0; i < in.count(); ++i) {
        pv::Surface s;
        if (in.readSurface(static_cast<std::size_t>(i), s) != pv::Status::kOk)
            report.lost.push_back(i + 1);
        else
            ++report.written;
    }
    return report;
}

bool isSurfaceFileName(const fs::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext == ".pv";
}

Result<SalvageReport> salvageSurfaces(const FileName& source, const FileName& target) {
    // Only into a new (or empty) file: a surface file has no batch of its own, and writing the
    // rescued surfaces into a file that holds others would mix the two.
    std::error_code ec;
    const fs::file_status kind = fs::status(target.path, ec);
    if (fs::exists(kind) && (!fs::is_regular_file(kind) || fs::file_size(target.path, ec) != 0))
        return targetError(ErrorCode::kTargetNotEmpty, target);

    pv::File in;
    if (auto e = openSurfaces(in, source)) return *e;
    SalvageReport report;
    report.headerDamaged = in.headerDamaged();
    report.uncounted = in.uncountedSurfaces();
    std::string bytes = pv::encodeHeader();
    for (std::uint64_t i = 0; i < in.count(); ++i) {
        pv::Surface s;
        if (in.readSurface(static_cast<std::size_t>(i), s) != pv::Status::kOk ||
            pv::check(s) != pv::Status::kOk) {
            report.lost.push_back(i + 1);
            continue;
        }
        bytes += pv::encodeBlock(s);
        ++report.written;
    }

    // All surfaces as one unit: the new file is written beside the target, synced and renamed
    // into place, so that no state of it holds part of them.
    platform::AppendFile file;
    std::uint64_t size = 0;
    errno = 0;
    const bool done = file.open(target.path) == platform::AppendFile::Status::kOk &&
                      file.size(size) && size == 0 &&
                      file.replaceAppending(0, bytes.data(), bytes.size());
    const int reason = errno;
    const bool created = file.created();
    file.close();
    if (!done) {
        if (created && size == 0) fs::remove(target.path, ec);
        Error e{ErrorCode::kCannotWrite, target.shown};
        e.systemError = reason;
        return e;
    }
    return report;
}

}  // namespace probefiles
