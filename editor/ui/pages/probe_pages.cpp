#include "editor/ui/pages/probe_pages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>
#include <span>

#include "editor/probe/encodings.h"
#include "editor/probe/page_items.h"

namespace ui {

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}
QString u(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// ---- control values over widgets ----

class ListValue final : public probe::FixedList {
  public:
    explicit ListValue(QComboBox* box) : box_(box) {}
    int position() const override {
        // A list that accepts typing has a chosen entry only while its text is one of them.
        if (box_->isEditable())
            return box_->findText(box_->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        return box_->currentIndex();
    }
    void setPosition(int position) override {
        box_->setCurrentIndex(position >= 0 && position < box_->count() ? position : -1);
        if (box_->isEditable() && box_->currentIndex() < 0) box_->setEditText(QString());
    }

  private:
    QComboBox* box_;
};

class BoxValue final : public probe::CheckBox {
  public:
    explicit BoxValue(QCheckBox* box) : box_(box) {}
    bool checked() const override { return box_->isChecked(); }
    void setChecked(bool checked) override { box_->setChecked(checked); }

  private:
    QCheckBox* box_;
};

// An editable combo box: its text and its drop-down list are independent, so changing the list
// keeps the text that is shown.
class TextValue final : public probe::TextField {
  public:
    explicit TextValue(QComboBox* box) : box_(box) {}
    std::string text() const override { return box_->currentText().toStdString(); }
    void setText(const std::string& text) override { box_->setEditText(u(text)); }
    void clearItems() override {
        const QString text = box_->currentText();
        QSignalBlocker block(box_);
        box_->clear();
        box_->setEditText(text);
    }
    void addItem(const std::string& item) override {
        const QString text = box_->currentText();
        QSignalBlocker block(box_);
        box_->addItem(u(item));
        box_->setCurrentIndex(-1);
        box_->setEditText(text);
    }

  private:
    QComboBox* box_;
};

// A multi-line field. Each line ends with a line break; a last line that is empty is the place
// after the final break and is not a line of its own, so empty lines inside the text and at its
// end survive a load and store.
class LinesValue final : public probe::LinesField {
  public:
    explicit LinesValue(QPlainTextEdit* edit)
        : edit_(edit),
          changed_(
              QObject::connect(edit, &QPlainTextEdit::textChanged, [this] { dirty_ = true; })) {}
    ~LinesValue() override { QObject::disconnect(changed_); }
    void clear() override { edit_->clear(); }
    void append(const std::string& line) override {
        QTextCursor cursor(edit_->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(u(line) + QLatin1Char('\n'));
    }
    int count() const override { return static_cast<int>(lines().size()); }
    std::string line(int index) const override {
        const QStringList& all = lines();
        return index >= 0 && index < all.size() ? all[index].toStdString() : std::string();
    }

  private:
    // The store asks for every line in turn; the split text is kept until the text changes.
    const QStringList& lines() const {
        if (dirty_) {
            lines_ = edit_->toPlainText().split(QLatin1Char('\n'));
            if (!lines_.isEmpty() && lines_.last().isEmpty()) lines_.removeLast();
            dirty_ = false;
        }
        return lines_;
    }
    QPlainTextEdit* edit_;
    QMetaObject::Connection changed_;
    mutable QStringList lines_;
    mutable bool dirty_ = true;
};

QComboBox* fixedList(QWidget* parent, const char* name, std::span<const char* const> items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    for (const char* item : items) box->addItem(u(item));
    box->setCurrentIndex(-1);
    return box;
}

QComboBox* editField(QWidget* parent, const char* name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);  // typed texts never join the drop-down list
    box->setCurrentIndex(-1);
    return box;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QCheckBox(u(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QPlainTextEdit* memo(QWidget* parent, const char* name) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves on to the next control as everywhere else in the form, instead of putting a
    // tab character into the lines and keeping the keyboard user inside the field.
    edit->setTabChangesFocus(true);
    return edit;
}

QLabel* label(QWidget* parent, const char* text) {
    return new QLabel(u(text), parent);
}

bool within(const QWidget* widget, const QWidget* control) {
    // Also across window borders, so that a combo box's own drop-down counts as the box.
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget())
        if (w == control) return true;
    return false;
}

}  // namespace

probe::UserLocale userLocaleOf(const QLocale& locale) {
    probe::UserLocale result;
    result.decimalSeparator = QString(locale.decimalPoint()).toStdString();
    const auto isField = [](QChar c) {
        c = c.toLower();
        return c == QLatin1Char('d') || c == QLatin1Char('m') || c == QLatin1Char('y');
    };
    // Quoted literal text dropped, then everything before the first and after the last field.
    QString format;
    const QString full = locale.dateFormat(QLocale::ShortFormat);
    bool quoted = false;
    for (const QChar c : full) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted) format += c;
    }
    qsizetype first = 0;
    while (first < format.size() && !isField(format[first])) ++first;
    qsizetype end = format.size();
    while (end > first && !isField(format[end - 1])) --end;
    format = format.mid(first, end - first);
    if (format.isEmpty()) return result;  // no date fields at all: keep the defaults
    result.shortDateFormat = format.toStdString();
    // The date separator is the first character that follows the first day, month or year.
    for (qsizetype i = 0; i + 1 < format.size(); ++i) {
        const QChar c = format[i].toLower();
        if (isField(c) && format[i + 1].toLower() != c) {
            result.dateSeparator = QString(format[i + 1]).toStdString();
            break;
        }
    }
    return result;
}

