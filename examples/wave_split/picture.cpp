// The picture of the example's scene, drawn with Qt's painter into an image: no window, no
// display (the application runs on the offscreen platform only to have fonts).
#include "examples/wave_split/picture.h"

#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QFontMetricsF>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPen>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace wave_split {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr int kWidth = 1640;
constexpr int kHeight = 820;

const QColor kWaterColor(226, 239, 250);
const QColor kSteelColor(228, 229, 233);
const QColor kIncidentColor(214, 110, 20);
const QColor kReflectedColor(25, 90, 200);
const QColor kTransmittedColor(20, 140, 70);
const QColor kCriticalColor(190, 30, 45);
const QColor kTextColor(40, 40, 48);
const QColor kGridColor(222, 222, 228);

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// A number with a decimal comma, as Russian text writes it.
QString number(double value, int decimals) {
    return QString::number(value, 'f', decimals).replace(QLatin1Char('.'), QLatin1Char(','));
}

QFont font(int pixels, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// A text on a light box, so that it reads over the rays.
void boxedText(QPainter& p, const QPointF& baseline, const QString& t, const QColor& color) {
    const QFontMetricsF m(p.font());
    const QRectF box(baseline.x() - 5.0, baseline.y() - m.ascent() - 3.0,
                     m.horizontalAdvance(t) + 10.0, m.height() + 6.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 225));
    p.drawRoundedRect(box, 4.0, 4.0);
    p.setBrush(Qt::NoBrush);
    p.setPen(color);
    p.drawText(baseline, t);
}

// A ray's colour by the share of the energy it carries: from the background (nothing) to the
// full colour (all of it), by the square root, so that weak rays still show.
QColor byEnergy(const QColor& full, const QColor& background, double share) {
    const double s = std::sqrt(std::clamp(share, 0.0, 1.0));
    auto mix = [s](int a, int b) { return static_cast<int>(std::lround(b + (a - b) * s)); };
    return QColor(mix(full.red(), background.red()), mix(full.green(), background.green()),
                  mix(full.blue(), background.blue()));
}

// The section through the source: x across, z up, in millimetres, mapped into `area`.
class Section {
  public:
    explicit Section(const QRectF& area) : area_(area) {}
    QPointF at(double x, double z) const {
        return {area_.center().x() + x * scale(), area_.center().y() - z * scale()};
    }
    double scale() const { return area_.width() / (2.0 * kHalfWidth); }
    double halfHeight() const { return area_.height() / 2.0 / scale(); }
    static constexpr double kHalfWidth = 20.0;

  private:
    QRectF area_;
};

