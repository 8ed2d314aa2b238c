// The pages' event wiring shared by the page builders: a control's change, click or exit running
// its page's store, the page switch, the first showing of the page control, and the key released
// on bnData.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "editor/ui/pages/probe_pages.h"
#include "editor/ui/pages/virtual_keys.h"

namespace ui {
namespace {

bool within(const QWidget* widget, const QWidget* control) {
    // Also across window borders, so that a combo box's own drop-down counts as the box.
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget())
        if (w == control) return true;
    return false;
}

}  // namespace

void ProbePages::stored(const std::function<void()>& store) {
    if (services_.selection == nullptr || !services_.storeReady()) return;
    store();
}

void ProbePages::storeOnChange(QComboBox* list, std::function<void()> store) {
    connect(list, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this, store = std::move(store)] { stored(store); });
}

void ProbePages::storeOnClick(QCheckBox* box, std::function<void()> store) {
    connect(box, &QCheckBox::toggled, this, [this, store = std::move(store)] { stored(store); });
}

void ProbePages::storeOnExit(QWidget* control, std::function<void()> store) {
    if (exitHandlers_.empty())
        connect(qApp, &QApplication::focusChanged, this, &ProbePages::onFocusChanged);
    exitHandlers_.emplace_back(control, std::move(store));
}

void ProbePages::connectPageSwitch() {
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

}  // namespace ui
