// Page 1, "Пьезоэлектрические преобразователи": probe class, coordinate system, access methods
// and interface types, ten fixed lists.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "editor/probe/captions.h"
#include "editor/probe/page_items.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"

namespace ui {

namespace captions = probe::captions;

void ProbePages::buildTransducersPage(QWidget* page) {
    namespace it = probe::items;
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(fromUtf8(captions::kKlassDatchika), page);
    group->setObjectName(QStringLiteral("gbKlassDatchika"));
    auto* groupGrid = new QGridLayout(group);
    auto row = [](QGridLayout* grid, QWidget* parent, const char* caption, QComboBox* box) {
        const int r = grid->rowCount();
        grid->addWidget(label(parent, caption), r, 0);
        grid->addWidget(box, r, 1);
    };
    cbKDpC = fixedList(group, "cbKDpC", it::kKDpC);
    cbKDpKP = fixedList(group, "cbKDpKP", it::kKDpKP);
    cbKDpRIP = fixedList(group, "cbKDpRIP", it::kKDpRIP);
    cbKDpFIP1 = fixedList(group, "cbKDpFIP1", it::kKDpFIP);
    cbKDpFIP2 = fixedList(group, "cbKDpFIP2", it::kKDpFIP);
    row(groupGrid, group, captions::kKDpC, cbKDpC);
    row(groupGrid, group, captions::kKDpKP, cbKDpKP);
    row(groupGrid, group, captions::kKDpRIP, cbKDpRIP);
    row(groupGrid, group, captions::kKDpFIP1, cbKDpFIP1);
    row(groupGrid, group, captions::kKDpFIP2, cbKDpFIP2);
    layout->addWidget(group);

    auto* grid = new QGridLayout();
    cbLSK = fixedList(page, "cbLSK", it::kLSK);
    cbSDkPI = fixedList(page, "cbSDkPI", it::kSDkP);
    cbSDkPP = fixedList(page, "cbSDkPP", it::kSDkP);
    cbTIPBI = fixedList(page, "cbTIPBI", it::kTIPB);
    cbTIPBP = fixedList(page, "cbTIPBP", it::kTIPB);
    row(grid, page, captions::kLSK, cbLSK);
    row(grid, page, captions::kSDkPI, cbSDkPI);
    row(grid, page, captions::kSDkPP, cbSDkPP);
    row(grid, page, captions::kTIPBI, cbTIPBI);
    row(grid, page, captions::kTIPBP, cbTIPBP);
    layout->addLayout(grid);
    layout->addStretch(1);
}

}  // namespace ui