void drawSection(QPainter& p, const SceneResult& scene, const QRectF& area) {
    const Section sec(area);
    const double top = sec.halfHeight();
    p.save();
    p.setClipRect(area);
    p.fillRect(QRectF(sec.at(-Section::kHalfWidth, top), sec.at(Section::kHalfWidth, 0.0)),
               kWaterColor);
    p.fillRect(QRectF(sec.at(-Section::kHalfWidth, 0.0), sec.at(Section::kHalfWidth, -top)),
               kSteelColor);

    // Rays, weakest first, so that the strong ones lie on top.
    const QPointF source = sec.at(0.0, kSourceHeight);
    auto line = [&p](const QColor& c, double width, QPointF a, QPointF b) {
        p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(a, b);
    };
    for (const SectionRay& ray : scene.section) {
        if (!ray.transmitted) continue;
        const double length = (top + 1.0) / std::max(-ray.refractedZ, 1e-3);
        line(byEnergy(kTransmittedColor, kSteelColor, ray.transmittedShare), 1.6,
             sec.at(ray.hitX, 0.0),
             sec.at(ray.hitX + length * ray.refractedX, length * ray.refractedZ));
    }
    for (const SectionRay& ray : scene.section) {
        // The reflected ray runs up to the edge, as if from the source's mirror image below the
        // interface.
        const double reach = (top + 1.0) / kSourceHeight;
        line(byEnergy(kReflectedColor, kWaterColor, ray.reflectedShare), 1.3, sec.at(ray.hitX, 0.0),
             sec.at(ray.hitX * (1.0 + reach), top + 1.0));
    }
    for (const SectionRay& ray : scene.section) {
        line(byEnergy(kIncidentColor, kWaterColor, 1.0), 1.0, source, sec.at(ray.hitX, 0.0));
    }

    // The interface.
    p.setPen(QPen(QColor(60, 60, 70), 2.0));
    p.drawLine(sec.at(-Section::kHalfWidth, 0.0), sec.at(Section::kHalfWidth, 0.0));

    // The critical angle, on both sides of the normal.
    const double critical = criticalAngle(kWater, kSteel);
    const double reach = kSourceHeight * std::tan(critical);
    p.setPen(QPen(kCriticalColor, 1.6, Qt::DashLine));
    p.drawLine(source, sec.at(-reach, 0.0));
    p.drawLine(source, sec.at(reach, 0.0));
    p.setPen(QPen(QColor(120, 120, 130), 1.0, Qt::DotLine));
    p.drawLine(source, sec.at(0.0, 0.0));
    const double arc = 6.5;  // mm
    const QRectF arcBox(sec.at(-arc, kSourceHeight + arc), sec.at(arc, kSourceHeight - arc));
    p.setPen(QPen(kCriticalColor, 2.2));
    p.drawArc(arcBox, -90 * 16, static_cast<int>(std::lround(critical / kDegree * 16)));
    p.setFont(font(17, true));
    boxedText(p, sec.at(2.4, kSourceHeight - 7.6),
              text("θкр = ") + number(critical / kDegree, 1) + text("°"), kCriticalColor);
    // Beyond the critical angle the steel takes nothing: marked just under the interface.
    p.setFont(font(14));
    p.setPen(kCriticalColor);
    p.drawText(QRectF(sec.at(reach + 2.0, -0.15), sec.at(Section::kHalfWidth - 0.3, -1.6)),
               Qt::AlignRight | Qt::AlignTop, text("дальше — полное отражение →"));
    p.drawText(QRectF(sec.at(-Section::kHalfWidth + 0.3, -0.15), sec.at(-reach - 2.0, -1.6)),
               Qt::AlignLeft | Qt::AlignTop, text("← полное отражение"));

    // The source.
    p.setPen(QPen(QColor(80, 40, 0), 1.5));
    p.setBrush(kIncidentColor);
    p.drawEllipse(source, 6.0, 6.0);
    p.setBrush(Qt::NoBrush);
    p.setFont(font(16, true));
    boxedText(p, source + QPointF(14.0, -10.0), text("источник"), kTextColor);

    // The media.
    p.setFont(font(16, true));
    const QColor waterText(30, 70, 120);
    boxedText(p, sec.at(-Section::kHalfWidth + 0.6, top - 1.3), text("вода"), waterText);
    p.setFont(font(14));
    boxedText(p, sec.at(-Section::kHalfWidth + 0.6, top - 2.5),
              number(kWater.speed * 1000.0, 0) + text(" м/с, ") +
                  number(kWater.density * 1000.0, 0) + text(" кг/м³"),
              waterText);
    const QColor steelText(70, 70, 80);
    p.setFont(font(16, true));
    boxedText(p, sec.at(-Section::kHalfWidth + 0.6, -top + 2.3), text("сталь"), steelText);
    p.setFont(font(14));
    boxedText(p, sec.at(-Section::kHalfWidth + 0.6, -top + 1.1),
              text("как жидкость: продольные волны ") + number(kSteel.speed * 1000.0, 0) +
                  text(" м/с, ") + number(kSteel.density * 1000.0, 0) + text(" кг/м³"),
              steelText);
    p.restore();

    p.setPen(QPen(QColor(150, 150, 160), 1.0));
    p.drawRect(area);
}