probe::UserLocale systemLocale() {
    return userLocaleOf(QLocale::system());
}

int windowsVirtualKey(int key, bool keypad) {
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) return 0x60 + (key - Qt::Key_0);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0x30 + (key - Qt::Key_0);
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 0x41 + (key - Qt::Key_A);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
            return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Shift:
            return 0x10;
        case Qt::Key_Control:
            return 0x11;
        case Qt::Key_Alt:
            return 0x12;
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_Insert:
            return 0x2D;
        case Qt::Key_Delete:
            return 0x2E;
        case Qt::Key_Clear:
            return keypad ? 0x65 : 0x0C;  // keypad 5 without Num Lock
        default:
            return 0;
    }
}

struct ProbePages::Adapters {
    std::vector<std::unique_ptr<ListValue>> lists;
    std::vector<std::unique_ptr<BoxValue>> boxes;
    std::vector<std::unique_ptr<TextValue>> texts;
    std::vector<std::unique_ptr<LinesValue>> lines;
    ListValue* list(QComboBox* b) {
        return lists.emplace_back(std::make_unique<ListValue>(b)).get();
    }
    BoxValue* box(QCheckBox* b) { return boxes.emplace_back(std::make_unique<BoxValue>(b)).get(); }
    TextValue* text(QComboBox* b) {
        return texts.emplace_back(std::make_unique<TextValue>(b)).get();
    }
    LinesValue* memo(QPlainTextEdit* e) {
        return lines.emplace_back(std::make_unique<LinesValue>(e)).get();
    }
};

namespace {
// Surface access for a page set built without libraries: nothing can be listed.
class NoSurfaces final : public probe::SurfaceTables {
  public:
    bool ZagruzitBiblioteki(std::uint32_t) override { return false; }
    const biblioteki::SlotTable& keeperTable() const override { return empty_; }
    const biblioteki::SlotTable& archiverTable() const override { return empty_; }

  private:
    biblioteki::SlotTable empty_{};
};
}  // namespace

probe::SurfaceTables& ProbePages::noSurfaces() {
    static NoSurfaces none;
    return none;
}

PageServices ProbePages::loaderServices(biblioteki::Biblioteki& loader,
                                        probe::ProbeSelection& selection) {
    PageServices s;
    s.selection = &selection;
    s.store = &loader.probeStore();
    s.locale = systemLocale();
    s.today = probe::systemToday();
    s.storeReady = [&loader] { return loader.isLoaded(biblioteki::kProbeStore); };
    return s;
}

ProbePages::ProbePages(QTabWidget* pcParametri, biblioteki::Biblioteki& loader,
                       probe::ProbeSelection& selection)
    : ProbePages(pcParametri, loaderServices(loader, selection),
                 std::make_unique<probe::LoaderSurfaceTables>(loader)) {}

ProbePages::ProbePages(QTabWidget* pcParametri, PageServices services)
    : ProbePages(pcParametri, std::move(services), nullptr) {}

