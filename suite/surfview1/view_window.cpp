#include "suite/surfview1/view_window.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QScreen>
#include <QWheelEvent>
#include <algorithm>
#include <limits>

#include "abi/surface_scales.h"

namespace surfview {
namespace {

const QColor kBackground(32, 38, 46);
const QColor kMarked(235, 150, 50);
const QColor kOther(100, 160, 220);
const QColor kText(220, 225, 230);

QColor meshColour(const Scene& scene, int mesh) {
    return scene.meshes()[static_cast<std::size_t>(mesh)].marked ? kMarked : kOther;
}

QColor lit(const QColor& c, double light) {
    return QColor::fromRgbF(static_cast<float>(c.redF() * light),
                            static_cast<float>(c.greenF() * light),
                            static_cast<float>(c.blueF() * light));
}

QPointF qt(const Point2& p) {
    return {p.x, p.y};
}

QPoint eventPoint(const QMouseEvent* event) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return event->position().toPoint();
#else
    return event->pos();
#endif
}

// The text of the probe page's scale list for an exponent, or the bare power of ten.
QString scaleText(std::int32_t exponent) {
    if (const char* text = surface_scales::textOf(exponent)) return QString::fromUtf8(text);
    return QStringLiteral("10^%1").arg(exponent);
}

}  // namespace

SurfaceWindow::SurfaceWindow() {
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    // Closing the window hides it until the host withdraws the surfaces; it never ends the host
    // application, whose own windows may all be hidden while a surface is shown.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 240);
    resize(720, 540);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + std::max(0, (area.width() - width()) / 3),
             area.top() + std::max(0, (area.height() - height()) / 4));
    }
}

void SurfaceWindow::setFlags(std::uint32_t flags) {
    flags_ = flags;
    update();
}

void SurfaceWindow::setScale(std::int32_t exponent) {
    scale_ = exponent;
    update();
}

void SurfaceWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);

    // The names of the surfaces take a band at the top, the hints and the scale one at the
    // bottom; the picture is fitted between them, so that no text lies on it.
    const QFontMetrics metrics(font());
    const int lineStep = metrics.height() + 2;
    const int margin = 10;
    const QString hints = QString::fromUtf8(
        "Поворот: мышь или стрелки; масштаб: колесо или +/-; исходный вид: двойной щелчок или "
        "Home");
    const QRect hintsRect = metrics.boundingRect(
        QRect(margin, 0, std::max(1, width() - 2 * margin), height()), Qt::TextWordWrap, hints);
    const int top = 8 + lineStep * static_cast<int>(scene_.meshes().size());
    const int bottom = margin + hintsRect.height() + (scale_ ? lineStep : 0);
    int pictureTop = top;
    int pictureHeight = height() - top - bottom;
    if (pictureHeight < height() / 2) {  // a small window: the picture keeps the whole window
        pictureTop = 0;
        pictureHeight = height();
    }
    const Frame f = scene_.frame(width(), pictureHeight, flags_);

    p.save();
    p.translate(0, pictureTop);
    // Faces and the vertices of meshes far to near, so that nearer faces hide what lies behind.
    std::size_t dot = 0;
    auto drawDotsUpTo = [&](double depth) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        for (; dot < f.vertexDots.size() && f.vertexDots[dot].depth <= depth; ++dot) {
            const Frame::Dot& d = f.vertexDots[dot];
            p.setBrush(meshColour(scene_, d.mesh).lighter(140));
            p.drawEllipse(qt(d.at), 1.6, 1.6);
        }
        p.setRenderHint(QPainter::Antialiasing, false);
    };
    for (const Frame::Face& face : f.faces) {
        // The vertices farther than this face go first.
        if (dot < f.vertexDots.size() && f.vertexDots[dot].depth < face.depth) {
            drawDotsUpTo(face.depth);
        }
        const QColor base = meshColour(scene_, face.mesh);
        QPolygonF polygon;
        for (const Point2& c : face.corners) polygon << qt(c);
        if (f.fillFaces) {
            const QColor fill = lit(base, face.light);
            p.setBrush(fill);
            // Without edges the outline takes the fill's colour, closing hairline seams.
            p.setPen(f.faceEdges ? QPen(base.darker(180), 0) : QPen(fill, 0));
        } else {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(lit(base, face.light), 0));
        }
        p.drawPolygon(polygon);
    }
    drawDotsUpTo(std::numeric_limits<double>::infinity());

    p.setRenderHint(QPainter::Antialiasing, true);
    for (const Frame::Segment& s : f.lines) {
        p.setPen(QPen(meshColour(scene_, s.mesh), 2));
        p.drawLine(qt(s.a), qt(s.b));
    }
    p.setPen(Qt::NoPen);
    for (const auto& [point, mesh] : f.points) {
        p.setBrush(meshColour(scene_, mesh).lighter(130));
        p.drawEllipse(qt(point), 2.0, 2.0);
    }
    const QColor axisColours[3] = {QColor(230, 80, 80), QColor(90, 200, 90), QColor(90, 140, 240)};
    for (std::size_t i = 0; i < f.axes.size() && i < 3; ++i) {
        p.setPen(QPen(axisColours[i], 1.5));
        p.drawLine(qt(f.axes[i].from), qt(f.axes[i].to));
        // The letter gets a dark outline so that it reads over a lit surface too.
        const QPointF at = qt(f.axes[i].to) + QPointF(4, -4);
        const QString label(QChar::fromLatin1(f.axes[i].label));
        p.setPen(kBackground);
        for (const QPointF& shift :
             {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)}) {
            p.drawText(at + shift, label);
        }
        p.setPen(axisColours[i]);
        p.drawText(at, label);
    }
    p.restore();

    // Names of the surfaces, in their colours, and the hints and scale at the bottom.
    int y = 8 + metrics.ascent();
    for (const Mesh& m : scene_.meshes()) {
        p.setPen(Qt::NoPen);
        p.setBrush(m.marked ? kMarked : kOther);
        p.drawRect(QRectF(margin, y - metrics.ascent() + 2, 10, 10));
        p.setPen(kText);
        p.drawText(QPointF(margin + 16, y), QString::fromStdString(m.name));
        y += lineStep;
    }
    p.setPen(kText);
    const int hintsTop = height() - margin - hintsRect.height();
    p.drawText(QRect(margin, hintsTop, width() - 2 * margin, hintsRect.height()), Qt::TextWordWrap,
               hints);
    if (scale_) {
        p.drawText(QPointF(margin, hintsTop - 2 - metrics.descent()),
                   QString::fromUtf8("Масштаб: ") + scaleText(*scale_));
    }
}

void SurfaceWindow::mousePressEvent(QMouseEvent* event) {
    last_ = eventPoint(event);
}

void SurfaceWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & (Qt::LeftButton | Qt::RightButton))) return;
    const QPoint at = eventPoint(event);
    scene_.rotate(at.x() - last_.x(), at.y() - last_.y());
    last_ = at;
    update();
}

void SurfaceWindow::mouseDoubleClickEvent(QMouseEvent*) {
    scene_.resetView();
    update();
}

void SurfaceWindow::wheelEvent(QWheelEvent* event) {
    scene_.zoom(event->angleDelta().y());
    update();
    event->accept();
}

void SurfaceWindow::keyPressEvent(QKeyEvent* event) {
    constexpr double kStep = 15;  // pixels of mouse travel per key press
    switch (event->key()) {
        case Qt::Key_Left:
            scene_.rotate(-kStep, 0);
            break;
        case Qt::Key_Right:
            scene_.rotate(kStep, 0);
            break;
        case Qt::Key_Up:
            scene_.rotate(0, -kStep);
            break;
        case Qt::Key_Down:
            scene_.rotate(0, kStep);
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            scene_.zoom(120);
            break;
        case Qt::Key_Minus:
            scene_.zoom(-120);
            break;
        case Qt::Key_Home:
            scene_.resetView();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    update();
}

}  // namespace surfview
