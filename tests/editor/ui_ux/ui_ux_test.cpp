// The main window as a keyboard user meets it, built with the real libraries beside the test.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <QtTest>

#include "editor/ui/collections_binding.h"
#include "editor/ui/editor_main.h"
#include "editor/ui/file_dialogs.h"
#include "editor/ui/main_window.h"
#include "editor/ui/pages/probe_pages.h"
#include "editor/ui/tfrm_modal.h"
#include "editor/ui/tfrm_vibor.h"
#include "tests/probe_core/biblioteki/fixture_platform.h"

// The editor on the libraries beside the test, its window shown and active.
struct ShownEditor {
    testing_support::RecordingBoxes boxes;
    biblioteki::Biblioteki loader{biblioteki::systemPlatform(), boxes};
    probe::ProbeSelection selection;
    ui::TfrmRedaktor window{loader, selection};
    bool show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

class UiUxTest : public QObject {
    Q_OBJECT

  private slots:
    // The window opens with the focus on a control of the first page, Tab walks on through the
    // page's fields and Ctrl+Tab turns the pages.
    void keyboardReachesThePages() {
        ShownEditor editor;
        QVERIFY(editor.show());
        auto& [boxes, loader, selection, window] = editor;

        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        QWidget* first = QApplication::focusWidget();
        QVERIFY(first->isVisible());
        QVERIFY(window.page("tbPiezoelementi")->isAncestorOf(first));

        QTest::keyClick(first, Qt::Key_Tab);
        QWidget* second = QApplication::focusWidget();
        QVERIFY(second != nullptr && second != first);
        QVERIFY(second->isVisible());
        QVERIFY(qobject_cast<QComboBox*>(second) != nullptr);

        QTest::keyClick(second, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(window.pcParametri->currentIndex(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(window.pcParametri->currentIndex(), 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(window.pcParametri->currentIndex(), 7);
    }

    // The file dialogs speak Russian like the rest of the editor.
    void fileDialogsInRussian() {
        if (!ui::installToolkitTranslations(*QCoreApplication::instance()))
            QSKIP("the toolkit's Russian translation is not installed");
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        QStringList buttons;
        for (const QPushButton* b : dialog.findChildren<QPushButton*>()) buttons << b->text();
        QVERIFY2(buttons.contains(QString::fromUtf8("Отмена")),
                 qPrintable(buttons.join(QLatin1Char('|'))));
        // Also under a locale of another language (the tests run under C.UTF-8).
        const ui::NameOnlyIconProvider types;
        QCOMPARE(types.type(QFileInfo(QDir::tempPath())), QString::fromUtf8("Папка"));
        QCOMPARE(QLocale().language(), QLocale::Russian);
    }

    // A probe line longer than the list can still be read in full: hovering any line, the first,
    // one in the middle or the last after scrolling, shows it whole as a tool tip.
    void longSelectionLinesReadInFull() {
        collections::RecordSelectionModel model;
        // Longer than the widest the dialog opens at (nine tenths of the screen) in any font the
        // platform takes, so that the list has to shorten it.
        const std::string tail =
            ": НПО «Акустика» П111-2,5-К12 (Прямой совмещённый преобразователь для контроля "
            "сварных швов, поставляется с кабелем, призмой и протектором; паспорт, методика "
            "поверки и свидетельство о первичной поверке прилагаются к каждому экземпляру)";
        const int n = 40;
        for (int i = 0; i < n; ++i) model.addLine(std::to_string(i) + tail);
        ui::TfrmVibor dialog(model, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QListWidget* list = dialog.ListBox1;
        for (int row : {0, n / 2, n - 1}) {
            QListWidgetItem* item = list->item(row);
            const QString line = QString::fromStdString(std::to_string(row) + tail);
            QCOMPARE(item->text(), line);
            QVERIFY(list->fontMetrics().horizontalAdvance(line) > list->viewport()->width());
            list->scrollToItem(item);
            const QPoint at = list->visualItemRect(item).center();
            QVERIFY(list->viewport()->rect().contains(at));
            QHelpEvent hover(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
            QApplication::sendEvent(list->viewport(), &hover);
            QTRY_COMPARE(QToolTip::text(), line);
            QToolTip::hideText();
        }
    }

    // When a viewing ends the editor takes the keyboard again, without a click on it first.
    // (The offscreen platform activates every window it shows; on a display without a window
    // manager, QT_QPA_PLATFORM=xcb, this also checks that the editor asks for activation.)
    void editorActiveAgainAfterViewing() {
#ifndef HAVE_SURFACE_LIBRARIES
        QSKIP("the surface libraries are not built");
#else
        ShownEditor editor;
        QVERIFY(editor.show());
        auto& [boxes, loader, selection, window] = editor;
        auto* pages = window.findChild<ui::ProbePages*>(QStringLiteral("ProbePages"));
        auto* binding = ui::CollectionsBinding::of(&window);
        QVERIFY(pages && binding);
        window.pcParametri->setCurrentWidget(window.page("tsObekti"));
        pages->cbIFsP->setEditText(QStringLiteral(EXAMPLES_DIR "/probe_surfaces.pv"));
        pages->modelObjects().tsObektiHide();
        pages->cbIIP->setEditText(QString::fromUtf8("Излучающая поверхность"));
        pages->bnIIP->click();
        ui::TfrmModal* box = binding->waitBox();
        QVERIFY(box != nullptr && !window.isVisible());
        box->activateWindow();
        QTRY_VERIFY(box->isActiveWindow());

        QTest::mouseClick(box->Button1, Qt::LeftButton);
        QTRY_VERIFY(binding->waitBox() == nullptr);
        QVERIFY(window.isVisible());
        QTRY_VERIFY(window.isActiveWindow());
#endif
    }

    // A confirmed file dialog leaves the current folder alone: only the operation that used
    // the file makes its folder the current one, where the next dialog then opens.
    void fileDialogOpensWhereTheLastOperationSucceeded() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QFile probes(folder.filePath(QStringLiteral("probes.dt")));
        QVERIFY(probes.open(QIODevice::WriteOnly));
        probes.close();
        const QString before = QDir::currentPath();

        QString shownIn;
        auto answer = [&](bool confirm) {
            QTimer::singleShot(0, [&, confirm] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr) return;
                shownIn = dialog->directory().absolutePath();
                if (!confirm) return dialog->reject();
                // The full name typed into the name field, as a user does.
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name != nullptr);
                name->setText(probes.fileName());
                static_cast<QDialog*>(dialog)->accept();
            });
        };
        answer(true);
        const auto chosen = ui::askOpenFileName(nullptr, "Датчики (*.dt)|*.dt", "dt");
        QVERIFY(chosen.has_value());
        QCOMPARE(QFileInfo(*chosen).canonicalFilePath(), QFileInfo(probes).canonicalFilePath());
        QCOMPARE(QDir::currentPath(), before);

        // The next dialog opens where the file was; the working folder stays as started.
        ui::makeFolderCurrent(*chosen);
        QCOMPARE(QDir::currentPath(), before);
        QCOMPARE(QDir(ui::dialogFolder()).canonicalPath(), QDir(folder.path()).canonicalPath());
        answer(false);
        QVERIFY(!ui::askSaveFileName(nullptr, "Датчики (*.dt)|*.dt", "dt").has_value());
        QCOMPARE(QDir(shownIn).canonicalPath(), QDir(folder.path()).canonicalPath());
        ui::setDialogFolder(QString());
    }

    // "О программе" replaces the editor: keys typed over it reach no hidden field, and a click
    // brings the editor back with the keyboard where it was.
    void editorFieldKeepsTheKeyboardAcrossTheTitlePanel() {
        ShownEditor editor;
        QVERIFY(editor.show());
        auto& [boxes, loader, selection, window] = editor;
        auto* pages = window.findChild<ui::ProbePages*>(QStringLiteral("ProbePages"));
        QVERIFY(pages != nullptr);
        window.pcParametri->setCurrentWidget(window.page("tbIdentifikacionnayaInformaciya"));
        pages->cbModel->setFocus();
        QTRY_VERIFY(pages->cbModel->hasFocus());
        QTest::keyClicks(pages->cbModel, QStringLiteral("A"));

        window.N3->trigger();
        QVERIFY(!window.pnlNazvanie->isHidden());
        QVERIFY(!pages->cbModel->hasFocus());
        QWidget* keys = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
        QTest::keyClicks(keys, QStringLiteral("HIDDEN"));
        window.pnlNazvanieClick();
        QVERIFY(window.pnlNazvanie->isHidden());
        QTRY_VERIFY(pages->cbModel->hasFocus());
        QCOMPARE(pages->cbModel->currentText(), QStringLiteral("A"));
    }

    // Closing with a change no probe file holds asks first; "Отмена" keeps the editor open,
    // leaving without saving closes it.
    void closingWithChangesAsks() {
        ShownEditor editor;
        QVERIFY(editor.show());
        auto& [boxes, loader, selection, window] = editor;
        auto* pages = window.findChild<ui::ProbePages*>(QStringLiteral("ProbePages"));
        QVERIFY(pages != nullptr);
        QVERIFY(window.close());  // nothing changed: no question
        window.show();

        pages->cbKDpC->setCurrentIndex(1);  // stored at once
        QVERIFY(window.windowTitle().endsWith(QStringLiteral(" *")));
        QStringList asked;
        auto answer = [&asked](const char* button) {
            QTimer::singleShot(0, [&asked, button] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (box == nullptr) return;
                asked << box->objectName();
                for (QAbstractButton* b : box->buttons())
                    if (b->text().remove(QLatin1Char('&')) == QString::fromUtf8(button)) b->click();
            });
        };
        answer("Отмена");
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
        answer("Выйти без сохранения");
        QVERIFY(window.close());
        QCOMPARE(asked, QStringList({QStringLiteral("unheldChangesBox"),
                                     QStringLiteral("unheldChangesBox")}));
    }

    // Esc leaves "О программе"; the page captions are reached with Tab.
    void escapeLeavesAboutAndTabReachesTheCaptions() {
        ShownEditor editor;
        QVERIFY(editor.show());
        auto& [boxes, loader, selection, window] = editor;
        window.N3->trigger();
        QVERIFY(window.pnlNazvanie->isVisible());
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.pnlNazvanie->isHidden());

        auto* rows = window.findChild<QWidget*>(QStringLiteral("pageCaptionRows"));
        bool reached = false;
        for (int i = 0; i < 40 && !reached; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached = rows->isAncestorOf(QApplication::focusWidget());
        }
        QVERIFY(reached);
    }