ProbePages::ProbePages(QTabWidget* pcParametri, PageServices services,
                       std::unique_ptr<probe::LoaderSurfaceTables> loaderSurfaces)
    : QObject(pcParametri),
      pcParametri_(pcParametri),
      services_(std::move(services)),
      loaderSurfaces_(std::move(loaderSurfaces)),
      adapters_(std::make_unique<Adapters>()) {
    if (loaderSurfaces_) services_.surfaces = loaderSurfaces_.get();
    if (!services_.surfaces) services_.surfaces = &noSurfaces();
    if (!services_.today) services_.today = probe::systemToday();
    if (!services_.storeReady) services_.storeReady = [] { return true; };
    setObjectName(QStringLiteral("ProbePages"));
    static const char* const kCaptions[8] = {
        "Пьезоэлектрические преобразователи", "Средства фокусирования излучения",
        "Средства отклонения излучения",      "Средства сканирования",
        "Средства предварительной обработки", "Идентификационная информация",
        "Количественные параметры",           "Объекты функциональной модели"};
    static const char* const kNames[8] = {"tbPiezoelementi", "tbFokusirovka",
                                          "tbOtklonenie",    "tbSkanirovanie",
                                          "tbObrabotka",     "tbIdentifikacionnayaInformaciya",
                                          "tsParametri",     "tsObekti"};
    while (pcParametri_->count() < 8) {
        auto* page = new QWidget(pcParametri_);
        page->setObjectName(QString::fromLatin1(kNames[pcParametri_->count()]));
        pcParametri_->addTab(page, u(kCaptions[pcParametri_->count()]));
    }
    createPage1(pcParametri_->widget(0));
    createPage2(pcParametri_->widget(1));
    createPage3(pcParametri_->widget(2));
    createPage4(pcParametri_->widget(3));
    createPage5(pcParametri_->widget(4));
    createPage6(pcParametri_->widget(5));
    createPage7(pcParametri_->widget(6));
    createPage8(pcParametri_->widget(7));
    createLogic();
    connectEvents();
}

ProbePages::~ProbePages() = default;

void ProbePages::createLogic() {
    Adapters& a = *adapters_;
    probe::ProbeSelection& sel = *services_.selection;
    const contracts::ProbeStoreApi& store = *services_.store;
    piezoelementi_ = std::make_unique<probe::PiezoelementiPage>(
        sel, probe::PiezoelementiControls{a.list(cbKDpC), a.list(cbKDpKP), a.list(cbKDpRIP),
                                          a.list(cbKDpFIP1), a.list(cbKDpFIP2), a.list(cbLSK),
                                          a.list(cbSDkPI), a.list(cbSDkPP), a.list(cbTIPBI),
                                          a.list(cbTIPBP)});
    fokusirovka_ = std::make_unique<probe::FokusirovkaPage>(
        sel, probe::FokusirovkaControls{a.box(ckSAL), a.list(cbKL), a.box(ckMSAL), a.list(cbSSL),
                                        a.box(ckVFIP1), a.box(ckVFIP2), a.box(ckVSDF)});
    otklonenie_ = std::make_unique<probe::OtkloneniePage>(
        sel, probe::OtklonenieControls{a.box(ckEP), a.box(ck2VFIP1), a.box(ck2VFIP2),
                                       a.box(ckVoFIP1), a.box(ckVoFIP2), a.box(ckVSDO)});
    skanirovanie_ = std::make_unique<probe::SkanirovaniePage>(
        sel, probe::SkanirovanieControls{a.box(ckVSUP), a.box(ckVSUPV), a.box(ckVSUDO),
                                         a.box(ckVSUDF), a.box(ckVSUMSAL)});
    obrabotka_ = std::make_unique<probe::ObrabotkaPage>(sel, store, *a.memo(mSPO));
    identifikaciya_ = std::make_unique<probe::IdentifikaciyaPage>(
        sel, store,
        probe::IdentifikaciyaControls{a.text(cbProizvoditel), a.text(cbModel), a.text(cbNazvanie),
                                      a.text(cbCena), a.memo(mPribori), a.text(cbData)},
        services_.locale, services_.today);
    parametri_ = std::make_unique<probe::ParametriPage>(
        sel, store,
        probe::ParametriControls{a.text(cbRKIP1), a.text(cbRKIP2), a.text(cbOCHIP), a.text(cbTP),
                                 a.text(cbMU), a.memo(mParametri)},
        services_.locale);
    obekti_ = std::make_unique<probe::ObektiPage>(
        sel, store, *services_.surfaces,
        probe::ObektiControls{a.text(cbIFsP), a.text(cbIIP), a.text(cbIIIP), a.text(cbIIPP),
                              a.list(cbMasshtabProstranstva)});
    pageControl_ = std::make_unique<probe::PageControl>(std::array<probe::Page*, 8>{
        piezoelementi_.get(), fokusirovka_.get(), otklonenie_.get(), skanirovanie_.get(),
        obrabotka_.get(), identifikaciya_.get(), parametri_.get(), obekti_.get()});
    pageControl_->setActiveIndex(pcParametri_->currentIndex());
}

