// The record selection dialog, the wait box, the title panel's labels and the file dialog
// filters on the offscreen platform, and one whole surface viewing with the libraries beside
// the test program and the sample surface file.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "editor/ui/collections_binding.h"
#include "editor/ui/file_dialogs.h"
#include "editor/ui/main_window.h"
#include "editor/ui/pages/probe_pages.h"
#include "editor/ui/tfrm_modal.h"
#include "editor/ui/tfrm_vibor.h"
#include "editor/ui/title_panel.h"
#include "platform/cp1251.h"
#include "tests/probe_core/biblioteki/fixture_platform.h"

using collections::RecordSelectionModel;

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void selectionDialogOpensInLoadModeWithItsDesign();
    void selectionDialogSingleChoiceReadsBackTheFocusedLine();
    void selectionDialogCloseBoxGivesTwo();
    void selectionDialogKeepsScatteredMarksOfALongList();
    void selectionDialogChoosesOnEnterAndDoubleClickOverItsOwner();
    void waitBoxClosesByHidingAndCallsBack();
    void titleLinesAreCentredAndClickReturnsToTheEditor();
    void pipeFiltersBecomeQtFilters();
    void wholeSurfaceViewingWithTheRealLibraries();
    void mainWindowCentresTheAboutLines();
    void typedTextSurvivesChoosingTheProbe();
    void fileNameOutsideCp1251IsRefused();
    void probeFileThatCannotBeLoadedIsToldInTheClientsWords();
};

namespace {

RecordSelectionModel threeLines() {
    RecordSelectionModel m;
    for (const char* s : {"0: A B (C)", "1: D E (F)", "2: G H (I)"}) m.addLine(s);
    return m;
}

QList<int> selectedRows(QListWidget* list) {
    QList<int> rows;
    for (int p = 0; p < list->count(); ++p)
        if (list->item(p)->isSelected()) rows << p;
    return rows;
}

}  // namespace

