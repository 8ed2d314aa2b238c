#include "editor/ui/tfrm_vibor.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QItemSelection>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <vector>

#include "editor/ui/editor_settings.h"
#include "editor/ui/main_window.h"

namespace ui {

namespace {

constexpr int kClientWidth = 441;
constexpr int kClientHeight = 303;
constexpr int kMargin = 16;
constexpr int kButtonWidth = 121;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 15;

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->resize(kButtonWidth, kButtonHeight);
    b->setAutoDefault(false);
    return b;
}

// The size the user last left the dialog at, in this run and, where the editor keeps its
// settings, the next.
QSize& keptSize() {
    static QSize size;
    static bool read = false;
    if (!read) {
        read = true;
        if (TfrmRedaktor::rememberState)
            size = editorSettings().value(QStringLiteral("selectionDialog/size")).toSize();
    }
    return size;
}

}  // namespace

TfrmVibor::TfrmVibor(collections::RecordSelectionModel& model, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::WindowMaximizeButtonHint),
      model_(model) {
    setObjectName(QStringLiteral("frmVibor"));
    setWindowTitle(QString::fromStdString(model_.caption()));
    setSizeGripEnabled(true);
    setMinimumSize(kClientWidth, kClientHeight);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    setFont(font);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (std::size_t p = 0; p < model_.lineCount(); ++p) {
        // Each line is complete before it joins the list, so that the list hears of it once.
        auto* item = new QListWidgetItem(QString::fromStdString(model_.line(p)));
        item->setSizeHint(QSize(0, 16));
        // A line longer than the list even at the screen's width is shortened on screen; its
        // tool tip shows it in full.
        item->setToolTip(item->text());
        ListBox1->addItem(item);
    }

    bnVibrat = button(this, "bnVibrat", "Выбрать");
    bnVidelitVse = button(this, "bnVidelitVse", "Выделить все");
    bnOtmenit = button(this, "bnOtmenit", "Отменить");
    // Enter in the list reaches the dialog, which presses "Выбрать".
    bnVibrat->setDefault(true);
    connect(bnVibrat, &QPushButton::clicked, this, [this] { choose(); });
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { choose(); });
    connect(bnVidelitVse, &QPushButton::clicked, this, [this] { bnVidelitVseClick(); });
    connect(bnOtmenit, &QPushButton::clicked, this,
            [this] { done(collections::kResultCancelled); });

    showMarks();
    connect(ListBox1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateChoice(); });
    connect(ListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { updateChoice(); });
    openedAt_ = openingSize();
    resize(openedAt_);
}

QSize TfrmVibor::openingSize() const {
    QSize size(kClientWidth, kClientHeight);
    if (keptSize().isValid()) size = size.expandedTo(keptSize());
    int longest = 0;
    const QFontMetrics metrics(ListBox1->font());
    for (int p = 0; p < ListBox1->count(); ++p)
        longest = std::max(longest, metrics.horizontalAdvance(ListBox1->item(p)->text()));
    const int frame =
        2 * ListBox1->frameWidth() + ListBox1->verticalScrollBar()->sizeHint().width() + 8;
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    const int widest = screen ? screen->availableGeometry().width() * 9 / 10 : size.width();
    size.setWidth(std::max(size.width(), std::min(longest + frame + 2 * kMargin, widest)));
    return size;
}

void TfrmVibor::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The design's places at its own size; the list takes what a larger dialog adds.
    const int w = width();
    const int h = height();
    const int buttonsTop = h - kClientHeight + 264;
    ListBox1->setGeometry(kMargin, kMargin, w - 2 * kMargin, buttonsTop - 7 - kMargin);
    const int row = 3 * kButtonWidth + 2 * kButtonGap;
    int x = (w - row) / 2;
    for (QPushButton* b : {bnVibrat, bnVidelitVse, bnOtmenit}) {
        b->move(x, buttonsTop);
        x += kButtonWidth + kButtonGap;
    }
}