// ---- page contents ----

void ProbePages::createPage1(QWidget* page) {
    namespace it = probe::items;
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(u(" [ Класс датчика ] "), page);
    group->setObjectName(QStringLiteral("gbKlassDatchika"));
    auto* groupGrid = new QGridLayout(group);
    auto row = [](QGridLayout* grid, QWidget* parent, const char* caption, QComboBox* box) {
        const int r = grid->rowCount();
        grid->addWidget(label(parent, caption), r, 0);
        grid->addWidget(box, r, 1);
    };
    cbKDpC = fixedList(group, "cbKDpC", it::kKDpC);
    cbKDpKP = fixedList(group, "cbKDpKP", it::kKDpKP);
    cbKDpRIP = fixedList(group, "cbKDpRIP", it::kKDpRIP);
    cbKDpFIP1 = fixedList(group, "cbKDpFIP1", it::kKDpFIP);
    cbKDpFIP2 = fixedList(group, "cbKDpFIP2", it::kKDpFIP);
    row(groupGrid, group, "По частоте излучения:", cbKDpC);
    row(groupGrid, group, "По количеству пьезоэлементов:", cbKDpKP);
    row(groupGrid, group, "По размерности излучающей поверхности:", cbKDpRIP);
    row(groupGrid, group, "По форме излучающей поверхности (в секущей плоскости 1):", cbKDpFIP1);
    row(groupGrid, group, "По форме излучающей поверхности (в секущей плоскости 2):", cbKDpFIP2);
    layout->addWidget(group);

    auto* grid = new QGridLayout();
    cbLSK = fixedList(page, "cbLSK", it::kLSK);
    cbSDkPI = fixedList(page, "cbSDkPI", it::kSDkP);
    cbSDkPP = fixedList(page, "cbSDkPP", it::kSDkP);
    cbTIPBI = fixedList(page, "cbTIPBI", it::kTIPB);
    cbTIPBP = fixedList(page, "cbTIPBP", it::kTIPB);
    row(grid, page, "Локальная система координат:", cbLSK);
    row(grid, page, "Способ доступа к пьезоэлементам - излучателям:", cbSDkPI);
    row(grid, page, "Способ доступа к пьезоэлементам - приёмникам:", cbSDkPP);
    row(grid, page, "Тип интерфейса \"пьезоэлемент - блок излучения\":", cbTIPBI);
    row(grid, page, "Тип интерфейса \"пьезоэлемент - блок приёма\":", cbTIPBP);
    layout->addLayout(grid);
    layout->addStretch(1);
}

void ProbePages::createPage2(QWidget* page) {
    namespace it = probe::items;
    auto* layout = new QVBoxLayout(page);
    ckSAL = checkBox(page, "ckSAL", "Система акустических линз (АЛ)");
    layout->addWidget(ckSAL);

    // The lens controls sit in a frame indented under ckSAL; ckSAL does not enable them.
    auto* lenses = new QFrame(page);
    lenses->setObjectName(QStringLiteral("pnlAL"));
    lenses->setFrameShape(QFrame::StyledPanel);
    auto* indent = new QHBoxLayout();
    indent->addSpacing(24);
    indent->addWidget(lenses, 1);
    auto* grid = new QGridLayout(lenses);
    cbKL = fixedList(lenses, "cbKL", it::kKL);
    ckMSAL = checkBox(lenses, "ckMSAL", "Механизм смены АЛ");
    cbSSL = fixedList(lenses, "cbSSL", it::kSSL);
    grid->addWidget(label(lenses, "Количество АЛ:"), 0, 0);
    grid->addWidget(cbKL, 0, 1);
    grid->addWidget(ckMSAL, 1, 0, 1, 2);
    grid->addWidget(label(lenses, "Cпособ смены АЛ:"), 2,
                    0);  // the caption's first letter is Latin
    grid->addWidget(cbSSL, 2, 1);
    layout->addLayout(indent);

    ckVFIP1 =
        checkBox(page, "ckVFIP1", "Вогнутая форма излучающей поверхности (в секущей плоскости 1)");
    ckVFIP2 =
        checkBox(page, "ckVFIP2", "Вогнутая форма излучающей поверхности (в секущей плоскости 2)");
    ckVSDF = checkBox(page, "ckVSDF", "Встроенная схема динамического фокусирования");
    layout->addWidget(ckVFIP1);
    layout->addWidget(ckVFIP2);
    layout->addWidget(ckVSDF);
    layout->addStretch(1);
}

