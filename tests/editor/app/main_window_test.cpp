// The main window built with the real libraries beside the test program: caption, client
// area, menu, page captions and the hidden title panel.
#include <QAbstractButton>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include "editor/ui/main_window.h"
#include "tests/probe_core/biblioteki/fixture_platform.h"

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void windowHasCaptionMenuAndPages();
    void firstStartSitsAtTheRightEdgeFortyPixelsAboveTheBottom();
};

void MainWindowTest::firstStartSitsAtTheRightEdgeFortyPixelsAboveTheBottom() {
    testing_support::RecordingBoxes boxes;
    biblioteki::Biblioteki loader(biblioteki::systemPlatform(), boxes);
    probe::ProbeSelection selection;
    ui::TfrmRedaktor window(loader, selection);  // no saved place: tests keep no settings
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect screen = window.screen()->geometry();
    const QRect free = window.screen()->availableGeometry();
    const QRect frame = window.frameGeometry();
    qInfo("screen %dx%d, free %d,%d %dx%d, frame %d,%d %dx%d", screen.width(), screen.height(),
          free.x(), free.y(), free.width(), free.height(), frame.x(), frame.y(), frame.width(),
          frame.height());
    // The right edge at the screen's, the bottom 40 above the screen's bottom, unless the free
    // area is smaller: then as far down as it lets.
    QCOMPARE(frame.right(), std::min(screen.right(), free.right()));
    const int bottom = screen.bottom() - 40;
    QCOMPARE(frame.bottom(), std::clamp(bottom, free.top() + frame.height() - 1, free.bottom()));
    QVERIFY(free.contains(frame));
}

void MainWindowTest::windowHasCaptionMenuAndPages() {
    testing_support::RecordingBoxes boxes;
    biblioteki::Biblioteki loader(biblioteki::systemPlatform(), boxes);
    probe::ProbeSelection selection;
    ui::TfrmRedaktor window(loader, selection);

#ifdef HAVE_PROBESTORE
    QVERIFY(boxes.shown.empty());
    QVERIFY(loader.isLoaded(biblioteki::kProbeStore));
    QCOMPARE(selection.probeCount, 1u);
    QVERIFY(selection.current != nullptr);
#endif

    QCOMPARE(window.windowTitle(), QString::fromUtf8("Редактор ЖУВ"));
    // The window opens with the whole client area on the screen and can grow.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.centralWidget()->width() >= 754 && window.centralWidget()->height() >= 531);
    QVERIFY(window.screen()->availableGeometry().contains(window.frameGeometry()));
    QVERIFY(window.minimumSize() != window.maximumSize());

    // Menus in order, with their items and separators.
    QStringList entries;
    // The mnemonic markers add no letter to a caption.
    auto caption = [](const QAction* action) {
        return QString(action->text()).remove(QLatin1Char('&'));
    };
    for (QAction* top : window.menuBar()->actions()) {
        entries << caption(top);
        if (top->menu() == nullptr) continue;
        for (QAction* item : top->menu()->actions()) {
            if (!item->isVisible()) continue;
            entries << (item->isSeparator()
                            ? QStringLiteral("-")
                            : item->objectName() + QLatin1Char(':') + caption(item));
        }
    }
    const QStringList expected = {
        QString::fromUtf8("Датчик"),
        QString::fromUtf8("miInicializirovat:Инициализировать"),
        QString::fromUtf8("undoAction:Отменить"),
        QString::fromUtf8("redoAction:Повторить"),
        QString::fromUtf8("miSohranitOdin:Добавить в файл..."),
        QStringLiteral("-"),
        QString::fromUtf8("miVibratDatchik:Выбрать"),
        QStringLiteral("-"),
        QString::fromUtf8("miVihod:Выход"),
        QString::fromUtf8("Датчики"),
        QString::fromUtf8("miSohranit:Добавить в файл..."),
        QString::fromUtf8("miZagruzit:Загрузить из файла..."),
        QString::fromUtf8("О программе"),
    };
    QCOMPARE(entries, expected);
    QCOMPARE(window.N3->objectName(), QStringLiteral("N3"));
    QVERIFY(window.N3->menu() == nullptr);

    QTabWidget* pages = window.pcParametri;
    QVERIFY(pages != nullptr);
    QStringList captions;
    QStringList names;
    for (int i = 0; i < pages->count(); ++i) {
        captions << pages->tabText(i);
        names << pages->widget(i)->objectName();
    }
    QCOMPARE(captions, (QStringList{QString::fromUtf8("Пьезоэлектрические преобразователи"),
                                    QString::fromUtf8("Средства фокусирования излучения"),
                                    QString::fromUtf8("Средства отклонения излучения"),
                                    QString::fromUtf8("Средства сканирования"),
                                    QString::fromUtf8("Средства предварительной обработки"),
                                    QString::fromUtf8("Идентификационная информация"),
                                    QString::fromUtf8("Количественные параметры"),
                                    QString::fromUtf8("Объекты функциональной модели")}));
    QCOMPARE(names, QString::fromLatin1("tbPiezoelementi tbFokusirovka tbOtklonenie tbSkanirovanie "
                                        "tbObrabotka tbIdentifikacionnayaInformaciya tsParametri "
                                        "tsObekti")
                        .split(QLatin1Char(' ')));
    QCOMPARE(pages->currentIndex(), 0);

    // Every caption can be read in full in its row, and choosing one changes the page.
    auto* rows = window.findChild<QWidget*>(QStringLiteral("pageCaptionRows"));
    QVERIFY(rows != nullptr);
    const auto buttons = rows->findChildren<QAbstractButton*>();
    QCOMPARE(buttons.size(), 8);
    for (QAbstractButton* b : buttons) {
        QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) <= b->sizeHint().width(),
                 qPrintable(b->text()));
    }
    buttons[5]->click();
    QCOMPARE(pages->currentIndex(), 5);
    pages->setCurrentIndex(2);
    QVERIFY(buttons[2]->isChecked());
    // The active page's caption alone is bold (and drawn in the selection colours).
    for (int i = 0; i < buttons.size(); ++i) QCOMPARE(buttons[i]->font().bold(), i == 2);
    QVERIFY(rows->styleSheet().contains(QStringLiteral(":checked")));

    QVERIFY(window.pnlNazvanie->isHidden());
    QVERIFY(!window.pnlGlavnaya->isHidden());
    QCOMPARE(window.tmZakritModalnuyu->interval(), 1);
    QVERIFY(!window.tmZakritModalnuyu->isActive());
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
