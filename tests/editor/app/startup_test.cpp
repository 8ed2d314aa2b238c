// The editor program run for real on the offscreen platform, with the loader pointed at fixture
// folders; modal boxes are read and dismissed as they come up.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "editor/ui/editor_icon.h"
#include "editor/ui/editor_main.h"
#include "editor/ui/main_window.h"
#include "tests/probe_core/biblioteki/fixture_platform.h"

namespace {

using testing_support::Box;

// Opens the libraries of one fixture folder. Once the application exists (the first library
// request comes from the main window's creation), a timer starts that answers every message
// box with OK and, when asked to, chooses "Выход" once the main window is up.
class DrivingPlatform : public testing_support::FolderPlatform {
  public:
    enum class Then { wait, exitByMenu, throwFromHandler, throwWhileShown };
    DrivingPlatform(const std::string& folder, Then then)
        : FolderPlatform(std::string(LOADER_FIXTURE_DIR) + "/" + folder), then_(then) {}

    void* LoadLibraryA(const char* fileName) override {
        if (timer_ == nullptr) {
            timer_ = new QTimer(qApp);
            QObject::connect(timer_, &QTimer::timeout, [this] { drive(); });
            timer_->start(20);
            if (then_ == Then::throwWhileShown) qApp->installEventFilter(&showThrower_);
        }
        return FolderPlatform::LoadLibraryA(fileName);
    }

    std::vector<Box> boxes;
    bool mainWindowSeen = false;
    QIcon mainWindowIcon;
    bool loopRanAfterException = false;

  private:
    // Throws from the main window's first show event, before the message loop has started.
    class ShowThrower : public QObject {
      public:
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (!thrown_ && event->type() == QEvent::Show &&
                qobject_cast<ui::TfrmRedaktor*>(watched) != nullptr) {
                thrown_ = true;
                throw std::runtime_error("Сбой при показе");
            }
            return false;
        }

      private:
        bool thrown_ = false;
    };

    void drive() {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.push_back({box->windowTitle().toStdString(), box->text().toStdString()});
            box->button(QMessageBox::Ok)->click();
            return;
        }
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<ui::TfrmRedaktor*>(w);
            if (window == nullptr || !window->isVisible()) continue;
            mainWindowSeen = true;
            mainWindowIcon = window->windowIcon();
            if (then_ == Then::throwWhileShown && !boxes.empty()) {
                loopRanAfterException = true;
                window->close();
            }
            if (then_ == Then::exitByMenu) window->miVihod->trigger();
            if (then_ == Then::throwFromHandler) {
                then_ = Then::wait;
                // From an event of its own: this timer does not fire again inside its handler.
                QTimer::singleShot(0, window, [] { throw std::runtime_error("Сбой обработчика"); });
            }
        }
    }

    Then then_;
    QTimer* timer_ = nullptr;
    ShowThrower showThrower_;
};

int runEditor(DrivingPlatform& platform) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static char name[] = "probe_editor";
    static char* argv[] = {name, nullptr};
    int argc = 1;
    return ui::runProbeEditor(argc, argv, platform);
}

TEST(StartupTest, WithoutProbeStoreTwoBoxesAppearAndTheProgramEndsWithZero) {
    DrivingPlatform platform("no_tables", DrivingPlatform::Then::wait);
    EXPECT_EQ(runEditor(platform), 0);
    ASSERT_EQ(platform.boxes.size(), 2u);
    EXPECT_EQ(platform.boxes[0].title, "Системная ошибка");
    EXPECT_EQ(platform.boxes[0].text.rfind(
                  "Загрузка библиотек(и)\r\nprobestore.dll\r\nне была завершена. \r\n", 0),
              0u);
    EXPECT_EQ(platform.boxes[1],
              (Box{"Ошибка редактора",
                   "Для нормальной работы приложения библиотека \r\nprobestore.dll\r\nдолжна быть "
                   "открыта."}));
}

TEST(StartupTest, WithProbeStoreNoBoxAppearsAndExitEndsTheProgram) {
    DrivingPlatform platform("full", DrivingPlatform::Then::exitByMenu);
    EXPECT_EQ(runEditor(platform), 0);
    EXPECT_TRUE(platform.mainWindowSeen);
    EXPECT_TRUE(platform.boxes.empty());
    // The window carries the editor's icon, as the desktop entry does.
    EXPECT_FALSE(platform.mainWindowIcon.isNull());
    // Closing the window freed the probe store again.
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "free"), 1);
}

TEST(StartupTest, ExceptionFromAHandlerIsShownAndTheProgramEndsWithZero) {
    DrivingPlatform platform("full", DrivingPlatform::Then::throwFromHandler);
    EXPECT_EQ(runEditor(platform), 0);
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0], (Box{"Редактор ЖУВ", "Сбой обработчика"}));
    // The window was still destroyed in order: the probe store was freed.
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "free"), 1);
}

TEST(StartupTest, ExceptionWhileTheWindowIsShownEndsTheProgramBeforeTheLoop) {
    DrivingPlatform platform("full", DrivingPlatform::Then::throwWhileShown);
    EXPECT_EQ(runEditor(platform), 0);
    EXPECT_EQ(platform.boxes, (std::vector<Box>{{"Редактор ЖУВ", "Сбой при показе"}}));
    EXPECT_FALSE(platform.loopRanAfterException);
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "free"), 1);
}

// The built-in drawing is found and drawn at small and large sizes: neither blank nor a filled
// square (a drawing that failed to render, or a missing resource, gives one or the other).
TEST(StartupTest, EditorIconIsDrawnAtTheSizesWindowSystemsAskFor) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    static char name[] = "probe_editor";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    const QIcon icon = ui::editorIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 48, 256}) {
        ASSERT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        int drawn = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) drawn += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
        EXPECT_GT(drawn, size * size / 5) << size;
        EXPECT_LT(drawn, size * size * 4 / 5) << size;
    }
}

}  // namespace
