// The pages' event wiring: which control event runs which page's store, the page switch, the
// first showing of the page control, and the key released on bnData.
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

void ProbePages::connectEvents() {
    // Pages 1 to 4: every change of a list and every click of a box stores the whole page.
    auto onList = [this](QComboBox* box, std::function<void()> store) {
        connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this,
                [this, store] { stored(store); });
    };
    auto onBox = [this](QCheckBox* box, std::function<void()> store) {
        connect(box, &QCheckBox::toggled, this, [this, store] { stored(store); });
    };
    auto cbKDpCChange = [this] { transducers_->cbKDpCChange(); };
    for (QComboBox* box : {cbKDpC, cbKDpKP, cbKDpRIP, cbKDpFIP1, cbKDpFIP2, cbLSK, cbSDkPI, cbSDkPP,
                           cbTIPBI, cbTIPBP})
        onList(box, cbKDpCChange);
    auto cbKLChange = [this] { focusing_->cbKLChange(); };
    for (QCheckBox* box : {ckSAL, ckMSAL, ckVFIP1, ckVFIP2, ckVSDF}) onBox(box, cbKLChange);
    onList(cbKL, cbKLChange);
    onList(cbSSL, cbKLChange);
    for (QCheckBox* box : {ckEP, ck2VFIP1, ck2VFIP2, ckVoFIP1, ckVoFIP2, ckVSDO})
        onBox(box, [this] { deflection_->tbOtklonenieHide(); });
    for (QCheckBox* box : {ckVSUP, ckVSUPV, ckVSUDO, ckVSUDF, ckVSUMSAL})
        onBox(box, [this] { scanning_->tbSkanirovanieHide(); });

    // Pages 5 to 8: leaving a text control stores the whole page.
    exitHandlers_.emplace_back(mSPO, [this] { preprocessing_->tbObrabotkaHide(); });
    for (QWidget* w : std::initializer_list<QWidget*>{cbProizvoditel, cbModel, cbNazvanie, cbData,
                                                      cbCena, mPribori})
        exitHandlers_.emplace_back(
            w, [this] { identification_->tbIdentifikacionnayaInformaciyaHide(); });
    for (QWidget* w :
         std::initializer_list<QWidget*>{cbRKIP1, cbRKIP2, mParametri, cbOCHIP, cbTP, cbMU})
        exitHandlers_.emplace_back(w, [this] { parameters_->tsParametriHide(); });
    for (QWidget* w :
         std::initializer_list<QWidget*>{cbIFsP, cbIIP, cbIIIP, cbIIPP, cbMasshtabProstranstva})
        exitHandlers_.emplace_back(w, [this] { modelObjects_->tsObektiHide(); });
    connect(qApp, &QApplication::focusChanged, this, &ProbePages::onFocusChanged);

    connect(bnData, &QPushButton::clicked, this,
            [this] { stored([this] { identification_->bnDataClick(); }); });
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

}  // namespace ui
