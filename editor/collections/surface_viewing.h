// Surface viewing from the tab "Объекты функциональной модели": choosing the surface file and
// showing a named surface of it through the surface keeper, archiver and visualizer while the
// main form is hidden behind the wait box TfrmModal. The libraries, the windows and the timer
// are injected, so that the decisions run without widgets.
//
// States: editing -> viewing (the surface is shown, the wait box is up) -> closing (the box was
// closed, the timer is enabled) -> editing (the timer destroyed the box and freed surfview1).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "editor/probe/pages.h"
#include "editor/probe/selection.h"
#include "editor/probe/surface_libraries.h"
#include "probe_core/biblioteki/slots.h"

namespace collections {

inline constexpr std::uint32_t kMaskKeeperArchiver = biblioteki::kSurfStore | biblioteki::kSurfArch;
inline constexpr std::uint32_t kMaskViewer = biblioteki::kSurfView;
inline constexpr std::uint32_t kFlagsWithSecondParameter = 0x1004;
inline constexpr std::uint32_t kFlagsWithoutSecondParameter = 0x1007;
// dlgVibratPoverhnosti: filter entries separated by '|', default extension.
inline constexpr const char* kSurfaceFileFilter = "Поверхности (*.pv)|*.pv|Все файлы (*.*)|*.*";
inline constexpr const char* kSurfaceFileExtension = "pv";
inline constexpr const char* kNoSurfaceFileMessage = "Файл с поверхностями датчика не задан.";
inline constexpr const char* kNoSurfaceNameMessage =
    "Имя поверхности не задано: выберите поверхность из списка.";  // and none is unnamed
inline constexpr const char* kNoRoomForSurfaceMessage =
    "Не удалось выделить память для поверхности.";

using probe::SurfaceLibraries;

// The combo boxes next to the three "Показать" buttons.
enum class SurfaceCombo { cbIIP, cbIIIP, cbIIPP };

// What surface viewing needs of the main form, the wait box and the timer. Texts are UTF-8.
class SurfaceViewingUi {
  public:
    virtual ~SurfaceViewingUi() = default;
    virtual void hideMainForm() = 0;
    virtual void showMainForm() = 0;
    // Creates the wait box with no owner; its FormCreate places it and clears its callback.
    virtual void createWaitBox() = 0;
    // The function the box calls from its FormClose.
    virtual void setWaitBoxCloseCallback(std::function<void()> callback) = 0;
    // Shows the box without making it modal.
    virtual void showWaitBox() = 0;
    virtual void destroyWaitBox() = 0;
    // tmZakritModalnuyu (1 ms, delivered through the event loop).
    virtual void setTimerEnabled(bool enabled) = 0;
    // dlgVibratPoverhnosti: the confirmed full file name, or nothing when cancelled.
    virtual std::optional<std::string> askSurfaceFileName() = 0;
    // The chosen file's folder becomes the current one (see ProbeFileUi::makeFolderCurrent);
    // `fileName` as askSurfaceFileName returned it.
    virtual void makeFolderCurrent(const std::string& fileName) = 0;
    virtual std::string comboText(SurfaceCombo combo) = 0;
    virtual void setIFsPText(const std::string& text) = 0;
    // The exit handler of cbIFsP (the page's store): stores IFsP and lists the new file. Returns
    // what the listing found.
    virtual probe::SurfaceListing cbIFsPExit() = 0;
    // A modal box with an OK button and no icon.
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;
};

enum class ViewingState { editing, viewing, closing };

class SurfaceViewing {
  public:
    SurfaceViewing(SurfaceLibraries& libraries, probe::ProbeSelection& selection,
                   SurfaceViewingUi& ui);

    // Chooses the surface file and lists it; a file without a readable surface is reported.
    void bnIFsPClick();
    void bnIIPClick() { showSurfaceOf(SurfaceCombo::cbIIP); }
    void bnIIIPClick() { showSurfaceOf(SurfaceCombo::cbIIIP); }
    void bnIIPPClick() { showSurfaceOf(SurfaceCombo::cbIIPP); }

    // Finds the surface named `surfaceName` (cp1251, compared byte for byte) in the surface file
    // `fileName` (cp1251, may be null; a name without a folder is looked for beside the probe
    // file first) and hands it to the visualizer. When there is nothing to show the user is told
    // why, except where the loader has told them already.
    void PokazatPoverhnost(const char* fileName, const std::string& surfaceName);

    // The process's working folder (UTF-8), where the libraries read a name without a folder.
    static std::string workingFolder();
    // The boxes' texts (UTF-8) for a file and a surface named in cp1251.
    static std::string noReadableSurfaceMessage(const std::string& fileName, std::uint32_t count);
    static std::string surfaceNotFoundMessage(const std::string& surfaceName,
                                              const std::string& fileName, std::uint32_t count,
                                              std::uint32_t read);

    // The wait box's close callback: enables the timer; the box itself is left alone, because
    // it is still inside its own close.
    void waitBoxClosed();
    // Ends a viewing: destroys the wait box, shows the main form, frees surfview1.
    void tmZakritModalnuyuTimer();

    ViewingState state() const { return state_; }
    bool hasWaitBox() const { return waitBox_; }

  private:
    void showSurfaceOf(SurfaceCombo combo);

    SurfaceLibraries& libs_;
    probe::ProbeSelection& selection_;
    SurfaceViewingUi& ui_;
    bool waitBox_ = false;  // the module-wide reference to the wait box
    ViewingState state_ = ViewingState::editing;
};

}  // namespace collections