void DialogsTest::selectionDialogOpensInLoadModeWithItsDesign() {
    RecordSelectionModel model = threeLines();
    model.bnVidelitVseClick();
    model.setFocusedPosition(0);
    ui::TfrmVibor d(model, nullptr);
    d.show();
    QCOMPARE(d.windowTitle(), QString::fromUtf8("Выбор записей для загрузки"));
    QCOMPARE(d.size(), QSize(441, 303));
    QCOMPARE(d.ListBox1->geometry(), QRect(16, 16, 409, 241));
    QCOMPARE(d.bnVibrat->geometry(), QRect(24, 264, 121, 25));
    QCOMPARE(d.bnVidelitVse->geometry(), QRect(160, 264, 121, 25));
    QCOMPARE(d.bnOtmenit->geometry(), QRect(296, 264, 121, 25));
    QCOMPARE(d.bnVibrat->text(), QString::fromUtf8("Выбрать"));
    QCOMPARE(d.bnVidelitVse->text(), QString::fromUtf8("Выделить все"));
    QCOMPARE(d.bnOtmenit->text(), QString::fromUtf8("Отменить"));
    QVERIFY(d.bnVidelitVse->isVisible());
    QCOMPARE(d.ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(selectedRows(d.ListBox1), (QList<int>{0, 1, 2}));

    // The user deselects a line, selects all again, deselects another and cancels: the marks
    // are read back with result 2.
    d.ListBox1->item(1)->setSelected(false);
    QTest::mouseClick(d.bnVidelitVse, Qt::LeftButton);
    QCOMPARE(selectedRows(d.ListBox1), (QList<int>{0, 1, 2}));
    d.ListBox1->item(2)->setSelected(false);
    QTest::mouseClick(d.bnOtmenit, Qt::LeftButton);
    QCOMPARE(d.result(), 2);
    QCOMPARE(model.result(), 2);
    QCOMPARE(model.selectedCount(), 2u);
    QVERIFY(!model.isSelected(2));
}

void DialogsTest::selectionDialogSingleChoiceReadsBackTheFocusedLine() {
    RecordSelectionModel model = threeLines();
    model.setFocusedPosition(0);
    model.setLoadMode(false);
    ui::TfrmVibor d(model, nullptr);
    d.show();
    QCOMPARE(d.windowTitle(), QString::fromUtf8("Выбор датчика"));
    QVERIFY(!d.bnVidelitVse->isVisible());
    QCOMPARE(d.ListBox1->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(selectedRows(d.ListBox1), (QList<int>{0}));

    d.ListBox1->setCurrentRow(2);
    QCOMPARE(selectedRows(d.ListBox1), (QList<int>{2}));
    QTest::mouseClick(d.bnVibrat, Qt::LeftButton);
    QCOMPARE(d.result(), 1);
    QCOMPARE(model.focusedPosition(), 2);
    QCOMPARE(model.selectedCount(), 1u);
}

void DialogsTest::selectionDialogCloseBoxGivesTwo() {
    RecordSelectionModel model = threeLines();
    QTimer::singleShot(0, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    QCOMPARE(ui::runRecordSelection(nullptr, model), 2);
    QCOMPARE(model.result(), 2);
}

void DialogsTest::selectionDialogKeepsScatteredMarksOfALongList() {
    // Runs of marked and unmarked lines, a lone mark at each end: shown and read back unchanged.
    RecordSelectionModel model;
    const int n = 2000;
    for (int i = 0; i < n; ++i) model.addLine(std::to_string(i) + ": A B (C)");
    auto marked = [](int p) { return p == 0 || p == n - 1 || (p % 7 != 0 && p % 11 < 6); };
    for (int p = 0; p < n; ++p) model.setSelected(static_cast<std::size_t>(p), marked(p));
    model.setFocusedPosition(1500);
    std::uint32_t expected = 0;
    for (int p = 0; p < n; ++p) expected += marked(p) ? 1 : 0;

    ui::TfrmVibor d(model, nullptr);
    d.show();
    QCOMPARE(d.ListBox1->currentRow(), 1500);
    QCOMPARE(d.ListBox1->selectionModel()->selectedIndexes().size(), int(expected));
    d.ListBox1->item(0)->setSelected(false);  // the user drops the first line
    QTest::mouseClick(d.bnVibrat, Qt::LeftButton);
    QCOMPARE(model.selectedCount(), expected - 1);
    QVERIFY(!model.isSelected(0));
    for (int p = 1; p < n; ++p) QCOMPARE(model.isSelected(static_cast<std::size_t>(p)), marked(p));
    QCOMPARE(model.focusedPosition(), 1500);
}

void DialogsTest::selectionDialogChoosesOnEnterAndDoubleClickOverItsOwner() {
    QWidget owner;
    owner.setGeometry(40, 30, 600, 420);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));

    // Load mode: Enter in the list chooses the marked lines; with none marked it does nothing.
    RecordSelectionModel load = threeLines();
    load.bnVidelitVseClick();
    load.setFocusedPosition(0);
    ui::TfrmVibor d(load, &owner);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QCOMPARE(d.frameGeometry().center(), owner.frameGeometry().center());
    d.ListBox1->setFocus();
    d.ListBox1->clearSelection();
    QVERIFY(!d.bnVibrat->isEnabled());
    QTest::keyClick(d.ListBox1, Qt::Key_Return);
    QVERIFY(d.isVisible());
    d.ListBox1->item(2)->setSelected(true);
    QVERIFY(d.bnVibrat->isEnabled());
    QTest::keyClick(d.ListBox1, Qt::Key_Return);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), 1);
    QCOMPARE(load.selectedCount(), 1u);
    QVERIFY(load.isSelected(2));

    // Single choice: a double click on a line chooses it. A long line widens the dialog.
    RecordSelectionModel single = threeLines();
    single.addLine("3: " + std::string(120, 'W') + " (long)");
    single.setFocusedPosition(0);
    single.setLoadMode(false);
    ui::TfrmVibor c(single, &owner);
    c.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c));
    QVERIFY(c.width() > 441);
    QVERIFY(c.screen()->availableGeometry().contains(c.frameGeometry()));
    const QRect line = c.ListBox1->visualItemRect(c.ListBox1->item(1));
    QTest::mouseClick(c.ListBox1->viewport(), Qt::LeftButton, {}, line.center());
    QTest::mouseDClick(c.ListBox1->viewport(), Qt::LeftButton, {}, line.center());
    QVERIFY(!c.isVisible());
    QCOMPARE(c.result(), 1);
    QCOMPARE(single.focusedPosition(), 1);
}

