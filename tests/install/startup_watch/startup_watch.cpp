// A Qt generic plug-in that watches an installed editor start. The toolkit loads it into the
// program when QT_QPA_GENERIC_PLUGINS names "probestartupwatch" and QT_PLUGIN_PATH reaches its
// folder, so the program under test is the installed one, unchanged. On standard error (and in the
// file PROBE_WATCH_LOG names, where set) it reports, one line each: every message box that comes up
// (answered with OK), the main window once shown and whether it has an icon, and the tool set's
// libraries the process has mapped, with their full paths. Then it closes the main window, which
// ends the editor as "Выход" does.
//
// With PROBE_WATCH_PROBE_FILE it first loads that probe file as a user does ("Датчики" /
// "Загрузить из файла...", the file chosen in the toolkit's own file dialog, "Выбрать" in the list
// of its records) and reports the number of records listed.
//
// With PROBE_WATCH_OPENED_FILE set the editor was started with a probe file to open (on Windows
// through the file type's "open" command): the watch takes the list of its records as it comes up
// and reports their number the same way.
//
// With PROBE_WATCH_SURFACE_FILE and PROBE_WATCH_SURFACE_NAME it then shows that surface from the
// page "Объекты функциональной модели", which loads the surface keeper, archiver and visualizer,
// and closes the visualizer again through the wait box, at once or, with PROBE_WATCH_HOLD_MS, after
// that many milliseconds (time to take a picture of the screen). PROBE_WATCH_TIMEOUT_MS (default
// 45 s) bounds the whole watch.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGenericPlugin>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#if defined(Q_OS_WIN)
#include <QDir>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

// A program started through the shell (a file type's "open" command) may have no standard error
// to write to: with PROBE_WATCH_LOG the lines also go to the end of that file.
void report(const QString& line) {
    const QByteArray text = "watch: " + line.toUtf8() + "\n";
    std::fputs(text.constData(), stderr);
    std::fflush(stderr);
    if (const QString log = qEnvironmentVariable("PROBE_WATCH_LOG"); !log.isEmpty()) {
        QFile file(log);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append)) file.write(text);
    }
}

#if defined(Q_OS_WIN)
// The tool set's libraries loaded into the process, with the files they were loaded from.
void reportLibraries() {
    for (const wchar_t* name : {L"probestore.dll", L"surfstore.dll", L"surfarch.dll",
                                L"surfview1.dll", L"wavelib.dll", L"wavelib2.dll"}) {
        HMODULE module = GetModuleHandleW(name);
        if (module == nullptr) continue;
        wchar_t path[MAX_PATH];
        const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
        if (length == 0 || length == MAX_PATH) continue;
        report(QStringLiteral("library ") +
               QDir::fromNativeSeparators(QString::fromWCharArray(path, static_cast<int>(length))));
    }
}
#else
// The mapped files of the process whose names are those of the tool set's libraries.
void reportLibraries() {
    static const QSet<QString> names = {
        QStringLiteral("probestore.so"), QStringLiteral("surfstore.so"),
        QStringLiteral("surfarch.so"),   QStringLiteral("surfview1.so"),
        QStringLiteral("wavelib.so"),    QStringLiteral("wavelib2.so")};
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) return report(QStringLiteral("no /proc/self/maps"));
    QSet<QString> seen;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const int slash = line.indexOf('/');
        if (slash < 0) continue;
        const QString path = QString::fromUtf8(line.mid(slash));
        if (names.contains(path.section(QLatin1Char('/'), -1)) && !seen.contains(path)) {
            seen.insert(path);
            report(QStringLiteral("library ") + path);
        }
    }
}
#endif

class StartupWatch : public QObject {
  public:
    StartupWatch() {
        surfaceFile_ = qEnvironmentVariable("PROBE_WATCH_SURFACE_FILE");
        surfaceName_ = qEnvironmentVariable("PROBE_WATCH_SURFACE_NAME");
        probeFile_ = qEnvironmentVariable("PROBE_WATCH_PROBE_FILE");
        // The file is the editor's own: no file dialog to answer, only its list of records.
        fileChosen_ = qEnvironmentVariableIsSet("PROBE_WATCH_OPENED_FILE");
        holdMs_ = qEnvironmentVariableIntValue("PROBE_WATCH_HOLD_MS");
        if (const int timeout = qEnvironmentVariableIntValue("PROBE_WATCH_TIMEOUT_MS"); timeout > 0)
            timeoutMs_ = timeout;
        // The system's file dialog cannot be driven from here; the toolkit's own can.
        if (!probeFile_.isEmpty()) QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        clock_.start();
        connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start(50);
    }

  private:
    enum class Step {
        waitForWindow,
        loadProbes,
        waitForProbes,
        showSurface,
        waitForViewer,
        holding,
        waitForReturn,
        finished,
        closing
    };

