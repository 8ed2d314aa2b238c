#include "editor/ui/tfrm_modal.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace ui {

TfrmModal::TfrmModal()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmModal"));
    setWindowTitle(QString::fromUtf8(kWaitBoxCaption));
    setFixedSize(379, 97);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    setFont(font);
    // While the main form is hidden this box may be the only window; closing it must not end
    // the program.
    setAttribute(Qt::WA_QuitOnClose, false);

    Button1 = new QPushButton(QString::fromUtf8("Завершить"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(137, 56, 105, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    Label1 = new QLabel(QString::fromUtf8(kWaitBoxText), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(1, 16, 377, 25);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    FormCreate();
}

void TfrmModal::FormCreate() {
    placeBottomRight();
    closeCallback = nullptr;
}

void TfrmModal::placeBottomRight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    const QRect frame = frameGeometry();
    const int dx = x() - frame.x();  // the frame's left and top edges
    const int dy = y() - frame.y();
    move(area.width() - frame.width() - 20 + dx, area.height() - frame.height() - 60 + dy);
}

void TfrmModal::Button1Click() {
    close();
}

void TfrmModal::FormClose() {
    if (closeCallback) closeCallback(*this);
}

void TfrmModal::closeEvent(QCloseEvent* event) {
    event->accept();  // closing hides the box
    FormClose();
}

void TfrmModal::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The frame is known only once the window system shows the box.
    placeBottomRight();
}

// A window manager may add its frame only after the box is on screen, so the placement made
// when it was shown used the inner size. As soon as the frame is known the box is placed once
// more, so that its outer edges keep their distances from the screen's edges.
void TfrmModal::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (placedWithFrame_ || !isVisible() || frameGeometry().size() == size()) return;
    placedWithFrame_ = true;
    placeBottomRight();
}

}  // namespace ui