void DialogsTest::waitBoxClosesByHidingAndCallsBack() {
    ui::TfrmModal box;
    QCOMPARE(box.windowTitle(), QString::fromUtf8("Просмотр поверхности"));
    QCOMPARE(box.size(), QSize(379, 97));
    const QByteArray text = box.Label1->text().toUtf8();
    QCOMPARE(text,
             QByteArray("После про") + char(0x63) + QByteArray("мотра нажмите \"Завершить\""));
    QCOMPARE(box.Label1->geometry(), QRect(1, 16, 377, 25));
    QCOMPARE(box.Button1->text(), QString::fromUtf8("Завершить"));
    QCOMPARE(box.Button1->geometry(), QRect(137, 56, 105, 25));
    QVERIFY(!(box.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(box.windowFlags() & Qt::WindowSystemMenuHint));
    QVERIFY(!(box.windowFlags() & Qt::WindowMinMaxButtonsHint));
    QVERIFY(!box.closeCallback);

    int calls = 0;
    box.closeCallback = [&](ui::TfrmModal& from) {
        QCOMPARE(&from, &box);
        ++calls;
    };
    box.show();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(box.frameGeometry().right() + 1, screen.width() - 20);
    QCOMPARE(box.frameGeometry().bottom() + 1, screen.height() - 60);
    QTest::mouseClick(box.Button1, Qt::LeftButton);
    QCOMPARE(calls, 1);
    QVERIFY(!box.isVisible());
}

void DialogsTest::titleLinesAreCentredAndClickReturnsToTheEditor() {
    QWidget client;
    client.resize(754, 531);
    auto* mainPanel = new QWidget(&client);
    mainPanel->setGeometry(0, 0, 754, 531);
    auto* titlePanel = new QFrame(&client);
    titlePanel->setGeometry(0, 0, 754, 531);
    titlePanel->hide();
    client.show();
    title::TitlePanel* logic = nullptr;
    ui::QtTitlePanel widgets(mainPanel, titlePanel, [&] { logic->pnlNazvanieClick(); });
    title::TitlePanel panel(widgets);
    logic = &panel;

    panel.N3Click();
    QVERIFY(titlePanel->isVisible());
    QVERIFY(!mainPanel->isVisible());
    QCOMPARE(widgets.labels().size(), std::size_t(11));
    int previousBottom = 0;
    for (ui::QtTitleLabel* l : widgets.labels()) {
        QVERIFY(l->isVisible());
        QCOMPARE(l->x(), 377 - l->QLabel::width() / 2);
        QVERIFY(l->y() >= previousBottom);
        previousBottom = l->y() + l->QLabel::height();
    }
    QCOMPARE(widgets.labels()[8]->font().family(), QStringLiteral("Small Fonts"));
    QVERIFY(widgets.labels()[2]->font().bold());

    panel.N3Click();
    QCOMPARE(widgets.labels().size(), std::size_t(11));

    QTest::mouseClick(widgets.labels()[3], Qt::LeftButton);
    QVERIFY(!titlePanel->isVisible());
    QVERIFY(mainPanel->isVisible());

    panel.bnDataKeyUp(101);
    QCOMPARE(widgets.labels().size(), std::size_t(22));
    QTest::mouseClick(titlePanel, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!titlePanel->isVisible());
}

void DialogsTest::pipeFiltersBecomeQtFilters() {
    QCOMPARE(ui::qtNameFilters(QString::fromUtf8("Датчики (*.dt)|*.dt|Все файлы (*.*)|*.*")),
             QString::fromUtf8("Датчики (*.dt);;Все файлы (*.*)"));
    QCOMPARE(ui::qtNameFilters(QStringLiteral("Surfaces|*.pv;*.pv2")),
             QStringLiteral("Surfaces (*.pv *.pv2)"));
    QCOMPARE(ui::toLibraryText(QString::fromUtf8("/tmp/Д.dt")), std::string("/tmp/\xC4.dt"));
}

void DialogsTest::wholeSurfaceViewingWithTheRealLibraries() {
#ifndef HAVE_SURFACE_LIBRARIES
    QSKIP("the surface libraries are not built");
#else
    testing_support::RecordingBoxes boxes;
    biblioteki::Biblioteki loader(biblioteki::systemPlatform(), boxes);
    probe::ProbeSelection selection;
    ui::TfrmRedaktor window(loader, selection);
    window.show();
    QVERIFY(selection.current != nullptr);
    auto* pages = window.findChild<ui::ProbePages*>(QStringLiteral("ProbePages"));
    auto* binding = ui::CollectionsBinding::of(&window);
    QVERIFY(pages && binding);
    collections::SurfaceViewing& viewing = binding->surfaces();

    // The file as "Выбрать" would put it into cbIFsP and store it.
    window.pcParametri->setCurrentWidget(window.page("tsObekti"));
    pages->cbIFsP->setEditText(QStringLiteral(EXAMPLES_DIR "/probe_surfaces.pv"));
    pages->modelObjects().tsObektiHide();
    QVERIFY(selection.current->IFsP.text != nullptr);

    for (int round = 0; round < 2; ++round) {
        pages->cbIIP->setEditText(QString::fromUtf8("Индикатриса приёма"));
        pages->bnIIP->click();
        QVERIFY2(boxes.shown.empty(), boxes.shown.empty() ? "" : boxes.shown[0].text.c_str());
        QCOMPARE(viewing.state(), collections::ViewingState::viewing);
        QVERIFY(loader.isLoaded(biblioteki::kSurfView));
        QVERIFY(!window.isVisible());
        ui::TfrmModal* box = binding->waitBox();
        QVERIFY(box && box->isVisible());

        QTest::mouseClick(box->Button1, Qt::LeftButton);
        QCOMPARE(viewing.state(), collections::ViewingState::closing);
        QCOMPARE(binding->waitBox(), box);  // not destroyed inside its own close
        QVERIFY(window.tmZakritModalnuyu->isActive());

        QTRY_COMPARE(viewing.state(), collections::ViewingState::editing);
        QVERIFY(binding->waitBox() == nullptr);
        QVERIFY(window.isVisible());
        QVERIFY(!window.tmZakritModalnuyu->isActive());
        QVERIFY(!loader.isLoaded(biblioteki::kSurfView));
        QVERIFY(loader.isLoaded(biblioteki::kSurfStore | biblioteki::kSurfArch));
    }

    // A name that differs in case finds nothing, starts no viewing, and says so in a box of the
    // editor's own (title, OK, the warning icon).
    pages->cbIIP->setEditText(QString::fromUtf8("индикатриса приёма"));
    QString message;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            message = box->text();
            QCOMPARE(box->windowTitle(), QString::fromUtf8("Редактор ЖУВ"));
            QCOMPARE(box->icon(), QMessageBox::Warning);
            box->accept();
        }
    });
    pages->bnIIP->click();
    QVERIFY2(message.startsWith(QString::fromUtf8("Поверхность «индикатриса приёма» не найдена")),
             qPrintable(message));
    QCOMPARE(viewing.state(), collections::ViewingState::editing);
    QVERIFY(window.isVisible());
