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
    const pv::Status opened = in.open(source);
    if (opened != pv::Status::kOk) {
        err << "Файл «" << sourceShown << "» "
            << (opened == pv::Status::kCannotOpen ? "не удаётся прочитать"
                                                  : "не файл поверхностей: в нём нет ни одной "
                                                    "исправной поверхности")
            << '\n';
        return kUsageOrFile;
    }
    if (in.headerDamaged())
        out << "Заголовок файла «" << sourceShown << "» повреждён: поверхности прочитаны по их "
            << "собственным проверкам\n";

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
    out << "Записано поверхностей: " << written << ", файл " << to << "; потеряно: " << lostCount;
    if (lostCount != 0) out << (lostCount == 1 ? " (номер " : " (номера ") << lost << ")";
    out << '\n';
    return lostCount != 0 ? kDamagedOrInvalid : kDone;
}

}  // namespace probetool