void TfrmVibor::updateChoice() {
    const bool chosen = model_.multiSelect() ? ListBox1->selectionModel()->hasSelection()
                                             : ListBox1->currentRow() >= 0;
    bnVibrat->setEnabled(chosen);
}

void TfrmVibor::choose() {
    if (bnVibrat->isEnabled()) done(collections::kResultChosen);
}

void TfrmVibor::placeOverOwner() {
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner ? owner->screen() : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    QRect frame = frameGeometry();
    if (owner != nullptr && owner->isVisible())
        frame.moveCenter(owner->frameGeometry().center());
    else if (screen != nullptr)
        frame.moveCenter(screen->availableGeometry().center());
    if (screen != nullptr) {
        const QRect free = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), free.left(),
                                  std::max(free.left(), free.right() - frame.width() + 1)));
        frame.moveTop(std::clamp(frame.top(), free.top(),
                                 std::max(free.top(), free.bottom() - frame.height() + 1)));
    }
    move(frame.topLeft());
}

void TfrmVibor::showMarks() {
    const QSignalBlocker block(ListBox1);
    const int focused = model_.focusedPosition();
    ListBox1->setCurrentRow(focused >= 0 ? focused : -1, QItemSelectionModel::NoUpdate);
    // One selection of the runs of marked lines, set at once: marking lines one by one costs
    // time that grows with the square of the lines, which a file of thousands of probes feels.
    QItemSelection marks;
    const int count = ListBox1->count();
    for (int p = 0; p < count;) {
        if (!model_.isSelected(static_cast<std::size_t>(p))) {
            ++p;
            continue;
        }
        const int first = p;
        while (p < count && model_.isSelected(static_cast<std::size_t>(p))) ++p;
        marks.select(ListBox1->model()->index(first, 0), ListBox1->model()->index(p - 1, 0));
    }
    ListBox1->selectionModel()->select(marks, QItemSelectionModel::ClearAndSelect);
}

void TfrmVibor::keepMarks() {
    const int count = ListBox1->count();
    std::vector<bool> marks(static_cast<std::size_t>(count), false);
    for (const QItemSelectionRange& range : ListBox1->selectionModel()->selection())
        for (int p = std::max(range.top(), 0); p <= range.bottom() && p < count; ++p)
            marks[static_cast<std::size_t>(p)] = true;
    for (int p = 0; p < count; ++p) model_.setSelected(static_cast<std::size_t>(p), false);
    for (int p = 0; p < count; ++p)
        if (marks[static_cast<std::size_t>(p)])
            model_.setSelected(static_cast<std::size_t>(p), true);
    model_.setFocusedPosition(ListBox1->currentRow());
}

void TfrmVibor::FormActivate() {
    keepMarks();
    model_.FormActivate();
    ListBox1->setSelectionMode(model_.multiSelect() ? QAbstractItemView::ExtendedSelection
                                                    : QAbstractItemView::SingleSelection);
    bnVidelitVse->setVisible(model_.selectAllVisible());
    setWindowTitle(QString::fromStdString(model_.caption()));
    showMarks();
    updateChoice();
}

void TfrmVibor::bnVidelitVseClick() {
    keepMarks();
    model_.bnVidelitVseClick();
    showMarks();
}

void TfrmVibor::done(int result) {
    keepMarks();
    model_.setResult(result);
    // Only a size the user gave it is kept: a dialog widened for its lines sets no size for the
    // next one.
    if (isVisible() && size() != openedAt_) {
        keptSize() = size();
        if (TfrmRedaktor::rememberState)
            editorSettings().setValue(QStringLiteral("selectionDialog/size"), size());
    }
    QDialog::done(result);
}

void TfrmVibor::reject() {
    done(collections::kResultCancelled);
}

void TfrmVibor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Over the editor, wholly on its screen.
    placeOverOwner();
    FormActivate();
}

void TfrmVibor::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

int runRecordSelection(QWidget* owner, collections::RecordSelectionModel& model) {
    TfrmVibor frmVibor(model, owner);
    return frmVibor.exec();
}

}  // namespace ui