void ProbePages::createPage3(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    ckEP =
        checkBox(page, "ckEP", "Электрический привод, на роторе которого закреплены пьезоэлементы");
    ck2VFIP1 =
        checkBox(page, "ck2VFIP1", "Выпуклая форма излучающей поверхности (в секущей плоскости 1)");
    ck2VFIP2 =
        checkBox(page, "ck2VFIP2", "Выпуклая форма излучающей поверхности (в секущей плоскости 2)");
    ckVoFIP1 =
        checkBox(page, "ckVoFIP1", "Вогнутая форма излучающей поверхности (в секущей плоскости 1)");
    ckVoFIP2 =
        checkBox(page, "ckVoFIP2", "Вогнутая форма излучающей поверхности (в секущей плоскости 2)");
    ckVSDO = checkBox(page, "ckVSDO", "Встроенная схема динамического отклонения");
    for (QCheckBox* box : {ckEP, ck2VFIP1, ck2VFIP2, ckVoFIP1, ckVoFIP2, ckVSDO})
        layout->addWidget(box);
    layout->addStretch(1);
}

void ProbePages::createPage4(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    ckVSUP = checkBox(page, "ckVSUP", "Встроенная схема управления приводом");
    ckVSUPV = checkBox(page, "ckVSUPV", "Встроенная схема управления выбором пьезоэлементов");
    ckVSUDO = checkBox(page, "ckVSUDO", "Встроенная схема управления динамическим отклонением");
    ckVSUDF = checkBox(page, "ckVSUDF", "Встроенная схема управления динамическим фокусированием");
    ckVSUMSAL = checkBox(page, "ckVSUMSAL",
                         "Встроенная схема управления механизмом смены акустических линз");
    for (QCheckBox* box : {ckVSUP, ckVSUPV, ckVSUDO, ckVSUDF, ckVSUMSAL}) layout->addWidget(box);
    layout->addStretch(1);
}

void ProbePages::createPage5(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    mSPO = memo(page, "mSPO");
    layout->addWidget(mSPO);
}