    void poll() {
        if (clock_.elapsed() > timeoutMs_) {
            report(QStringLiteral("timeout"));
            std::_Exit(3);
        }
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            // The watch changed the probe, so closing asks about it: that question is expected.
            if (box->objectName() == QStringLiteral("unheldChangesBox"))
                report(QStringLiteral("asked about changes on closing"));
            else
                report(QStringLiteral("box «%1» «%2»").arg(box->windowTitle(), box->text()));
            // The question on closing with changes is answered "leave without saving".
            later([box] {
                QAbstractButton* answer = box->button(QMessageBox::Ok);
                for (QAbstractButton* b : box->buttons())
                    if (!answer && box->buttonRole(b) == QMessageBox::DestructiveRole) answer = b;
                if (!answer) answer = box->escapeButton();
                if (answer) answer->click();
            });
            return;
        }
        switch (step_) {
            case Step::waitForWindow:
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    auto* main = qobject_cast<QMainWindow*>(w);
                    if (main == nullptr || !main->isVisible()) continue;
                    window_ = main;
                    report(QStringLiteral("window «%1» icon=%2")
                               .arg(main->windowTitle(), main->windowIcon().isNull()
                                                             ? QStringLiteral("no")
                                                             : QStringLiteral("yes")));
                    step_ = fileChosen_             ? Step::waitForProbes
                            : !probeFile_.isEmpty() ? Step::loadProbes
                                                    : afterProbes();
                    break;
                }
                return;
            case Step::loadProbes:
                return loadProbes();
            case Step::waitForProbes:
                return chooseProbes();
            case Step::showSurface:
                return showSurface();
            case Step::waitForViewer:
                return closeViewer();
            case Step::holding:
                return;
            case Step::waitForReturn:
                if (window_ && window_->isVisible()) step_ = Step::finished;
                return;
            case Step::finished:
                reportLibraries();
                report(QStringLiteral("done"));
                // Boxes that come up while the editor closes are still reported and answered.
                step_ = Step::closing;
                if (window_)
                    later([w = window_] {
                        if (w) w->close();
                    });
                return;
            case Step::closing:
                return;
        }
    }

    Step afterProbes() const { return surfaceFile_.isEmpty() ? Step::finished : Step::showSurface; }

    void loadProbes() {
        auto* load = window_ ? window_->findChild<QAction*>(QStringLiteral("miZagruzit")) : nullptr;
        if (load == nullptr) {
            report(QStringLiteral("command to load probes not found"));
            step_ = Step::finished;
            return;
        }
        step_ = Step::waitForProbes;
        later([load] { load->trigger(); });
    }

    // The file dialog gets the file, the list of records is taken as it comes (every record
    // marked); once neither is up any more, the probes are in.
    void chooseProbes() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            if (fileChosen_) return;
            fileChosen_ = true;
            // Typed into the name field, as a user does: selectFile() leaves a focused field as it
            // is.
            later([dialog, file = probeFile_] {
                if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    name->setText(file);
                else
                    dialog->selectFile(file);
                // Through QDialog, where accept() is public; the dialog's own runs.
                static_cast<QDialog*>(dialog)->accept();
            });
        } else if (modal != nullptr && modal->objectName() == QLatin1String("frmVibor")) {
            if (recordsChosen_) return;
            recordsChosen_ = true;
            auto* list = modal->findChild<QListWidget*>(QStringLiteral("ListBox1"));
            report(QStringLiteral("records %1").arg(list ? list->count() : -1));
            if (auto* choose = modal->findChild<QAbstractButton*>(QStringLiteral("bnVibrat")))
                later([choose] { choose->click(); });
        } else if (modal == nullptr && fileChosen_ && recordsChosen_) {
            report(QStringLiteral("probes loaded"));
            step_ = afterProbes();
        }
    }

    // As a user does it: the file into its field, the page left (which stores the record) and
    // entered again, the surface's name into its field, then "Показать".
    void showSurface() {
        auto* tabs =
            window_ ? window_->findChild<QTabWidget*>(QStringLiteral("pcParametri")) : nullptr;
        auto* page = window_ ? window_->findChild<QWidget*>(QStringLiteral("tsObekti")) : nullptr;
        auto* file = window_ ? window_->findChild<QComboBox*>(QStringLiteral("cbIFsP")) : nullptr;
        auto* name = window_ ? window_->findChild<QComboBox*>(QStringLiteral("cbIIP")) : nullptr;
        auto* show =
            window_ ? window_->findChild<QAbstractButton*>(QStringLiteral("bnIIP")) : nullptr;
        if (!tabs || !page || !file || !name || !show) {
            report(QStringLiteral("page of the surfaces not found"));
            step_ = Step::finished;
            return;
        }
        tabs->setCurrentWidget(page);
        file->setEditText(surfaceFile_);
        tabs->setCurrentIndex(tabs->indexOf(page) == 0 ? 1 : 0);
        tabs->setCurrentWidget(page);
        name->setEditText(surfaceName_);
        step_ = Step::waitForViewer;
        later([show] { show->click(); });
    }

    // The visualizer's window and the wait box are both up: the surface was found, read and
    // handed to the visualizer. The wait box's button ends the showing.
    void closeViewer() {
        QAbstractButton* close = nullptr;
        QWidget* viewer = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || w == window_) continue;
            if (auto* b = w->findChild<QAbstractButton*>(QStringLiteral("Button1")))
                close = b;
            else
                viewer = w;
        }
        if (close == nullptr || viewer == nullptr) return;
        report(QStringLiteral("viewer «%1»").arg(viewer->windowTitle()));
        reportLibraries();
        step_ = Step::holding;
        QTimer::singleShot(holdMs_, this, [this, close = QPointer<QAbstractButton>(close)] {
            step_ = Step::waitForReturn;
            if (close) close->click();
        });
    }

    // Runs `f` from the event loop, after this poll has returned: what it starts may open a
    // modal loop, inside which the poll must keep running.
    template <typename F>
    void later(F f) {
        QTimer::singleShot(0, this, f);
    }

    QTimer timer_;
    QElapsedTimer clock_;
    QPointer<QMainWindow> window_;
    Step step_ = Step::waitForWindow;
    QString surfaceFile_;
    QString surfaceName_;
    QString probeFile_;
    bool fileChosen_ = false;
    bool recordsChosen_ = false;
    int holdMs_ = 0;
    qint64 timeoutMs_ = 45000;
};

}  // namespace

class StartupWatchPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "startup_watch.json")

  public:
    QObject* create(const QString&, const QString&) override { return new StartupWatch; }
};

#include "startup_watch.moc"