// The legend under the section: what the colours are and how brightness goes with energy.
void drawRayLegend(QPainter& p, const QRectF& area) {
    p.setFont(font(15));
    double x = area.left();
    const double y = area.top() + 18.0;
    const struct {
        const QColor& color;
        const char* label;
    } kinds[] = {{kIncidentColor, "падающие"},
                 {kReflectedColor, "отражённые"},
                 {kTransmittedColor, "прошедшие в сталь"},
                 {kCriticalColor, "критический угол"}};
    for (const auto& kind : kinds) {
        p.setPen(QPen(kind.color, 3.0, &kind == &kinds[3] ? Qt::DashLine : Qt::SolidLine));
        p.drawLine(QPointF(x, y - 5.0), QPointF(x + 30.0, y - 5.0));
        p.setPen(kTextColor);
        p.drawText(QPointF(x + 38.0, y), text(kind.label));
        x += 48.0 + p.fontMetrics().horizontalAdvance(text(kind.label));
    }
    // Brightness scale: the share of a ray's energy.
    const double y2 = y + 30.0;
    p.setPen(kTextColor);
    p.drawText(QPointF(area.left(), y2), text("яркость луча — доля энергии падающего луча:"));
    const double x0 =
        area.left() +
        p.fontMetrics().horizontalAdvance(text("яркость луча — доля энергии падающего луча:")) +
        14.0;
    const double w = 240.0;
    for (int k = 0; k < 120; ++k) {
        const double share = (k + 0.5) / 120.0;
        p.fillRect(QRectF(x0 + k * w / 120.0, y2 - 14.0, w / 120.0 + 0.5, 14.0),
                   byEnergy(kReflectedColor, kWaterColor, share));
    }
    p.setPen(QColor(150, 150, 160));
    p.drawRect(QRectF(x0, y2 - 14.0, w, 14.0));
    p.setPen(kTextColor);
    p.setFont(font(13));
    for (const double share : {0.0, 0.1, 0.5, 1.0}) {
        const double tx = x0 + w * share;
        p.drawLine(QPointF(tx, y2), QPointF(tx, y2 + 4.0));
        const QString label = number(share, share == 0.0 || share == 1.0 ? 0 : 1);
        p.drawText(QPointF(tx - p.fontMetrics().horizontalAdvance(label) / 2.0, y2 + 18.0), label);
    }
}

// The plot: shares of the energy by angle of incidence.
void drawPlot(QPainter& p, const SceneResult& scene, const QRectF& area) {
    auto at = [&area](double degrees, double share) {
        return QPointF(area.left() + area.width() * degrees / 90.0,
                       area.bottom() - area.height() * share);
    };
    // Where the split drops grazing waves (incidence cosine below 0.2).
    const double grazing = std::acos(0.2) / kDegree;
    p.fillRect(QRectF(at(grazing, 1.0), at(90.0, 0.0)), QColor(238, 238, 242));
    p.save();
    p.setFont(font(13));
    p.setPen(QColor(110, 110, 120));
    p.translate(at((grazing + 90.0) / 2.0, 0.5));
    p.rotate(-90.0);
    p.drawText(QRectF(-area.height() / 2.0, -10.0, area.height(), 20.0), Qt::AlignCenter,
               text("скользящие волны отбрасываются (cos < 0,2)"));
    p.restore();

    p.setFont(font(14));
    for (int d = 0; d <= 90; d += 10) {
        p.setPen(QPen(kGridColor, 1.0));
        p.drawLine(at(d, 0.0), at(d, 1.0));
        p.setPen(kTextColor);
        const QString label = QString::number(d);
        p.drawText(at(d, 0.0) + QPointF(-p.fontMetrics().horizontalAdvance(label) / 2.0, 22.0),
                   label);
    }
    for (int k = 0; k <= 10; ++k) {
        const double share = k / 10.0;
        p.setPen(QPen(kGridColor, 1.0));
        p.drawLine(at(0.0, share), at(90.0, share));
        p.setPen(kTextColor);
        const QString label = number(share, 1);
        p.drawText(at(0.0, share) + QPointF(-p.fontMetrics().horizontalAdvance(label) - 8.0, 5.0),
                   label);
    }
    p.setPen(QPen(QColor(120, 120, 130), 1.2));
    p.drawRect(area);
    p.setFont(font(15));
    p.setPen(kTextColor);
    p.drawText(QRectF(area.left(), area.bottom() + 28.0, area.width(), 24.0), Qt::AlignCenter,
               text("угол падения, °"));
    p.save();
    p.translate(area.left() - 52.0, area.center().y());
    p.rotate(-90.0);
    p.drawText(QRectF(-area.height() / 2.0, -12.0, area.height(), 24.0), Qt::AlignCenter,
               text("доля энергии падающей волны"));
    p.restore();

    // The critical angle.
    const double critical = criticalAngle(kWater, kSteel) / kDegree;
    p.setPen(QPen(kCriticalColor, 1.6, Qt::DashLine));
    p.drawLine(at(critical, 0.0), at(critical, 1.0));
    p.setFont(font(14, true));
    p.setPen(kCriticalColor);
    p.drawText(at(critical, 0.6) + QPointF(8.0, 0.0),
               text("θкр = ") + number(critical, 1) + text("°"));

    // The closed form as lines over the library's points.
    p.setRenderHint(QPainter::Antialiasing, true);
    auto points = [&](const std::vector<SharePoint>& data, const QColor& c) {
        p.setPen(QPen(c.darker(115), 1.2));
        p.setBrush(QColor(c.red(), c.green(), c.blue(), 110));
        for (const SharePoint& pt : data) {
            p.drawEllipse(at(pt.incidence / kDegree, pt.share), 3.6, 3.6);
        }
        p.setBrush(Qt::NoBrush);
    };
    points(scene.reflectedByAngle, kReflectedColor);
    points(scene.transmittedByAngle, kTransmittedColor);
    QPainterPath reflected;
    QPainterPath crossed;
    for (int k = 0; k <= 1800; ++k) {
        const double degrees = k * 0.05;
        const double share = reflectedShare(kWater, kSteel, degrees * kDegree);
        if (k == 0) {
            reflected.moveTo(at(degrees, share));
            crossed.moveTo(at(degrees, 1.0 - share));
        } else {
            reflected.lineTo(at(degrees, share));
            crossed.lineTo(at(degrees, 1.0 - share));
        }
    }
    p.setPen(QPen(kReflectedColor.darker(140), 2.0));
    p.drawPath(reflected);
    p.setPen(QPen(kTransmittedColor.darker(140), 2.0));
    p.drawPath(crossed);

    // Legend inside the plot, where the curves leave room.
    const QRectF box(at(31.0, 0.5), at(73.0, 0.33));
    p.setPen(QPen(QColor(190, 190, 200), 1.0));
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRect(box);
    p.setBrush(Qt::NoBrush);
    p.setFont(font(14));
    const struct {
        const QColor& color;
        const char* label;
    } rows[] = {{kReflectedColor, "отражённая доля"}, {kTransmittedColor, "прошедшая доля"}};
    double y = box.top() + 26.0;
    for (const auto& row : rows) {
        p.setPen(QPen(row.color.darker(115), 1.2));
        p.setBrush(QColor(row.color.red(), row.color.green(), row.color.blue(), 110));
        p.drawEllipse(QPointF(box.left() + 20.0, y - 5.0), 4.2, 4.2);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(row.color.darker(140), 2.0));
        p.drawLine(QPointF(box.left() + 34.0, y - 5.0), QPointF(box.left() + 62.0, y - 5.0));
        p.setPen(kTextColor);
        p.drawText(QPointF(box.left() + 72.0, y), text(row.label));
        y += 26.0;
    }
    p.setFont(font(13));
    p.setPen(QColor(90, 90, 100));
    p.drawText(QPointF(box.left() + 12.0, y + 2.0), text("точки — wavelib2, линии — формула"));
}

