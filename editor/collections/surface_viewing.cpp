#include "editor/collections/surface_viewing.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "editor/collections/probe_files.h"
#include "editor/probe/surface_files.h"
#include "platform/cp1251.h"

namespace collections {

SurfaceViewing::SurfaceViewing(SurfaceLibraries& libraries, probe::ProbeSelection& selection,
                               SurfaceViewingUi& ui)
    : libs_(libraries), selection_(selection), ui_(ui) {}

std::string SurfaceViewing::noReadableSurfaceMessage(const std::string& fileName,
                                                     std::uint32_t count) {
    const std::string name = platform::cp1251ToUtf8(fileName);
    // The archiver counts no surfaces in a file that is not there either.
    if (count == 0)
        return "Файл «" + name +
               "» не найден или не содержит поверхностей, которые можно прочитать.";
    return "В файле «" + name +
           "» нет поверхностей, которые можно прочитать.\nПоверхностей в файле: " +
           std::to_string(count) + ", прочитано: 0.";
}

std::string SurfaceViewing::surfaceNotFoundMessage(const std::string& surfaceName,
                                                   const std::string& fileName, std::uint32_t count,
                                                   std::uint32_t read) {
    // An empty field names no surface to the user, even where a file holds one without a name.
    std::string text = surfaceName.empty()
                           ? std::string(kNoSurfaceNameMessage)
                           : "Поверхность «" + platform::cp1251ToUtf8(surfaceName) +
                                 "» не найдена в файле «" + platform::cp1251ToUtf8(fileName) + "».";
    // Among the surfaces that could not be read may be the one that was looked for.
    if (read < count)
        text += "\nПоверхностей в файле: " + std::to_string(count) +
                ", прочитано: " + std::to_string(read) + ".";
    return text;
}

std::string SurfaceViewing::workingFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    if (error) return "?";
    const std::u8string text = folder.u8string();
    return std::string(text.begin(), text.end());
}

void SurfaceViewing::bnIFsPClick() {
    std::optional<std::string> fileName = ui_.askSurfaceFileName();
    if (!fileName) return;
    ui_.setIFsPText(*fileName);
    const probe::SurfaceListing listing = ui_.cbIFsPExit();
    // Libraries that could not be loaded have been reported by the loader.
    if (!listing.ran) return;
    if (listing.read == 0) {
        ui_.showMessage(noReadableSurfaceMessage(listing.fileName, listing.count), kAppTitle);
        return;
    }
    ui_.makeFolderCurrent(*fileName);
}

void SurfaceViewing::showSurfaceOf(SurfaceCombo combo) {
    if (!selection_.current) return;
    // The file is the record's stored copy; the name is what the combo box shows right now.
    PokazatPoverhnost(selection_.current->IFsP.text, platform::utf8ToCp1251(ui_.comboText(combo)));
}

void SurfaceViewing::PokazatPoverhnost(const char* named, const std::string& surfaceName) {
    if (!libs_.ZagruzitBiblioteki(kMaskKeeperArchiver)) return;
    // An empty name names no file either.
    if (!named || !*named) {
        ui_.showMessage(kNoSurfaceFileMessage, kAppTitle);
        return;
    }

    const probe::LocatedSurfaceFile located = probe::locateSurfaceFile(
        named, selection_.loadedFromFolder,
        [this](const char* name) { return libs_.ZagruzitKolichestvoPoverhnostey(name); });
    const char* fileName = located.fileName.c_str();
    const std::int32_t n = located.surfaces;
    if (n <= 0) {
        std::string text = noReadableSurfaceMessage(located.fileName, 0);
        // Say every place a bare name was looked for, so that the user sees where to put it.
        if (!probe::namesFolder(located.fileName)) {
            const std::string started =
                "в папке, из которой запущен редактор: «" + workingFolder() + "».";
            if (!located.besideProbeFile.empty())
                text += "\nЕго искали рядом с файлом датчиков: «" +
                        platform::cp1251ToUtf8(located.besideProbeFile) + "», затем " + started;
            else
                text += "\nЕго искали " + started;
        }
        ui_.showMessage(text, kAppTitle);
        return;
    }
    // The keeper is given room for a single surface record; one that hands out no descriptor
    // has no record to read into.
    contracts::SurfaceSetDescriptor* searched =
        libs_.VidelitPamyatDlyaPoverhnostey(1) ? libs_.PoluchitSpisokPoverhnostey() : nullptr;
    if (!searched) {
        ui_.showMessage(kNoRoomForSurfaceMessage, kAppTitle);
        return;
    }
    std::int32_t found = -1;
    std::uint32_t read = 0;
    std::uint32_t parameter2 = 0;
    // Every surface before the wanted one is read in full into the keeper's single record.
    for (std::int32_t i = 0; i < n; ++i) {
        const probe::SurfaceRead surface =
            probe::readSurface(libs_, *searched, fileName, static_cast<std::uint32_t>(i), 0);
        parameter2 = surface.parameter2;
        if (!surface.read) continue;
        ++read;
        const char* name = libs_.PoluchitImyaPoverhnosti(libs_.PoluchitPoverhnostPoIndeksu(0));
        if (name && surfaceName == name) {
            found = i;
            break;
        }
    }

    contracts::SurfaceSetDescriptor* set = libs_.PoluchitSpisokPoverhnostey();
    const auto count = static_cast<std::uint32_t>(n);
    if (found < 0) {
        ui_.showMessage(read == 0
                            ? noReadableSurfaceMessage(located.fileName, count)
                            : surfaceNotFoundMessage(surfaceName, located.fileName, count, read),
                        kAppTitle);
        return;
    }
    if (!set || set->count == 0) {
        ui_.showMessage(kNoRoomForSurfaceMessage, kAppTitle);
        return;
    }
    set->count = 1;

    if (!libs_.ZagruzitBiblioteki(kMaskViewer)) return;
    libs_.OpredelitFlagi(parameter2 != 0 ? kFlagsWithSecondParameter
                                         : kFlagsWithoutSecondParameter);
    libs_.OpredelitPriznakPoverhnosti(libs_.PoluchitPoverhnostPoIndeksu(0), 1);
    libs_.OpredelitPoverhnosti(set);
    ui_.hideMainForm();

    if (!waitBox_) {
        ui_.createWaitBox();
        waitBox_ = true;
    }
    ui_.setWaitBoxCloseCallback([this] { waitBoxClosed(); });
    ui_.showWaitBox();
    state_ = ViewingState::viewing;
}

void SurfaceViewing::waitBoxClosed() {
    ui_.setTimerEnabled(true);
    state_ = ViewingState::closing;
}

void SurfaceViewing::tmZakritModalnuyuTimer() {
    ui_.setTimerEnabled(false);
    if (waitBox_) {
        ui_.destroyWaitBox();
        waitBox_ = false;
    }
    ui_.showMainForm();
    libs_.OpredelitPoverhnosti(nullptr);
    libs_.VigruzitBiblioteki(kMaskViewer);
    state_ = ViewingState::editing;
}

}  // namespace collections
