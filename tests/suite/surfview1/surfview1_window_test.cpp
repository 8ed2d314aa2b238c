// The visualizer inside a host's Qt application: loaded through the platform layer, showing a
// surface of the sample file in its own window, closing it on request and on unload.
#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include "sample_surface.h"

namespace {

const std::string kSampleFile = PROBE_EXAMPLES_DIR "/probe_surfaces.pv";
const QString kTitle = QString::fromUtf8("Просмотр поверхностей");

QWidget* viewerWindow() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->windowTitle() == kTitle) return w;
    }
    return nullptr;
}

// Pixels that differ from the background colour of the top-left corner.
int drawnPixels(const QImage& image) {
    const QRgb background = image.pixel(image.width() - 1, image.height() / 2);
    int n = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) n += image.pixel(x, y) != background;
    }
    return n;
}

}  // namespace

class SurfaceViewerWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void showsTheSurfaceAndClosesOnNull();
    void lineSurfaceIsDrawnWithTheWireFrameFlags();
    void unloadingWithTheWindowOpenDeletesIt();
    void unreadableSetsShowNothing();
    void closingTheWindowNeverEndsTheHost();
};

void SurfaceViewerWindowTest::showsTheSurfaceAndClosesOnNull() {
    surftest::SampleSurface sample;
    QVERIFY(sample.ok());
    surftest::Viewer viewer;
    QVERIFY(viewer.load());
    std::uint32_t parameter2 = 0;
    contracts::SurfaceSetDescriptor* set = sample.read(kSampleFile, 1, parameter2);
    QVERIFY(set != nullptr);
    QVERIFY(parameter2 != 0);

    viewer.api.OpredelitFlagi(0x1004);
    QCOMPARE(viewer.api.PoluchitFlagi(), 0x1004u);
    viewer.api.OpredelitMasshtab(-3);
    QVERIFY(isTrue(viewer.api.OpredelitPoverhnosti(set)));
    QWidget* window = viewerWindow();
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QCoreApplication::processEvents();
    const QImage picture = window->grab().toImage();
    QVERIFY(drawnPixels(picture) > picture.width() * picture.height() / 4 / 20);

    // Showing again reuses the one window.
    QVERIFY(isTrue(viewer.api.OpredelitPoverhnosti(set)));
    QCOMPARE(viewerWindow(), window);

    QVERIFY(isTrue(viewer.api.OpredelitPoverhnosti(nullptr)));
    QVERIFY(viewerWindow() == nullptr);
    QVERIFY(isTrue(viewer.api.OpredelitPoverhnosti(nullptr)));  // nothing left to close
    QVERIFY(viewer.unload());
}

void SurfaceViewerWindowTest::lineSurfaceIsDrawnWithTheWireFrameFlags() {
    surftest::SampleSurface sample;
    surftest::Viewer viewer;
    QVERIFY(viewer.load());
    std::uint32_t parameter2 = 1;
    contracts::SurfaceSetDescriptor* set = sample.read(kSampleFile, 3, parameter2);
    QVERIFY(set != nullptr);
    QCOMPARE(parameter2, 0u);
    viewer.api.OpredelitFlagi(0x1007);
    QVERIFY(isTrue(viewer.api.OpredelitPoverhnosti(set)));
    QWidget* window = viewerWindow();
    QVERIFY(window != nullptr);
    QVERIFY(drawnPixels(window->grab().toImage()) > 200);
    QVERIFY(isTrue(viewer.api.OpredelitPoverhnosti(nullptr)));
    QVERIFY(viewer.unload());
}

void SurfaceViewerWindowTest::unloadingWithTheWindowOpenDeletesIt() {
    surftest::SampleSurface sample;
    std::uint32_t parameter2 = 0;
    contracts::SurfaceSetDescriptor* set = sample.read(kSampleFile, 0, parameter2);
    QVERIFY(set != nullptr);
    for (int round = 0; round < 2; ++round) {
        surftest::Viewer viewer;
        QVERIFY(viewer.load());
        QCOMPARE(viewer.api.PoluchitFlagi(), 0x1004u);  // a fresh library starts from its default
        QVERIFY(isTrue(viewer.api.OpredelitPoverhnosti(set)));
        QVERIFY(viewerWindow() != nullptr);
        QWidget* window = viewerWindow();
        window->update();  // an update still pending when the library goes
        QVERIFY(viewer.unload());
        QVERIFY(viewerWindow() == nullptr);
        QCoreApplication::processEvents();
    }
}

void SurfaceViewerWindowTest::unreadableSetsShowNothing() {
    surftest::Viewer viewer;
    QVERIFY(viewer.load());
    contracts::SurfaceSetDescriptor broken{nullptr, 3, 296};
    QVERIFY(!isTrue(viewer.api.OpredelitPoverhnosti(&broken)));
    QVERIFY(viewerWindow() == nullptr);
    QVERIFY(viewer.unload());
}

void SurfaceViewerWindowTest::closingTheWindowNeverEndsTheHost() {
    // The host's own windows are all hidden while a surface is shown.
    surftest::SampleSurface sample;
    surftest::Viewer viewer;
    QVERIFY(viewer.load());
    std::uint32_t parameter2 = 0;
    contracts::SurfaceSetDescriptor* set = sample.read(kSampleFile, 0, parameter2);
    QVERIFY(set != nullptr);
    QVERIFY(isTrue(viewer.api.OpredelitPoverhnosti(set)));
    int lastClosed = 0;
    const auto connection =
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&lastClosed] { ++lastClosed; });
    QWidget* window = viewerWindow();
    QVERIFY(window != nullptr);
    // The application notices a last window only while its event loop runs.
    bool ranToTheEnd = false;
    QTimer::singleShot(0, window, [window] { window->close(); });
    QTimer::singleShot(200, qApp, [&ranToTheEnd] {
        ranToTheEnd = true;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    QObject::disconnect(connection);
    QCOMPARE(lastClosed, 0);
    QVERIFY(ranToTheEnd);
    QCOMPARE(viewerWindow(), window);  // hidden, not deleted: the host still withdraws it
    QVERIFY(!window->isVisible());
    QVERIFY(viewer.unload());
    QVERIFY(viewerWindow() == nullptr);
}

QTEST_MAIN(SurfaceViewerWindowTest)
#include "surfview1_window_test.moc"
