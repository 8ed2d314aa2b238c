// Page 7, "Количественные параметры": radii, frequency, thickness, angular width and other
// parameters.
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>

#include "editor/ui/pages/control_adapters.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"
#include "probe_core/record/captions.h"

namespace ui {

namespace captions = probe::captions;

probe::Page& ProbePages::buildParametersPage(QWidget* page) {
    auto* grid = new QGridLayout(page);
    cbRKIP1 = editField(page, "cbRKIP1");
    cbRKIP2 = editField(page, "cbRKIP2");
    cbOCHIP = editField(page, "cbOCHIP");
    cbTP = editField(page, "cbTP");
    cbMU = editField(page, "cbMU");
    struct Row {
        const char* caption;
        QComboBox* field;
        const char* unit;
    };
    const Row rows[] = {
        {captions::kRKIP1, cbRKIP1, captions::kUnitMetre},
        {captions::kRKIP2, cbRKIP2, captions::kUnitMetre},
        {captions::kOCHIP, cbOCHIP, captions::kUnitHertz},
        {captions::kTP, cbTP, captions::kUnitMetre},
        {captions::kMU, cbMU, captions::kUnitDegree},
    };
    int r = 0;
    for (const Row& row : rows) {
        grid->addWidget(label(page, row.caption), r, 0);
        grid->addWidget(row.field, r, 1);
        grid->addWidget(label(page, row.unit), r, 2);
        ++r;
    }
    grid->addWidget(label(page, captions::kParametri), r++, 0, 1, 3);
    mParametri = memo(page, "mParametri");
    grid->addWidget(mParametri, r, 0, 1, 3);
    grid->setRowStretch(r, 1);
    grid->setColumnStretch(1, 1);

    ControlAdapters& a = *adapters_;
    parameters_ = std::make_unique<probe::ParametersPage>(
        *services_.selection, *services_.store,
        probe::ParametersControls{a.text(cbRKIP1), a.text(cbRKIP2), a.text(cbOCHIP), a.text(cbTP),
                                  a.text(cbMU), a.memo(mParametri)},
        services_.locale);
    for (QWidget* w :
         std::initializer_list<QWidget*>{cbRKIP1, cbRKIP2, mParametri, cbOCHIP, cbTP, cbMU})
        storeOnExit(w, [this] { parameters_->tsParametriHide(); });
    return *parameters_;
}

}  // namespace ui
