// The eight pages in real widgets on the offscreen platform: switching pages and control events
// carry the controls into the record and back.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "abi/surfarch.h"
#include "abi/surfstore.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"
#include "editor/ui/pages/user_locale.h"
#include "platform/cp1251.h"
#include "tests/editor/probe/fakes.h"

using probe::testing::FakeStore;
using probe::testing::OwnedRecord;
using namespace std::chrono;

// Two surfaces, "Излучатель" and "Приём", in any file.
struct TwoSurfaces : probe::TableSurfaceLibraries {
    struct Record {
        const char* name;
    };
    static inline Record records[2];
    static inline contracts::SurfaceSetDescriptor set{records, 2, sizeof(Record)};
    TwoSurfaces() {
        namespace k = contracts::keeper;
        namespace a = contracts::archiver;
        archiver[a::kZagruzitKolichestvoPoverhnostey] = asCell(&count);
        archiver[a::kZagruzitParametr1Poverhnosti] = asCell(&parameter1);
        archiver[a::kZagruzitParametr2Poverhnosti] = asCell(&parameter2);
        archiver[a::kZagruzitPoverhnost] = asCell(&read);
        keeper[k::kVidelitPamyatDlyaPoverhnostey] = asCell(&allocate);
        keeper[k::kPodgotovitPoverhnost] = asCell(&prepare);
        keeper[k::kPoluchitSpisokPoverhnostey] = asCell(&list);
        keeper[k::kPoluchitPoverhnostPoIndeksu] = asCell(&byIndex);
        keeper[k::kPoluchitImyaPoverhnosti] = asCell(&name);
    }
    // The table entries, with the libraries' calling convention.
    static std::int32_t PLUGIN_CALL count(const char*) { return 2; }
    static std::int32_t PLUGIN_CALL parameter1(const char*, std::uint32_t) { return 0; }
    static std::uint32_t PLUGIN_CALL parameter2(const char*, std::uint32_t) { return 0; }
    static BoolByte PLUGIN_CALL read(const char*, void* r, std::uint32_t i) {
        static const std::string names[2] = {platform::utf8ToCp1251("Излучатель"),
                                             platform::utf8ToCp1251("Приём")};
        static_cast<Record*>(r)->name = names[i].c_str();
        return kTrue;
    }
    static BoolByte PLUGIN_CALL allocate(std::uint32_t n) { return n <= 2; }
    static BoolByte PLUGIN_CALL prepare(void*, std::int32_t, std::uint32_t) { return kTrue; }
    static contracts::SurfaceSetDescriptor* PLUGIN_CALL list() { return &set; }
    static void* PLUGIN_CALL byIndex(std::uint32_t i) { return &records[i]; }
    static const char* PLUGIN_CALL name(void* r) { return static_cast<Record*>(r)->name; }
    bool ZagruzitBiblioteki(std::uint32_t) override { return true; }
    void VigruzitBiblioteki(std::uint32_t) override {}
    void OpredelitFlagi(std::uint32_t) override {}
    bool OpredelitPoverhnosti(contracts::SurfaceSetDescriptor*) override { return false; }
    const biblioteki::SlotTable* keeperTable() const override { return &keeper; }
    const biblioteki::SlotTable* archiverTable() const override { return &archiver; }
    biblioteki::SlotTable keeper{}, archiver{};
};

class ProbePagesTest : public QObject {
    Q_OBJECT

  private:
    struct Harness {
        OwnedRecord owned;
        probe::ProbeSelection selection;
        contracts::ProbeStoreApi store = FakeStore::api();
        bool storeReady = true;
        QTabWidget tabs;
        TwoSurfaces surfaces;
        std::unique_ptr<ui::ProbePages> pages;
        Harness() {
            selection.current = &owned.record;
            ui::PageServices s;
            s.selection = &selection;
            s.store = &store;
            s.locale = probe::UserLocale{",", "dd.MM.yyyy", "."};
            s.today = [] { return sys_days{2026y / December / 7}; };
            s.storeReady = [this] { return storeReady; };
            s.surfaces = &surfaces;
            pages = std::make_unique<ui::ProbePages>(&tabs, std::move(s));
        }
        ~Harness() { pages.reset(); }
    };

