#include "editor/ui/tfrm_vibor.h"

#include <QEvent>
#include <QGuiApplication>
#include <QItemSelection>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <vector>

namespace ui {

namespace {

constexpr int kClientWidth = 441;
constexpr int kClientHeight = 303;

QPushButton* button(QWidget* parent, const char* name, const char* caption, int x) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, 264, 121, 25);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TfrmVibor::TfrmVibor(collections::RecordSelectionModel& model, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      model_(model) {
    setObjectName(QStringLiteral("frmVibor"));
    setWindowTitle(QString::fromStdString(model_.caption()));
    setFixedSize(kClientWidth, kClientHeight);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    setFont(font);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(16, 16, 409, 241);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (std::size_t p = 0; p < model_.lineCount(); ++p) {
        // Each line is complete before it joins the list, so that the list hears of it once.
        auto* item = new QListWidgetItem(QString::fromStdString(model_.line(p)));
        item->setSizeHint(QSize(0, 16));
        // A line longer than the list is shortened on screen; its tool tip shows it in full.
        item->setToolTip(item->text());
        ListBox1->addItem(item);
    }

    bnVibrat = button(this, "bnVibrat", "Выбрать", 24);
    bnVidelitVse = button(this, "bnVidelitVse", "Выделить все", 160);
    bnOtmenit = button(this, "bnOtmenit", "Отменить", 296);
    connect(bnVibrat, &QPushButton::clicked, this, [this] { done(collections::kResultChosen); });
    connect(bnVidelitVse, &QPushButton::clicked, this, [this] { bnVidelitVseClick(); });
    connect(bnOtmenit, &QPushButton::clicked, this,
            [this] { done(collections::kResultCancelled); });

    showMarks();
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
}

void TfrmVibor::bnVidelitVseClick() {
    keepMarks();
    model_.bnVidelitVseClick();
    showMarks();
}

void TfrmVibor::done(int result) {
    keepMarks();
    model_.setResult(result);
    QDialog::done(result);
}

void TfrmVibor::reject() {
    done(collections::kResultCancelled);
}

void TfrmVibor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Placed at the centre of the desktop, whatever its owner.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
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
