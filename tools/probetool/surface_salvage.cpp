#include "tools/probetool/surface_salvage.h"

#include <ostream>
#include <string>
#include <system_error>

#include "platform/append_file.h"
#include "suite/surfarch/pv_format.h"
#include "tools/probetool/commands.h"

namespace probetool {

namespace fs = std::filesystem;
namespace pv = surfaces::pv;

bool isSurfaceFileName(const fs::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext == ".pv";
}

namespace {

// What a surface file's header hides or says wrongly, before the surfaces are counted.
void reportHeader(const pv::File& in, const std::string& shown, std::ostream& out) {
    if (in.headerDamaged())
        out << "Заголовок файла «" << shown << "» повреждён: поверхности прочитаны по их "
            << "собственным проверкам, с начала файла; добавлять в этот файл нельзя\n";
    if (in.uncountedSurfaces() != 0)
        out << "Заголовок файла «" << shown << "» длиннее обычного, и в нём лежат целые "
            << "поверхности: " << in.uncountedSurfaces()
            << "; они не читаются, добавлять в этот файл нельзя\n";
}

pv::Status openSurfaces(pv::File& in, const fs::path& source, const std::string& shown,
                        std::ostream& err) {
    const pv::Status opened = in.open(source);
    if (opened != pv::Status::kOk)
        err << "Файл «" << shown << "» "
            << (opened == pv::Status::kCannotOpen ? "не удаётся прочитать"
                                                  : "не файл поверхностей: в нём нет ни одной "
                                                    "исправной поверхности")
            << '\n';
    return opened;
}

}  // namespace

int checkSurfaces(const fs::path& source, const std::string& sourceShown, std::ostream& out,
                  std::ostream& err) {
    pv::File in;
    if (openSurfaces(in, source, sourceShown, err) != pv::Status::kOk) return kUsageOrFile;
    reportHeader(in, sourceShown, out);
    std::uint64_t damaged = 0;
    for (std::uint64_t i = 0; i < in.count(); ++i) {
        pv::Surface s;
        if (in.readSurface(static_cast<std::size_t>(i), s) != pv::Status::kOk) {
            out << "Поверхность " << i + 1 << " повреждена: не загружается\n";
            ++damaged;
        }
    }
    out << "Поверхностей: " << in.count() << ", исправных: " << in.count() - damaged << '\n';
    return damaged != 0 || in.headerDamaged() || in.uncountedSurfaces() != 0 ? kDamagedOrInvalid
                                                                             : kDone;
}

int salvageSurfaces(const fs::path& source, const std::string& sourceShown, const fs::path& target,
                    const std::string& targetShown, std::ostream& out, std::ostream& err) {
    const std::string to = "«" + targetShown + "»";
    // Only into a new (or empty) file: a surface file has no batch of its own, and writing the
    // rescued surfaces into a file that holds others would mix the two.
    std::error_code ec;
    const fs::file_status kind = fs::status(target, ec);
    if (fs::exists(kind) && (!fs::is_regular_file(kind) || fs::file_size(target, ec) != 0)) {
        err << "Файл " << to
            << " уже есть: спасённые поверхности записываются только в новый "
               "файл\n";
        return kUsageOrFile;
    }

    pv::File in;
    if (openSurfaces(in, source, sourceShown, err) != pv::Status::kOk) return kUsageOrFile;
    reportHeader(in, sourceShown, out);

    std::string bytes = pv::encodeHeader();
    std::uint64_t written = 0, lostCount = 0;
    std::string lost;
    for (std::uint64_t i = 0; i < in.count(); ++i) {
        pv::Surface s;
        if (in.readSurface(static_cast<std::size_t>(i), s) != pv::Status::kOk ||
            pv::check(s) != pv::Status::kOk) {
            lost += (lostCount++ == 0 ? "" : ", ") + std::to_string(i + 1);
            continue;
        }
        bytes += pv::encodeBlock(s);
        ++written;
    }

    // All surfaces as one unit: the new file is written beside the target, synced and renamed
    // into place, so that no state of it holds part of them.
    platform::AppendFile file;
    std::uint64_t size = 0;
    bool done = file.open(target) == platform::AppendFile::Status::kOk && file.size(size) &&
                size == 0 && file.replaceAppending(0, bytes.data(), bytes.size());
    const bool created = file.created();
    file.close();
    if (!done) {
        if (created && size == 0) fs::remove(target, ec);
        err << "Поверхности не удалось записать в " << to << ": ничего не записано\n";
        return kUsageOrFile;
    }
    out << "Записано поверхностей: " << written << ", файл " << to
        << "; потеряно: " << lostCount + in.uncountedSurfaces();
    if (lostCount != 0) out << (lostCount == 1 ? " (номер " : " (номера ") << lost << ")";
    if (in.uncountedSurfaces() != 0)
        out << (lostCount != 0 ? ", и " : " (") << in.uncountedSurfaces() << " в заголовке)";
    out << '\n';
    return lostCount + in.uncountedSurfaces() != 0 ? kDamagedOrInvalid : kDone;
}

}  // namespace probetool