  private slots:
    void switchingPagesCarriesTheRecord() {
        Harness h;
        h.owned.record.Piezoelementi = 0xFF000000u | 0x2u;  // "Многочастотный" and stray bits
        h.owned.record.Cena = 250;
        h.owned.record.MasshtabProstranstva = 0;
        h.tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.tabs));

        // The first page is loaded when the page control appears, without storing.
        QCOMPARE(h.tabs.count(), 8);
        QCOMPARE(h.tabs.tabText(7), QString::fromUtf8("Объекты функциональной модели"));
        QCOMPARE(h.pages->cbKDpC->currentIndex(), 1);
        QCOMPARE(h.owned.record.Piezoelementi, 0xFF000002u);

        // A change of a list stores the whole word at once.
        h.pages->cbKDpRIP->setCurrentIndex(3);
        QCOMPARE(h.owned.record.Piezoelementi, 0x42u);

        // Page 2: a click stores; loading it raised clicks but stored nothing.
        h.owned.record.Fokusirovka = 0xF0000010u;
        h.tabs.setCurrentIndex(1);
        QVERIFY(h.pages->ckSAL->isChecked());
        QCOMPARE(h.owned.record.Fokusirovka, 0xF0000010u);
        h.pages->ckVSDF->setChecked(true);
        QCOMPARE(h.owned.record.Fokusirovka, 0x110u);

        // Page 5: lines with empty ones among them, stored when the page is left.
        h.tabs.setCurrentIndex(4);
        h.pages->mSPO->setPlainText(QString::fromUtf8("Усилитель\n\nАЦП\n\n"));
        h.tabs.setCurrentIndex(5);
        QCOMPARE(h.owned.record.Obrabotka.count, 4u);
        QCOMPARE(h.pages->cbCena->currentText(), QStringLiteral("250"));

        // Page 6: typed texts reach the record when another page is entered.
        h.pages->cbModel->setEditText(QString::fromUtf8("П111"));
        h.pages->cbCena->setEditText(QStringLiteral("12 000"));
        h.tabs.setCurrentIndex(6);
        QVERIFY(h.owned.record.Model.text != nullptr);
        QCOMPARE(QString::fromStdString(platform::cp1251ToUtf8(h.owned.record.Model.text)),
                 QString::fromUtf8("П111"));
        QCOMPARE(h.owned.record.Cena, 0);

        // Page 5 again: the lines come back with their empty entries.
        h.tabs.setCurrentIndex(4);
        QCOMPARE(h.pages->mSPO->toPlainText(), QString::fromUtf8("Усилитель\n\nАЦП\n\n"));

        // Page 8: the scale and the hidden reception-pattern row.
        h.tabs.setCurrentIndex(7);
        QCOMPARE(h.pages->cbMasshtabProstranstva->count(), 16);
        QCOMPARE(h.pages->cbMasshtabProstranstva->currentText(),
                 QString::fromUtf8("1 м' = 1 м   ( x 1 )"));
        QVERIFY(!h.pages->cbIIPP->isVisible());
        QVERIFY(h.pages->cbIIP->isVisible());
        h.pages->cbIIPP->setEditText(QStringLiteral("hidden"));
        h.pages->cbMasshtabProstranstva->setEditText(QStringLiteral("1:1"));
        h.pages->storeActivePage();
        QCOMPARE(h.owned.record.MasshtabProstranstva, 7);
        QCOMPARE(QByteArray(h.owned.record.IIPP.text), QByteArray("hidden"));
        // The surface names fill the three name lists; the texts shown stay as they were.
        QCOMPARE(h.pages->cbIIIP->count(), 2);
        QCOMPARE(h.pages->cbIIP->itemText(1), QString::fromUtf8("Приём"));
        QCOMPARE(h.pages->cbIIP->currentText(), QString());
        QCOMPARE(h.pages->cbIIPP->currentText(), QStringLiteral("hidden"));

        // A whole-record reset followed by a load shows the record on the active page only.
        h.owned.record.MasshtabProstranstva = -9;
        h.pages->loadActivePage();
        QCOMPARE(h.pages->cbMasshtabProstranstva->currentIndex(), 15);

        // Once the probe store is gone, control events store nothing.
        h.storeReady = false;
        h.tabs.setCurrentIndex(0);
        h.pages->cbKDpC->setCurrentIndex(0);
        QCOMPARE(h.owned.record.Piezoelementi, 0x42u);
        // ... and a load reads nothing from the record that went with it.
        h.owned.record.Piezoelementi = 0x2u;
        h.pages->loadActivePage();
        QCOMPARE(h.pages->cbKDpC->currentIndex(), 0);
    }

    void userLocaleFromQtLocales() {
        const sys_days day{2026y / March / 5};
        const probe::UserLocale ru = ui::userLocaleOf(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(QString::fromStdString(ru.decimalSeparator), QStringLiteral(","));
        QCOMPARE(QString::fromStdString(ru.dateSeparator), QStringLiteral("."));
        QCOMPARE(QString::fromStdString(probe::dateToText(probe::dayNumber(day), ru)),
                 QStringLiteral("05.03.2026"));
        QCOMPARE(QString::fromStdString(probe::numberToText(1.25e-7, ru)),
                 QStringLiteral("1,25E-7"));
        QCOMPARE(probe::textToNumber("0,005", ru), 0.005);

        // Every date a page shows must read back as the same date when the page is stored,
        // also where the short format carries literal text after the year.
        for (const QLocale& locale :
             {QLocale(QLocale::Russian, QLocale::Russia), QLocale(QLocale::Bulgarian),
              QLocale(QLocale::Hungarian), QLocale(QLocale::English, QLocale::UnitedStates),
              QLocale(QLocale::Korean), QLocale(QLocale::Swedish), QLocale::c()}) {
            const probe::UserLocale l = ui::userLocaleOf(locale);
            const std::string shown = probe::dateToText(probe::dayNumber(day), l);
            QVERIFY2(
                probe::textToDate(shown, l, sys_days{2026y / December / 7}) == day,
                qPrintable(locale.name() + QStringLiteral(": ") + QString::fromStdString(shown)));
        }
    }

    void bnDataAndItsKeyRelease() {
        Harness h;
        h.tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.tabs));
        h.tabs.setCurrentIndex(5);
        int released = 0;
        h.pages->setBnDataKeyUp([&](int key) { released = key; });
        QTest::keyRelease(h.pages->bnData, Qt::Key_5, Qt::KeypadModifier);
        QCOMPARE(released, 101);
        QTest::keyRelease(h.pages->bnData, Qt::Key_Clear, Qt::KeypadModifier);  // no Num Lock
        QCOMPARE(released, 101);
        QTest::keyRelease(h.pages->bnData, Qt::Key_5);
        QCOMPARE(released, 0);  // the 5 of the main block is not the keypad's

        h.pages->bnData->click();
        QCOMPARE(h.pages->cbData->currentText(), QStringLiteral("07.12.2026"));
        QCOMPARE(h.owned.record.Data, probe::dayNumber(sys_days{2026y / December / 7}));
        QCOMPARE(h.pages->bnData->text(), QString::fromUtf8("Обновить"));
    }

    void leavingATextFieldStoresItsPage() {
        Harness h;
        h.tabs.show();
        QApplication::setActiveWindow(&h.tabs);
        QVERIFY(QTest::qWaitForWindowActive(&h.tabs));
        h.tabs.setCurrentIndex(6);
        h.pages->cbRKIP1->setFocus();
        QTRY_VERIFY(h.pages->cbRKIP1->hasFocus());
        h.pages->cbRKIP1->setEditText(QStringLiteral("0,025"));
        h.pages->cbTP->setFocus();
        QTRY_COMPARE(h.owned.record.RKIP1, 0.025);
    }

    // A field whose text the record will not keep as typed is tinted while the user types, its
    // tool tip says what will be stored, and both go when the text is fixed; what is stored
    // stays what the reading rules make of the text.
    void fieldsMarkTextsThatWillNotBeKept() {
        Harness h;
        h.tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.tabs));
        h.tabs.setCurrentIndex(6);
        const QColor plain = h.pages->cbOCHIP->palette().color(QPalette::Base);
        QVERIFY(plain != ui::notStoredTint());
        const auto tinted = [](QWidget* w) {
            return w->palette().color(QPalette::Base) == ui::notStoredTint();
        };

        QTest::keyClicks(h.pages->cbOCHIP->lineEdit(), QStringLiteral("1.5"));
        QVERIFY(tinted(h.pages->cbOCHIP));
        QVERIFY(tinted(h.pages->cbOCHIP->lineEdit()));  // the text's own background too
        QVERIFY2(h.pages->cbOCHIP->toolTip().startsWith(QString::fromUtf8("будет записано: 0")),
                 qPrintable(h.pages->cbOCHIP->toolTip()));
        h.pages->storeActivePage();
        QCOMPARE(h.owned.record.OCHIP, 0.0);

        h.pages->cbOCHIP->lineEdit()->clear();
        QTest::keyClicks(h.pages->cbOCHIP->lineEdit(), QStringLiteral("1,5"));
        QVERIFY(!tinted(h.pages->cbOCHIP));
        QCOMPARE(h.pages->cbOCHIP->palette().color(QPalette::Base), plain);
        QVERIFY(h.pages->cbOCHIP->toolTip().isEmpty());
        h.pages->storeActivePage();
        QCOMPARE(h.owned.record.OCHIP, 1.5);

        // A character code page 1251 lacks, in a line of a multi-line field.
        h.pages->mParametri->setPlainText(QString::fromUtf8("R = 5 Ω"));
        QVERIFY(tinted(h.pages->mParametri));
        QCOMPARE(h.pages->mParametri->toolTip(),
                 QString::fromUtf8("символ «Ω» не сохраняется (будет записан «?»)"));
        h.pages->mParametri->setPlainText(QString::fromUtf8("R = 5 Ом"));
        QVERIFY(!tinted(h.pages->mParametri));

        // A price and a date on page 6, a loaded record's texts unmarked.
        h.tabs.setCurrentIndex(5);
        h.pages->cbCena->setEditText(QString::fromUtf8("дорого"));
        h.pages->cbData->setEditText(QStringLiteral("31.02.2026"));
        QVERIFY(tinted(h.pages->cbCena) && tinted(h.pages->cbData));
        h.owned.record.Cena = 100;
        h.owned.record.Data = probe::dayNumber(sys_days{2026y / February / 28});
        h.pages->loadActivePage();
        QVERIFY(!tinted(h.pages->cbCena) && !tinted(h.pages->cbData));
    }

    // The ten lists of the first page stand in one column, the five of the probe class inside
    // their frame as well as the five below it.
    void transducerListsShareOneColumn() {
        Harness h;
        h.tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.tabs));
        QWidget* page = h.tabs.widget(0);
        auto* group = page->findChild<QWidget*>(QStringLiteral("probeClassFrame"));
        QVERIFY(group != nullptr);
        const QList<QComboBox*> lists = {h.pages->cbKDpC,    h.pages->cbKDpKP,   h.pages->cbKDpRIP,
                                         h.pages->cbKDpFIP1, h.pages->cbKDpFIP2, h.pages->cbLSK,
                                         h.pages->cbSDkPI,   h.pages->cbSDkPP,   h.pages->cbTIPBI,
                                         h.pages->cbTIPBP};
        int previousBottom = 0;
        for (int i = 0; i < lists.size(); ++i) {
            const QRect r(lists[i]->mapTo(page, QPoint(0, 0)), lists[i]->size());
            QCOMPARE(r.left(), lists[0]->mapTo(page, QPoint(0, 0)).x());
            QCOMPARE(r.width(), lists[0]->width());
            QVERIFY(r.top() >= previousBottom);  // in the table's order, top to bottom
            previousBottom = r.bottom();
            QCOMPARE(group->geometry().contains(r), i < 5);
        }
    }

    // Tab leaves a multi-line field for the next control, so the keyboard user gets out of it,
    // the field's lines keep no tab character, and leaving it stores the page.
    void tabKeyLeavesAMultiLineField() {
        Harness h;
        h.tabs.show();
        QApplication::setActiveWindow(&h.tabs);
        QVERIFY(QTest::qWaitForWindowActive(&h.tabs));
        h.tabs.setCurrentIndex(5);
        h.pages->mPribori->setFocus();
        QTRY_VERIFY(h.pages->mPribori->hasFocus());
        QTest::keyClicks(h.pages->mPribori, QStringLiteral("UD2"));
        QTest::keyClick(h.pages->mPribori, Qt::Key_Tab);
        QCOMPARE(h.pages->mPribori->toPlainText(), QStringLiteral("UD2"));
        QTRY_VERIFY(!h.pages->mPribori->hasFocus());
        QCOMPARE(h.owned.record.Pribori.count, 1u);
        QCOMPARE(QByteArray(h.owned.record.Pribori.lines[0]), QByteArray("UD2"));
    }
};

QTEST_MAIN(ProbePagesTest)
#include "probe_pages_test.moc"