// Qt's messages go to standard error, except the offscreen platform's remark that the session has
// no runtime folder, which says nothing about a picture.
void passMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QStringLiteral("QStandardPaths:"))) return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

}  // namespace

bool drawPicture(const SceneResult& scene, const std::string& fileName, std::string& error) {
    qInstallMessageHandler(passMessage);
    // The offscreen platform gives fonts without a display and opens no window.
    char name[] = "wave_split";
    char option[] = "-platform";
    char platform[] = "offscreen";
    char* argv[] = {name, option, platform, nullptr};
    int argc = 3;
    QGuiApplication application(argc, argv);

    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    p.setPen(kTextColor);
    p.setFont(font(24, true));
    p.drawText(QPointF(30.0, 44.0), text("Точечный источник в воде над сталью"));
    p.setFont(font(16));
    const double reflected = 100.0 * scene.reflected.energy / scene.before.energy;
    const double crossed = 100.0 * scene.crossed / scene.before.energy;
    const double expected =
        100.0 * crossedShareOfPointSource(kWater, kSteel, kConeDegrees * kDegree);
    p.drawText(QPointF(30.0, 74.0), text("лучей: ") + QString::number(scene.before.rays) +
                                        text(", равномерно по телесному углу конуса ") +
                                        number(kConeDegrees, 0) + text("°; отражено ") +
                                        number(reflected, 1) + text(" %, прошло в сталь ") +
                                        number(crossed, 2) + text(" % (по формуле ") +
                                        number(expected, 2) + text(" %)"));

    drawSection(p, scene, QRectF(30.0, 96.0, 840.0, 588.0));
    drawRayLegend(p, QRectF(30.0, 696.0, 840.0, 110.0));

    p.setPen(kTextColor);
    p.setFont(font(20, true));
    p.drawText(QPointF(960.0, 126.0), text("Отражение и прохождение по углу падения"));
    drawPlot(p, scene, QRectF(1000.0, 150.0, 600.0, 560.0));
    p.end();

    if (!image.save(QString::fromUtf8(fileName.c_str()), "PNG")) {
        error = "не удалось записать картинку в " + fileName;
        return false;
    }
    return true;
}

}  // namespace wave_split
