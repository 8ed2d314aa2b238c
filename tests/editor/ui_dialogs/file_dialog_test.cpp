// The editor's file dialogs decorate their lists without reading any file: /proc is listed
// without hanging, and a file's type comes from its name, never from its first bytes.
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QtTest>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "editor/collections/probe_files.h"
#include "editor/ui/file_dialogs.h"

namespace {

// Ends the test program with a message when the work it guards has not finished in time: a
// file dialog that blocks on a file blocks for good, and no assertion would ever be reached.
class Watchdog {
  public:
    Watchdog(std::chrono::seconds limit, const char* what)
        : thread_([this, limit, what] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
                  std::fprintf(stderr, "FAIL: %s has not finished: it hangs\n", what);
                  std::fflush(stderr);
                  std::_Exit(1);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

QFileSystemModel* listOf(QFileDialog& dialog) {
    return dialog.findChild<QFileSystemModel*>();
}

}  // namespace

class FileDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void procIsListedWithoutHanging();
    void typeComesFromTheNameNotFromTheContents();
};

void FileDialogTest::procIsListedWithoutHanging() {
    if (!QFileInfo(QStringLiteral("/proc")).isDir()) QSKIP("no /proc on this system");
    const Watchdog watchdog(std::chrono::seconds(40), "a file dialog listing /proc");
    {
        QFileDialog dialog;
        ui::prepareFileDialog(dialog, collections::kProbeFileFilter,
                              collections::kProbeFileExtension, QFileDialog::AcceptOpen);
        QFileSystemModel* model = listOf(dialog);
        QVERIFY(model != nullptr);
        dialog.show();
        // As a user does: the folder typed into the name field, the completer listing it.
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name != nullptr);
        QTest::keyClicks(name, QStringLiteral("/proc/"));
        dialog.setDirectory(QStringLiteral("/proc"));
        const QModelIndex proc = model->index(QStringLiteral("/proc"));
        QTRY_VERIFY_WITH_TIMEOUT(model->rowCount(proc) > 0, 20000);
        // Every row's icon and type, as the list and its detail view ask for them; kmsg, which
        // waits for the next kernel message when it is read, among them.
        QTest::keyClicks(name, QStringLiteral("km"));
        for (int row = 0; row < model->rowCount(proc); ++row) {
            model->data(model->index(row, 0, proc), Qt::DecorationRole);
            model->data(model->index(row, 2, proc), Qt::DisplayRole);
        }
        QCoreApplication::processEvents();
        dialog.reject();
    }  // the dialog's model ends its file system thread here
}

void FileDialogTest::typeComesFromTheNameNotFromTheContents() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    // A probe file that holds a picture: its extension is nobody's, its first bytes a PNG's.
    const QString picture = folder.filePath(QStringLiteral("snapshot.dt"));
    QFile file(picture);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromHex("89504e470d0a1a0a0000000d49484452"));
    file.close();
    const QMimeType png = QMimeDatabase().mimeTypeForName(QStringLiteral("image/png"));
    if (QMimeDatabase().mimeTypeForFile(picture, QMimeDatabase::MatchContent) != png)
        QSKIP("the MIME database does not know PNG images by their contents");

    QFileDialog dialog;
    ui::prepareFileDialog(dialog, collections::kProbeFileFilter, collections::kProbeFileExtension,
                          QFileDialog::AcceptOpen);
    QVERIFY(dialog.testOption(QFileDialog::DontUseCustomDirectoryIcons));
    const QString type = dialog.iconProvider()->type(QFileInfo(picture));
    QVERIFY2(type != png.comment() && type != png.name(), qPrintable(type));

    // The same through the list itself.
    QFileSystemModel* model = listOf(dialog);
    QVERIFY(model != nullptr);
    dialog.setDirectory(folder.path());
    const QModelIndex root = model->index(folder.path());
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(root), 1, 20000);
    const QString listed = model->data(model->index(0, 2, root)).toString();
    QVERIFY2(!listed.isEmpty() && listed != png.comment(), qPrintable(listed));
}

QTEST_MAIN(FileDialogTest)
#include "file_dialog_test.moc"
