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

#include "editor/probe/page_items.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"

namespace ui {

void ProbePages::buildFocusingPage(QWidget* page) {
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

void ProbePages::buildDeflectionPage(QWidget* page) {
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

void ProbePages::buildScanningPage(QWidget* page) {
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

void ProbePages::buildPreprocessingPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    mSPO = memo(page, "mSPO");
    layout->addWidget(mSPO);
}

}  // namespace ui
