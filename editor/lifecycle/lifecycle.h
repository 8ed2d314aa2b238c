// The main window's lifecycle without widgets: creation (placement, probe store, record 0),
// activation (the probe store check), destruction (store the page, free the libraries) and the
// two menu commands that belong to no page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "editor/probe/page.h"
#include "editor/probe/selection.h"
#include "probe_core/biblioteki/biblioteki.h"

namespace lifecycle {

inline constexpr const char* kApplicationTitle = "Редактор ЖУВ";
inline constexpr const char* kEditorErrorTitle = "Ошибка редактора";
// The main window's client area.
inline constexpr int kClientWidth = 754;
inline constexpr int kClientHeight = 531;
// The window's bottom edge stays this far above the bottom of the screen.
inline constexpr int kBottomGap = 40;

struct Size {
    int width = 0;
    int height = 0;
};
struct Position {
    int left = 0;
    int top = 0;
};

// Places a window of `outer` size at the right edge of `screen`, kBottomGap above its bottom.
Position placeAtRightEdge(Size screen, Size outer);

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};
// Where the main window's frame goes on `screen`, whose free area (without panels and docks) is
// `free`: where it was last (`saved`), or the first time at `preferred` size by
// placeAtRightEdge on the whole screen; in both cases moved and, where it does not fit, shrunk so
// that the whole frame, title bar included, lies in the free area.
Rect placeOnScreen(Rect screen, Rect free, const std::optional<Rect>& saved, Size preferred);

// What the lifecycle needs of the main window and the window system.
class MainWindowOps {
  public:
    virtual ~MainWindowOps() = default;
    virtual Size screenSize() = 0;
    // The window's size with its borders, caption and menu.
    virtual Size outerSize() = 0;
    virtual void moveWindow(Position position) = 0;
    // Modal box with a title, an OK button and no icon; texts are UTF-8.
    virtual void messageBox(const std::string& title, const std::string& text) = 0;
    virtual void bringToFront() = 0;
    virtual void closeWindow() = 0;
};

// The text of the box shown when the probe store is not loaded.
std::string probeStoreMissingText(const std::string& fileName);

class Lifecycle {
  public:
    Lifecycle(probe::ProbeSelection& selection, biblioteki::Biblioteki& loader,
              MainWindowOps& window);

    // The page control's active page; without one the whole-record steps touch no page.
    void setActivePage(probe::ActivePage* page) { page_ = page; }

    void FormCreate();
    void FormActivate();
    void FormDestroy();
    // Resets the current probe (an EditHistory noting afterwards keeps the reset as a step).
    void miInicializirovatClick();
    void miVihodClick();

  private:
    probe::ProbeSelection& selection_;
    biblioteki::Biblioteki& loader_;
    MainWindowOps& window_;
    probe::ActivePage* page_ = nullptr;
    bool closing_ = false;    // the probe store box is up or was shown: no second check
    bool destroyed_ = false;  // FormDestroy ran
};

}  // namespace lifecycle