#endif
}

void DialogsTest::mainWindowCentresTheAboutLines() {
    testing_support::RecordingBoxes boxes;
    biblioteki::Biblioteki loader(biblioteki::systemPlatform(), boxes);
    probe::ProbeSelection selection;
    ui::TfrmRedaktor window(loader, selection);
    window.show();
    window.N3->trigger();
    auto* binding = ui::CollectionsBinding::of(&window);
    QVERIFY(binding && binding->titleWidgets());
    QVERIFY(window.pnlNazvanie->isVisible());
    QCOMPARE(window.pnlNazvanie->width(), 754);
    for (ui::QtTitleLabel* l : binding->titleWidgets()->labels())
        QCOMPARE(l->x() + l->QLabel::width() / 2, 377);
    QTest::mouseClick(window.pnlNazvanie, Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(window.pnlGlavnaya->isVisible());
}

void DialogsTest::typedTextSurvivesChoosingTheProbe() {
    // A name typed into a field and not yet left, then "Датчик" / "Выбрать" from the menu (which
    // leaves no field): the text stays in the field and reaches the probe record.
    testing_support::RecordingBoxes boxes;
    biblioteki::Biblioteki loader(biblioteki::systemPlatform(), boxes);
    probe::ProbeSelection selection;
    ui::TfrmRedaktor window(loader, selection);
    window.show();
    QVERIFY(selection.current != nullptr);
    auto* pages = window.findChild<ui::ProbePages*>(QStringLiteral("ProbePages"));
    QVERIFY(pages);
    window.pcParametri->setCurrentWidget(window.page("tbIdentifikacionnayaInformaciya"));
    pages->cbModel->setFocus();
    pages->cbModel->setEditText(QString::fromUtf8("П-121"));

    window.miVibratDatchik->trigger();
    QCOMPARE(pages->cbModel->currentText(), QString::fromUtf8("П-121"));
    QVERIFY(selection.current && selection.current->Model.text);
    QCOMPARE(platform::cp1251ToUtf8(selection.current->Model.text), std::string("П-121"));
}

void DialogsTest::fileNameOutsideCp1251IsRefused() {
    // "ü" has no place in code page 1251: the probe must not be written to "probe_?.dt" instead.
    testing_support::RecordingBoxes boxes;
    biblioteki::Biblioteki loader(biblioteki::systemPlatform(), boxes);
    probe::ProbeSelection selection;
    ui::TfrmRedaktor window(loader, selection);
    window.show();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString wanted = dir.path() + QString::fromUtf8("/probe_ü.dt");
    QString message;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->selectFile(wanted);
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                message = box->text();
                box->accept();
            }
        });
        static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
    });
    window.miSohranitOdin->trigger();
    QVERIFY2(message.contains(QStringLiteral("1251")), qPrintable(message));
    QVERIFY2(message.contains(QString::fromUtf8("probe_ü.dt")), qPrintable(message));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

void DialogsTest::probeFileThatCannotBeLoadedIsToldInTheClientsWords() {
    // A file named on the command line, dropped or taken from the recent files that is gone:
    // the box names it in the probe-file client's words; the collection stays.
    testing_support::RecordingBoxes boxes;
    biblioteki::Biblioteki loader(biblioteki::systemPlatform(), boxes);
    probe::ProbeSelection selection;
    ui::TfrmRedaktor window(loader, selection);
    window.show();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("missing.dt"));
    QString message;
    QTimer::singleShot(0, [&message] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            message = box->text();
            box->accept();
        }
    });
    QVERIFY(!window.openProbeFile(missing));
    QVERIFY2(message.contains(QString::fromUtf8("Файл «%1» не найден").arg(missing)),
             qPrintable(message));
    QCOMPARE(selection.probeCount, 1u);
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
