// The visualizer's own window: draws the scene, turns it with the mouse or the arrow keys and
// zooms with the wheel or the + and - keys.
#pragma once

#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "suite/surfview1/scene.h"

namespace surfview {

class SurfaceWindow : public QWidget {
  public:
    SurfaceWindow();

    Scene& scene() { return scene_; }
    void setFlags(std::uint32_t flags);
    // Scale exponent of the surfaces' unit (as on the probe's page), shown under the picture.
    void setScale(std::int32_t exponent);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    Scene scene_;
    std::uint32_t flags_ = kDefaultFlags;
    std::optional<std::int32_t> scale_;
    QPoint last_;
};

// Caption of the window.
inline constexpr const char* kWindowTitle = "Просмотр поверхностей";

}  // namespace surfview