void ProbePages::createPage6(QWidget* page) {
    auto* grid = new QGridLayout(page);
    cbProizvoditel = editField(page, "cbProizvoditel");
    cbModel = editField(page, "cbModel");
    cbNazvanie = editField(page, "cbNazvanie");
    cbCena = editField(page, "cbCena");
    mPribori = memo(page, "mPribori");
    cbData = editField(page, "cbData");
    bnData = new QPushButton(u("Обновить"), page);
    bnData->setObjectName(QStringLiteral("bnData"));
    grid->addWidget(label(page, "Производитель:"), 0, 0);
    grid->addWidget(cbProizvoditel, 0, 1, 1, 2);
    grid->addWidget(label(page, "Модель:"), 1, 0);
    grid->addWidget(cbModel, 1, 1, 1, 2);
    grid->addWidget(label(page, "Название:"), 2, 0);
    grid->addWidget(cbNazvanie, 2, 1, 1, 2);
    grid->addWidget(label(page, "Ориентировочная цена:"), 3, 0);
    grid->addWidget(cbCena, 3, 1, 1, 2);
    grid->addWidget(label(page, "Совместим с приборами:"), 4, 0, Qt::AlignTop);
    grid->addWidget(mPribori, 4, 1, 1, 2);
    grid->addWidget(label(page, "Дата последнего обновления:"), 5, 0);
    grid->addWidget(cbData, 5, 1);
    grid->addWidget(bnData, 5, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
}

void ProbePages::createPage7(QWidget* page) {
    auto* grid = new QGridLayout(page);
    cbRKIP1 = editField(page, "cbRKIP1");
    cbRKIP2 = editField(page, "cbRKIP2");
    cbOCHIP = editField(page, "cbOCHIP");
    cbTP = editField(page, "cbTP");
    cbMU = editField(page, "cbMU");
    struct Row {
        const char* caption;
        QComboBox* field;
        const char* unit;
    };
    const Row rows[] = {
        {"Радиус кривизны излучающей поверхности (в секущей плоскости 1):", cbRKIP1, "м"},
        {"Радиус кривизны излучающей поверхности (в секущей плоскости 2):", cbRKIP2, "м"},
        {"Основная частота излучения пьезоэлемента:", cbOCHIP, "Гц"},
        {"Толщина пьезоэлемента:", cbTP, "м"},
        {"Угловая ширина диаграммы направленности:", cbMU, "°"},
    };
    int r = 0;
    for (const Row& row : rows) {
        grid->addWidget(label(page, row.caption), r, 0);
        grid->addWidget(row.field, r, 1);
        grid->addWidget(label(page, row.unit), r, 2);
        ++r;
    }
    grid->addWidget(label(page, "Прочие параметры (формат строки: <имя параметра = значение>):"),
                    r++, 0, 1, 3);
    mParametri = memo(page, "mParametri");
    grid->addWidget(mParametri, r, 0, 1, 3);
    grid->setRowStretch(r, 1);
    grid->setColumnStretch(1, 1);
}

void ProbePages::createPage8(QWidget* page) {
    auto* grid = new QGridLayout(page);
    cbIFsP = editField(page, "cbIFsP");
    cbIIP = editField(page, "cbIIP");
    cbIIIP = editField(page, "cbIIIP");
    cbIIPP = editField(page, "cbIIPP");
    auto button = [page](const char* name, const char* caption) {
        auto* b = new QPushButton(u(caption), page);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    bnIFsP = button("bnIFsP", "Выбрать");
    bnIIP = button("bnIIP", "Показать");
    bnIIIP = button("bnIIIP", "Показать");
    bnIIPP = button("bnIIPP", "Показать");
    grid->addWidget(label(page, "Имя файла с поверхностями датчика:"), 0, 0);
    grid->addWidget(cbIFsP, 0, 1);
    grid->addWidget(bnIFsP, 0, 2);
    grid->addWidget(label(page, "Имя излучающей поверхности:"), 1, 0);
    grid->addWidget(cbIIP, 1, 1);
    grid->addWidget(bnIIP, 1, 2);
    grid->addWidget(label(page, "Имя индикатрисы направленности пьезоэлемента:"), 2, 0);
    grid->addWidget(cbIIIP, 2, 1);
    grid->addWidget(bnIIIP, 2, 2);
    lbIIPP = label(page, "Имя индикатрисы приёма пьезоэлемента:");
    lbIIPP->setObjectName(QStringLiteral("lbIIPP"));
    grid->addWidget(lbIIPP, 3, 0);
    grid->addWidget(cbIIPP, 3, 1);
    grid->addWidget(bnIIPP, 3, 2);
    // The reception pattern's row is never shown; its field still loads and stores.
    lbIIPP->hide();
    cbIIPP->hide();
    bnIIPP->hide();

    cbMasshtabProstranstva = new QComboBox(page);
    cbMasshtabProstranstva->setObjectName(QStringLiteral("cbMasshtabProstranstva"));
    cbMasshtabProstranstva->setEditable(true);
    cbMasshtabProstranstva->setInsertPolicy(QComboBox::NoInsert);
    for (const char* entry : probe::kMasshtabProstranstva)
        cbMasshtabProstranstva->addItem(u(entry));
    cbMasshtabProstranstva->setCurrentIndex(-1);
    grid->addWidget(label(page, "Масштаб поверхностей:"), 4, 0);
    grid->addWidget(cbMasshtabProstranstva, 4, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);
}

// ---- events ----

void ProbePages::stored(const std::function<void()>& store) {
    if (services_.selection == nullptr || !services_.storeReady()) return;
    store();
}

void ProbePages::connectEvents() {
    // Pages 1 to 4: every change of a list and every click of a box stores the whole page.
    auto onList = [this](QComboBox* box, std::function<void()> store) {
        connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this,
                [this, store] { stored(store); });
    };
    auto onBox = [this](QCheckBox* box, std::function<void()> store) {
        connect(box, &QCheckBox::toggled, this, [this, store] { stored(store); });
    };
    auto cbKDpCChange = [this] { piezoelementi_->cbKDpCChange(); };
    for (QComboBox* box : {cbKDpC, cbKDpKP, cbKDpRIP, cbKDpFIP1, cbKDpFIP2, cbLSK, cbSDkPI, cbSDkPP,
                           cbTIPBI, cbTIPBP})
        onList(box, cbKDpCChange);
    auto cbKLChange = [this] { fokusirovka_->cbKLChange(); };
    for (QCheckBox* box : {ckSAL, ckMSAL, ckVFIP1, ckVFIP2, ckVSDF}) onBox(box, cbKLChange);
    onList(cbKL, cbKLChange);
    onList(cbSSL, cbKLChange);
    for (QCheckBox* box : {ckEP, ck2VFIP1, ck2VFIP2, ckVoFIP1, ckVoFIP2, ckVSDO})
        onBox(box, [this] { otklonenie_->tbOtklonenieHide(); });
    for (QCheckBox* box : {ckVSUP, ckVSUPV, ckVSUDO, ckVSUDF, ckVSUMSAL})
        onBox(box, [this] { skanirovanie_->tbSkanirovanieHide(); });

    // Pages 5 to 8: leaving a text control stores the whole page.
    exitHandlers_.emplace_back(mSPO, [this] { obrabotka_->tbObrabotkaHide(); });
    for (QWidget* w : std::initializer_list<QWidget*>{cbProizvoditel, cbModel, cbNazvanie, cbData,
                                                      cbCena, mPribori})
        exitHandlers_.emplace_back(
            w, [this] { identifikaciya_->tbIdentifikacionnayaInformaciyaHide(); });
    for (QWidget* w :
         std::initializer_list<QWidget*>{cbRKIP1, cbRKIP2, mParametri, cbOCHIP, cbTP, cbMU})
        exitHandlers_.emplace_back(w, [this] { parametri_->tsParametriHide(); });
    for (QWidget* w :
         std::initializer_list<QWidget*>{cbIFsP, cbIIP, cbIIIP, cbIIPP, cbMasshtabProstranstva})
        exitHandlers_.emplace_back(w, [this] { obekti_->tsObektiHide(); });
    connect(qApp, &QApplication::focusChanged, this, &ProbePages::onFocusChanged);

    connect(bnData, &QPushButton::clicked, this,
            [this] { stored([this] { identifikaciya_->bnDataClick(); }); });
    bnData->installEventFilter(this);

    // Switching pages stores the page left and loads the page entered, while the page control
    // is on screen; otherwise only the active page changes.
    connect(pcParametri_, &QTabWidget::currentChanged, this, [this](int index) {
        if (shown_ && pcParametri_->isVisible() && services_.storeReady())
            pageControl_->switchTo(index);
        else
            pageControl_->setActiveIndex(index);
    });
    pcParametri_->installEventFilter(this);
}

void ProbePages::onFocusChanged(QWidget* old, QWidget* now) {
    // Only a move of the focus inside the same window leaves a field: a message box or another
    // program taking the focus is no exit, so a store that shows a box does not run again.
    // (A combo box's drop-down is a window of its own, so opening it leaves nothing either.)
    if (old == nullptr || now == nullptr || old->window() != now->window()) return;
    for (const auto& [control, store] : exitHandlers_) {
        if (within(old, control) && !within(now, control)) {
            stored(store);
            return;
        }
    }
}

bool ProbePages::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pcParametri_ && event->type() == QEvent::Show && !event->spontaneous() &&
        !shown_) {
        // The active page is loaded when the page control first appears.
        shown_ = true;
        loadActivePage();
    } else if (watched == bnData && event->type() == QEvent::KeyRelease && bnDataKeyUp_) {
        auto* key = static_cast<QKeyEvent*>(event);
        bnDataKeyUp_(windowsVirtualKey(key->key(), key->modifiers().testFlag(Qt::KeypadModifier)));
    }
    return QObject::eventFilter(watched, event);
}

void ProbePages::storeActivePage() {
    if (!services_.storeReady()) return;  // the record's library is gone
    pageControl_->setActiveIndex(pcParametri_->currentIndex());
    pageControl_->storeActivePage();
}

void ProbePages::loadActivePage() {
    if (!services_.storeReady()) return;  // the record went with its library
    pageControl_->setActiveIndex(pcParametri_->currentIndex());
    pageControl_->loadActivePage();
}

}  // namespace ui
