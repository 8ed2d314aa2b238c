#include "editor/ui/title_panel.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLayout>
#include <QMouseEvent>
#include <algorithm>

namespace ui {

QtTitleLabel::QtTitleLabel(QWidget* panel) : QLabel(panel) {
    setObjectName(QStringLiteral("titleLine"));
}

void QtTitleLabel::setCaption(const std::string& utf8) {
    setText(QString::fromStdString(utf8));
    if (autoSize_) adjustSize();
}

void QtTitleLabel::setBold() {
    QFont f = font();
    f.setBold(true);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    setFont(f);
    if (autoSize_) adjustSize();
}

void QtTitleLabel::setFontName(const std::string& name) {
    QFont f = font();
    f.setFamily(QString::fromStdString(name));
    setFont(f);
    if (autoSize_) adjustSize();
}

void QtTitleLabel::setCentred() {
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

void QtTitleLabel::setFontSize(int points) {
    // The smallest lines were drawn in a bitmap font of that size, which has no counterpart
    // here: a scalable font below 8 points (the licence lines at 6) cannot be read.
    constexpr int kLeastReadable = 8;
    QFont f = font();
    f.setPointSize(std::max(points, kLeastReadable));
    setFont(f);
    if (autoSize_) adjustSize();
}

void QtTitleLabel::setAutoSize(bool on) {
    autoSize_ = on;
    if (autoSize_) adjustSize();
}

void QtTitleLabel::setWordWrap(bool on) {
    // The width stays what auto-sizing gave; the text wraps inside it.
    const QSize size = QLabel::size();
    QLabel::setWordWrap(on);
    resize(size);
}

void QtTitleLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QPoint at = event->position().toPoint();
#else
    const QPoint at = event->pos();  // Qt 5 builds
#endif
    if (event->button() == Qt::LeftButton && rect().contains(at) && click_) click_();
}

QtTitlePanel::QtTitlePanel(QWidget* pnlGlavnaya, QFrame* pnlNazvanie, std::function<void()> onClick)
    : QObject(pnlNazvanie),
      mainPanel_(pnlGlavnaya),
      titlePanel_(pnlNazvanie),
      onClick_(std::move(onClick)) {
    titlePanel_->setCursor(Qt::PointingHandCursor);
    titlePanel_->setFrameShape(QFrame::Panel);
    titlePanel_->setFrameShadow(QFrame::Sunken);
    titlePanel_->setLineWidth(1);
    titlePanel_->setContentsMargins(4, 4, 4, 4);
    titlePanel_->installEventFilter(this);
}

void QtTitlePanel::setMainPanelVisible(bool visible) {
    if (!visible) {
        QWidget* focused = QApplication::focusWidget();
        focusBefore_ = focused != nullptr && mainPanel_->isAncestorOf(focused) ? focused : nullptr;
    }
    mainPanel_->setVisible(visible);
    // A hidden field keeps the keyboard unless it is taken away: what the user types over the
    // title panel would change fields nobody sees. The panel takes the keys and ignores them.
    if (!visible && focusBefore_ != nullptr && focusBefore_->hasFocus())
        titlePanel_->setFocus(Qt::OtherFocusReason);
    if (visible && focusBefore_ != nullptr && focusBefore_->isVisible())
        focusBefore_->setFocus(Qt::OtherFocusReason);
}

void QtTitlePanel::setTitlePanelVisible(bool visible) {
    titlePanel_->setVisible(visible);
    if (!visible) return;
    titlePanel_->raise();
    // A panel shown for the first time gets its size from the layout only when the event loop
    // runs; the lines are placed by that size right away.
    if (QWidget* parent = titlePanel_->parentWidget())
        if (QLayout* layout = parent->layout()) layout->activate();
}

int QtTitlePanel::titlePanelWidth() const {
    return titlePanel_->width();
}

title::TitleLabel& QtTitlePanel::createLabel() {
    auto* label = new QtTitleLabel(titlePanel_);
    labels_.push_back(label);
    return *label;
}

bool QtTitlePanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == titlePanel_ && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && onClick_) onClick_();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace ui
