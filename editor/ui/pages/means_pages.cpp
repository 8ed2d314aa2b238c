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

#include "editor/probe/captions.h"
#include "editor/probe/page_items.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"

namespace ui {

namespace captions = probe::captions;

void ProbePages::buildFocusingPage(QWidget* page) {
    namespace it = probe::items;
    auto* layout = new QVBoxLayout(page);
    ckSAL = checkBox(page, "ckSAL", captions::kSAL);
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
}

void ProbePages::buildDeflectionPage(QWidget* page) {
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
}

void ProbePages::buildScanningPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    ckVSUP = checkBox(page, "ckVSUP", captions::kVSUP);
    ckVSUPV = checkBox(page, "ckVSUPV", captions::kVSUPV);
    ckVSUDO = checkBox(page, "ckVSUDO", captions::kVSUDO);
    ckVSUDF = checkBox(page, "ckVSUDF", captions::kVSUDF);
    ckVSUMSAL = checkBox(page, "ckVSUMSAL", captions::kVSUMSAL);
    for (QCheckBox* box : {ckVSUP, ckVSUPV, ckVSUDO, ckVSUDF, ckVSUMSAL}) layout->addWidget(box);
    layout->addStretch(1);
}

void ProbePages::buildPreprocessingPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    mSPO = memo(page, "mSPO");
    layout->addWidget(mSPO);
}

}  // namespace ui
