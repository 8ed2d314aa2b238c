// Page 1, "Пьезоэлектрические преобразователи": probe class, coordinate system, access methods
// and interface types, ten fixed lists.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QWidget>

#include "editor/ui/pages/control_adapters.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"
#include "probe_core/record/captions.h"
#include "probe_core/record/page_items.h"

namespace ui {

namespace captions = probe::captions;

probe::Page& ProbePages::buildTransducersPage(QWidget* page) {
    namespace it = probe::items;
    // All ten lists stand in one column, the five of the probe class inside their frame as well
    // as the five below it: the frame is drawn behind the rows of a single grid instead of
    // holding a grid of its own, whose label column would be as wide as its own labels only.
    // Grid columns: frame margin, label, list, frame margin; rows: the frame's caption, the
    // five class rows, the frame's lower margin, the five other rows, the rest of the page.
    auto* grid = new QGridLayout(page);
    auto* group = new QGroupBox(fromUtf8(captions::kProbeClassFrame), page);
    group->setObjectName(QStringLiteral("probeClassFrame"));
    constexpr int kClassRows = 5;
    grid->addWidget(group, 0, 0, kClassRows + 2, 4);
    const int margin = group->style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    grid->setColumnMinimumWidth(0, margin);
    grid->setColumnMinimumWidth(3, margin);
    grid->setRowMinimumHeight(0, group->fontMetrics().height() + margin / 2);
    grid->setRowMinimumHeight(kClassRows + 1, margin);
    grid->setColumnStretch(2, 1);

    auto row = [grid, page](int r, const char* caption, QComboBox* box) {
        grid->addWidget(label(page, caption), r, 1);
        grid->addWidget(box, r, 2);
    };
    cbKDpC = fixedList(page, "cbKDpC", it::kKDpC);
    cbKDpKP = fixedList(page, "cbKDpKP", it::kKDpKP);
    cbKDpRIP = fixedList(page, "cbKDpRIP", it::kKDpRIP);
    cbKDpFIP1 = fixedList(page, "cbKDpFIP1", it::kKDpFIP);
    cbKDpFIP2 = fixedList(page, "cbKDpFIP2", it::kKDpFIP);
    row(1, captions::kKDpC, cbKDpC);
    row(2, captions::kKDpKP, cbKDpKP);
    row(3, captions::kKDpRIP, cbKDpRIP);
    row(4, captions::kKDpFIP1, cbKDpFIP1);
    row(5, captions::kKDpFIP2, cbKDpFIP2);

    cbLSK = fixedList(page, "cbLSK", it::kLSK);
    cbSDkPI = fixedList(page, "cbSDkPI", it::kSDkP);
    cbSDkPP = fixedList(page, "cbSDkPP", it::kSDkP);
    cbTIPBI = fixedList(page, "cbTIPBI", it::kTIPB);
    cbTIPBP = fixedList(page, "cbTIPBP", it::kTIPB);
    const int below = kClassRows + 2;
    row(below, captions::kLSK, cbLSK);
    row(below + 1, captions::kSDkPI, cbSDkPI);
    row(below + 2, captions::kSDkPP, cbSDkPP);
    row(below + 3, captions::kTIPBI, cbTIPBI);
    row(below + 4, captions::kTIPBP, cbTIPBP);
    grid->setRowStretch(below + 5, 1);

    ControlAdapters& a = *adapters_;
    transducers_ = std::make_unique<probe::TransducersPage>(
        *services_.selection,
        probe::TransducersControls{
            a.list(cbKDpC), a.list(cbKDpKP), a.list(cbKDpRIP), a.list(cbKDpFIP1), a.list(cbKDpFIP2),
            a.list(cbLSK), a.list(cbSDkPI), a.list(cbSDkPP), a.list(cbTIPBI), a.list(cbTIPBP)});
    // Every change of a list stores the whole page.
    for (QComboBox* box : {cbKDpC, cbKDpKP, cbKDpRIP, cbKDpFIP1, cbKDpFIP2, cbLSK, cbSDkPI, cbSDkPP,
                           cbTIPBI, cbTIPBP})
        storeOnChange(box, [this] { transducers_->cbKDpCChange(); });
    return *transducers_;
}

}  // namespace ui
