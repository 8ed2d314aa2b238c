#include "editor/ui/tfrm_vibor.h"

#include <QEvent>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

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

TfrmVibor::TfrmVibor(collections::ViborModel& model, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      model_(model) {
    setObjectName(QStringLiteral("frmVibor"));
    setWindowTitle(QString::fromUtf8(model_.caption()));
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
        auto* item = new QListWidgetItem(QString::fromStdString(model_.line(p)), ListBox1);
        item->setSizeHint(QSize(0, 16));
        // A line longer than the list is shortened on screen; its tool tip shows it in full.
        item->setToolTip(item->text());
    }

    bnVibrat = button(this, "bnVibrat", "Выбрать", 24);
    bnVidelitVse = button(this, "bnVidelitVse", "Выделить все", 160);
    bnOtmenit = button(this, "bnOtmenit", "Отменить", 296);
    connect(bnVibrat, &QPushButton::clicked, this, [this] { done(collections::kMrVibrat); });
    connect(bnVidelitVse, &QPushButton::clicked, this, [this] { bnVidelitVseClick(); });
    connect(bnOtmenit, &QPushButton::clicked, this, [this] { done(collections::kMrOtmenit); });

    showMarks();
}

void TfrmVibor::showMarks() {
    const QSignalBlocker block(ListBox1);
    const int focused = model_.focusedPosition();
    if (focused >= 0)
        ListBox1->setCurrentRow(focused, QItemSelectionModel::NoUpdate);
    else
        ListBox1->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
    for (int p = 0; p < ListBox1->count(); ++p)
        ListBox1->item(p)->setSelected(model_.isSelected(static_cast<std::size_t>(p)));
}

void TfrmVibor::keepMarks() {
    for (int p = 0; p < ListBox1->count(); ++p)
        model_.setSelected(static_cast<std::size_t>(p), false);
    for (int p = 0; p < ListBox1->count(); ++p)
        if (ListBox1->item(p)->isSelected()) model_.setSelected(static_cast<std::size_t>(p), true);
    model_.setFocusedPosition(ListBox1->currentRow());
}

void TfrmVibor::FormActivate() {
    keepMarks();
    model_.FormActivate();
    ListBox1->setSelectionMode(model_.multiSelect() ? QAbstractItemView::ExtendedSelection
                                                    : QAbstractItemView::SingleSelection);
    bnVidelitVse->setVisible(model_.videlitVseVisible());
    setWindowTitle(QString::fromUtf8(model_.caption()));
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
    done(collections::kMrOtmenit);
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

int runTfrmVibor(QWidget* owner, collections::ViborModel& model) {
    TfrmVibor frmVibor(model, owner);
    return frmVibor.exec();
}

}  // namespace ui
