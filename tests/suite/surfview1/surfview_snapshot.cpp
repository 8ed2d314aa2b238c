// Shows one surface of a surface file in the visualizer and saves the window as a picture:
//
//   surfview_snapshot <file.pv> <surface number> <picture.png> [flags [width height]]
//
// A tool for looking at what the visualizer draws (for example under a virtual display); not a
// test.
#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "sample_surface.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: surfview_snapshot <file.pv> <number> <picture.png> [flags]\n");
        return 2;
    }
    surftest::SampleSurface sample;
    surftest::Viewer viewer;
    if (!sample.ok() || !viewer.load()) {
        std::fprintf(stderr, "surfview_snapshot: the surface libraries are not found\n");
        return 1;
    }
    std::uint32_t parameter2 = 0;
    contracts::SurfaceSetDescriptor* set =
        sample.read(argv[1], static_cast<std::uint32_t>(std::atoi(argv[2])), parameter2);
    if (set == nullptr) {
        std::fprintf(stderr, "surfview_snapshot: the surface cannot be read\n");
        return 1;
    }
    std::uint32_t flags = parameter2 != 0 ? 0x1004 : 0x1007;
    if (argc > 4) flags = static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 0));
    viewer.api.OpredelitFlagi(flags);
    viewer.api.OpredelitMasshtab(-3);
    if (!isTrue(viewer.api.OpredelitPoverhnosti(set))) return 1;
    int result = 1;
    QTimer::singleShot(500, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (argc > 6) w->resize(std::atoi(argv[5]), std::atoi(argv[6]));
            if (w->isVisible() && w->grab().toImage().save(QString::fromLocal8Bit(argv[3]))) {
                result = 0;
            }
        }
        viewer.api.OpredelitPoverhnosti(nullptr);
        app.quit();
    });
    app.exec();
    viewer.unload();
    return result;
}
