// The surface visualizer "surfview1.dll": five exports that show surface sets in a window of the
// visualizer's own.
//
// The visualizer runs inside its host's Qt application and on its GUI thread; it never creates an
// application of its own. It copies the surfaces it is handed, so the host may change or release
// its records while the window is open. Its window is deleted, never left for a later event,
// when the surfaces are withdrawn and when the library is unloaded, so no widget of this library
// outlives its code.
#include <QApplication>
#include <QPointer>
#include <QThread>

#include "abi/plugin.h"
#include "abi/surfview1.h"
#include "suite/surfview1/scene.h"
#include "suite/surfview1/view_window.h"

namespace {

using contracts::SurfaceSetDescriptor;
using surfview::SurfaceWindow;

struct State {
    QPointer<SurfaceWindow> window;
    std::uint32_t flags = surfview::kDefaultFlags;
    std::optional<std::int32_t> scale;
};

State& state() {
    static State s;
    return s;
}

bool onGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return qobject_cast<const QApplication*>(app) != nullptr &&
           QThread::currentThread() == app->thread();
}

void closeWindow() {
    State& s = state();
    // Without the application its widgets are gone or can no longer be deleted safely.
    if (s.window && QCoreApplication::instance() != nullptr) delete s.window.data();
    s.window.clear();
}

}  // namespace

// Shows the surfaces of `surfaces` with the current flags; null closes the window. False when
// the set cannot be read or there is no Qt application on this thread to show it in.
PLUGIN_EXPORT BoolByte PLUGIN_CALL OpredelitPoverhnosti(SurfaceSetDescriptor* surfaces) {
    try {
        if (surfaces == nullptr) {
            if (onGuiThread()) closeWindow();
            return kTrue;
        }
        if (!onGuiThread()) return kFalse;
        std::vector<surfview::Mesh> meshes;
        if (!surfview::copySurfaces(surfaces, meshes)) return kFalse;
        State& s = state();
        if (!s.window) s.window = new SurfaceWindow();
        s.window->scene().setMeshes(std::move(meshes));
        s.window->setFlags(s.flags);
        if (s.scale) s.window->setScale(*s.scale);
        s.window->show();
        s.window->raise();
        s.window->activateWindow();
        return kTrue;
    } catch (...) {
        return kFalse;
    }
}

// Display flags for the surfaces shown next (and for an open window at once): 0x1 vertices,
// 0x2 edges, 0x4 shaded faces, 0x1000 coordinate axes.
PLUGIN_EXPORT void PLUGIN_CALL OpredelitFlagi(std::uint32_t flags) {
    State& s = state();
    s.flags = flags;
    if (s.window && onGuiThread()) s.window->setFlags(flags);
}

PLUGIN_EXPORT std::uint32_t PLUGIN_CALL PoluchitFlagi() {
    return state().flags;
}

// Scale exponent of the surfaces' unit: 10^exponent metres per unit, shown under the picture.
PLUGIN_EXPORT void PLUGIN_CALL OpredelitMasshtab(std::int32_t exponent) {
    State& s = state();
    s.scale = exponent;
    if (s.window && onGuiThread()) s.window->setScale(exponent);
}

// Reorders the records of `surfaces` in place by depth along the current viewing direction:
// farthest first for `direction` >= 0, nearest first otherwise.
PLUGIN_EXPORT BoolByte PLUGIN_CALL SortirovatPoverhnostiPoGlubine(SurfaceSetDescriptor* surfaces,
                                                                  std::int32_t direction) {
    try {
        const State& s = state();
        double yaw = surfview::kDefaultYaw;
        double pitch = surfview::kDefaultPitch;
        if (s.window) {
            yaw = s.window->scene().yaw();
            pitch = s.window->scene().pitch();
        }
        return surfview::sortByDepth(surfaces, yaw, pitch, direction) ? kTrue : kFalse;
    } catch (...) {
        return kFalse;
    }
}

namespace {

// Deletes the window before the library is unmapped.
int onEntry(int reason) {
    if (reason == kProcessDetach) closeWindow();
    return 1;
}

}  // namespace

PLUGIN_LIBRARY_ENTRY(onEntry)
