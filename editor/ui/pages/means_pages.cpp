// Pages 2 to 5: the focusing, deflection, scanning and preprocessing means, check boxes and
// fixed lists (page 5 a multi-line field).
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QWidget>

#include "editor/ui/pages/control_adapters.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"
#include "probe_core/record/captions.h"
#include "probe_core/record/page_items.h"

namespace ui {

namespace captions = probe::captions;

probe::Page& ProbePages::buildFocusingPage(QWidget* page) {
    namespace it = probe::items;
    auto* layout = new QVBoxLayout(page);
    ckSAL = checkBox(page, "ckSAL", captions::kSAL);
    layout->addWidget(ckSAL);

    // The lens controls sit in a frame indented under ckSAL; ckSAL does not enable them.
    auto* lenses = new QFrame(page);
    lenses->setObjectName(QStringLiteral("lensFrame"));
    lenses->setFrameShape(QFrame::StyledPanel);
    auto* indent = new QHBoxLayout();
    indent->addSpacing(24);
    indent->addWidget(lenses, 1);
    auto* grid = new QGridLayout(lenses);
    cbKL = fixedList(lenses, "cbKL", it::kKL);
    ckMSAL = checkBox(lenses, "ckMSAL", captions::kMSAL);
    cbSSL = fixedList(lenses, "cbSSL", it::kSSL);
    grid->addWidget(label(lenses, captions::kKL), 0, 0);
    grid->addWidget(cbKL, 0, 1);
    grid->addWidget(ckMSAL, 1, 0, 1, 2);
    grid->addWidget(label(lenses, captions::kSSL), 2,
                    0);  // the caption's first letter is Latin
    grid->addWidget(cbSSL, 2, 1);
    layout->addLayout(indent);

    ckVFIP1 = checkBox(page, "ckVFIP1", captions::kVFIP1);
    ckVFIP2 = checkBox(page, "ckVFIP2", captions::kVFIP2);
    ckVSDF = checkBox(page, "ckVSDF", captions::kVSDF);
    layout->addWidget(ckVFIP1);
    layout->addWidget(ckVFIP2);
    layout->addWidget(ckVSDF);
    layout->addStretch(1);

    ControlAdapters& a = *adapters_;
    focusing_ = std::make_unique<probe::FocusingPage>(
        *services_.selection,
        probe::FocusingControls{a.box(ckSAL), a.list(cbKL), a.box(ckMSAL), a.list(cbSSL),
                                a.box(ckVFIP1), a.box(ckVFIP2), a.box(ckVSDF)});
    // Every click of a box and change of a list stores the whole page.
    auto cbKLChange = [this] { focusing_->cbKLChange(); };
    for (QCheckBox* box : {ckSAL, ckMSAL, ckVFIP1, ckVFIP2, ckVSDF}) storeOnClick(box, cbKLChange);
    storeOnChange(cbKL, cbKLChange);
    storeOnChange(cbSSL, cbKLChange);
    return *focusing_;
}

probe::Page& ProbePages::buildDeflectionPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    ckEP = checkBox(page, "ckEP", captions::kEP);
    ck2VFIP1 = checkBox(page, "ck2VFIP1", captions::k2VFIP1);
    ck2VFIP2 = checkBox(page, "ck2VFIP2", captions::k2VFIP2);
    ckVoFIP1 = checkBox(page, "ckVoFIP1", captions::kVoFIP1);
    ckVoFIP2 = checkBox(page, "ckVoFIP2", captions::kVoFIP2);
    ckVSDO = checkBox(page, "ckVSDO", captions::kVSDO);
    for (QCheckBox* box : {ckEP, ck2VFIP1, ck2VFIP2, ckVoFIP1, ckVoFIP2, ckVSDO})
        layout->addWidget(box);
    layout->addStretch(1);

    ControlAdapters& a = *adapters_;
    deflection_ = std::make_unique<probe::DeflectionPage>(
        *services_.selection,
        probe::DeflectionControls{a.box(ckEP), a.box(ck2VFIP1), a.box(ck2VFIP2), a.box(ckVoFIP1),
                                  a.box(ckVoFIP2), a.box(ckVSDO)});
    for (QCheckBox* box : {ckEP, ck2VFIP1, ck2VFIP2, ckVoFIP1, ckVoFIP2, ckVSDO})
        storeOnClick(box, [this] { deflection_->tbOtklonenieHide(); });
    return *deflection_;
}

probe::Page& ProbePages::buildScanningPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    ckVSUP = checkBox(page, "ckVSUP", captions::kVSUP);
    ckVSUPV = checkBox(page, "ckVSUPV", captions::kVSUPV);
    ckVSUDO = checkBox(page, "ckVSUDO", captions::kVSUDO);
    ckVSUDF = checkBox(page, "ckVSUDF", captions::kVSUDF);
    ckVSUMSAL = checkBox(page, "ckVSUMSAL", captions::kVSUMSAL);
    for (QCheckBox* box : {ckVSUP, ckVSUPV, ckVSUDO, ckVSUDF, ckVSUMSAL}) layout->addWidget(box);
    layout->addStretch(1);

    ControlAdapters& a = *adapters_;
    scanning_ = std::make_unique<probe::ScanningPage>(
        *services_.selection, probe::ScanningControls{a.box(ckVSUP), a.box(ckVSUPV), a.box(ckVSUDO),
                                                      a.box(ckVSUDF), a.box(ckVSUMSAL)});
    for (QCheckBox* box : {ckVSUP, ckVSUPV, ckVSUDO, ckVSUDF, ckVSUMSAL})
        storeOnClick(box, [this] { scanning_->tbSkanirovanieHide(); });
    return *scanning_;
}

probe::Page& ProbePages::buildPreprocessingPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    mSPO = memo(page, "mSPO");
    layout->addWidget(mSPO);

    preprocessing_ = std::make_unique<probe::PreprocessingPage>(
        *services_.selection, *services_.store, *adapters_->memo(mSPO));
    storeOnExit(mSPO, [this] { preprocessing_->tbObrabotkaHide(); });
    return *preprocessing_;
}

}  // namespace ui