    // A probe file dropped on a text field loads (through the selection dialog); the field
    // never takes the file's address.
    void droppedProbeFileLoadsAndNoFieldTakesItsAddress() {
        ShownEditor editor;
        QVERIFY(editor.show());
        auto& [boxes, loader, selection, window] = editor;
        auto* pages = window.findChild<ui::ProbePages*>(QStringLiteral("ProbePages"));
        window.pcParametri->setCurrentWidget(window.page("tbIdentifikacionnayaInformaciya"));
        QLineEdit* field = pages->cbProizvoditel->lineEdit();

        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QStringLiteral(EXAMPLES_DIR "/probes.dt"))});
        const QPoint at = field->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field, &enter);
        QVERIFY(enter.isAccepted());
        int dialogs = 0;
        QTimer::singleShot(0, [&dialogs] {
            if (auto* d = dynamic_cast<ui::TfrmVibor*>(QApplication::activeModalWidget())) {
                ++dialogs;
                d->bnVibrat->click();
            }
        });
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field, &drop);
        QCOMPARE(dialogs, 1);
        QVERIFY(selection.probeCount > 1);
        QVERIFY(!field->text().contains(QStringLiteral("file:")));
        QVERIFY(window.windowTitle().contains(QStringLiteral("probes.dt")));
        QVERIFY(window.statusLine->text().contains(QStringLiteral("probes.dt")));
        QCOMPARE(window.recentFiles().value(0),
                 QFileInfo(QStringLiteral(EXAMPLES_DIR "/probes.dt")).absoluteFilePath());
        QVERIFY(boxes.shown.empty());
    }
};

QTEST_MAIN(UiUxTest)
#include "ui_ux_test.moc"
