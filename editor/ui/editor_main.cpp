#include "editor/ui/editor_main.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QStringList>
#include <QTranslator>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "editor/lifecycle/command_line.h"
#include "editor/lifecycle/lifecycle.h"
#include "editor/probe/selection.h"
#include "editor/ui/editor_icon.h"
#include "editor/ui/file_dialogs.h"
#include "editor/ui/main_window.h"

namespace ui {
namespace {

void showExceptionBox(const char* what) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(lifecycle::kApplicationTitle),
                    QString::fromUtf8(what != nullptr ? what : ""), QMessageBox::Ok);
    box.exec();
}

// An exception that leaves an event handler is shown in the application's exception box and
// ends the message loop; the program then returns 0.
class EditorApplication final : public QApplication {
  public:
    EditorApplication(int& argc, char** argv) : QApplication(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            showExceptionBox(e.what());
        } catch (...) {
            showExceptionBox("Неизвестная ошибка.");
        }
        // exit() only ends a loop that runs: an exception raised while the main window is
        // being shown, before the message loop starts, must keep the loop from starting.
        ending_ = true;
        exit(0);
        return false;
    }

    bool ending() const { return ending_; }

  private:
    bool ending_ = false;
};

}  // namespace

void QtMessageBoxes::show(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

bool installToolkitTranslations(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    // The toolkit's texts that follow the default locale rather than a translation (the names of
    // file types in the file dialogs) are Russian too, whatever the system's locale. The pages
    // read their number and date conventions from the system's locale itself.
    QLocale::setDefault(russian);
    const QStringList folders = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
#else
        QLibraryInfo::location(QLibraryInfo::TranslationsPath),
#endif
    };
    for (const QString& folder : folders) {
        if (translator->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    return false;
}

namespace {

void print(std::FILE* stream, const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

}  // namespace

int runProbeEditor(int& argc, char** argv, biblioteki::LoaderPlatform& platform) {
    // Help, version and a mistake are answered before any window system is needed.
    {
        std::vector<std::string> raw;
        for (int i = 1; i < argc; ++i) raw.emplace_back(argv[i]);
        const lifecycle::CommandLine early = lifecycle::parseCommandLineBeforeToolkit(raw);
        if (early.action == lifecycle::CommandLine::Action::help ||
            early.action == lifecycle::CommandLine::Action::version) {
            print(stdout, early.text);
            return 0;
        }
        if (early.action == lifecycle::CommandLine::Action::error) {
            print(stderr, early.text);
            return 2;
        }
    }
    EditorApplication application(argc, argv);
    // The toolkit has taken its own options; what is left is the editor's, in the system's
    // encoding of names.
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments().mid(1))
        arguments.push_back(argument.toStdString());
    const lifecycle::CommandLine line = lifecycle::parseCommandLine(arguments);
    if (line.action == lifecycle::CommandLine::Action::error) {
        print(stderr, line.text);
        return 2;
    }
    const QString probeFile =
        line.probeFile.empty()
            ? QString()
            : QFileInfo(QString::fromStdString(line.probeFile)).absoluteFilePath();
    // The file dialogs open in the folder last used, also after a restart.
    TfrmRedaktor::rememberState = true;
    {
        const QString lastFolder =
            QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("probe-tools"),
                      QStringLiteral("probe_editor"))
                .value(QStringLiteral("lastFolder"))
                .toString();
        if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir()) setDialogFolder(lastFolder);
    }
    installToolkitTranslations(application);
    // Only the name: a display name would be appended by some window systems to every other
    // window's caption ("Системная ошибка — ..."), and the boxes keep their own titles.
    QApplication::setApplicationName(QString::fromUtf8(lifecycle::kApplicationTitle));
    // Every window of the editor carries its icon; the desktop file name lets window systems
    // that group windows by their entry (Wayland's application id) show the same one.
    QApplication::setWindowIcon(editorIcon());
    QApplication::setDesktopFileName(QString::fromLatin1(kDesktopName));
    try {
        QtMessageBoxes boxes;
        biblioteki::Biblioteki loader(platform, boxes);
        probe::ProbeSelection selection;
        TfrmRedaktor frmRedaktor(loader, selection);
        frmRedaktor.show();
        // The main window starts active, also where no window manager hands out the focus.
        frmRedaktor.activateWindow();
        if (!probeFile.isEmpty() && frmRedaktor.isVisible()) frmRedaktor.openProbeFile(probeFile);
        // The window may already have closed itself while it was being shown.
        if (frmRedaktor.isVisible() && !application.ending()) QApplication::exec();
    } catch (const std::exception& e) {
        showExceptionBox(e.what());
    } catch (...) {
        showExceptionBox("Неизвестная ошибка.");
    }
    return 0;
}

}  // namespace ui
