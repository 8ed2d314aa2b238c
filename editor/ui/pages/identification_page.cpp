// Page 6, "Идентификационная информация": manufacturer, model, name, price, compatible
// instruments and the date of the last update.
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include "editor/ui/pages/control_adapters.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"
#include "probe_core/record/captions.h"

namespace ui {

namespace captions = probe::captions;

probe::Page& ProbePages::buildIdentificationPage(QWidget* page) {
    auto* grid = new QGridLayout(page);
    cbProizvoditel = editField(page, "cbProizvoditel");
    cbModel = editField(page, "cbModel");
    cbNazvanie = editField(page, "cbNazvanie");
    cbCena = editField(page, "cbCena");
    mPribori = memo(page, "mPribori");
    cbData = editField(page, "cbData");
    bnData = new QPushButton(fromUtf8(captions::kBnData), page);
    bnData->setObjectName(QStringLiteral("bnData"));
    grid->addWidget(label(page, captions::kProizvoditel), 0, 0);
    grid->addWidget(cbProizvoditel, 0, 1, 1, 2);
    grid->addWidget(label(page, captions::kModel), 1, 0);
    grid->addWidget(cbModel, 1, 1, 1, 2);
    grid->addWidget(label(page, captions::kNazvanie), 2, 0);
    grid->addWidget(cbNazvanie, 2, 1, 1, 2);
    grid->addWidget(label(page, captions::kCena), 3, 0);
    grid->addWidget(cbCena, 3, 1, 1, 2);
    grid->addWidget(label(page, captions::kPribori), 4, 0, Qt::AlignTop);
    grid->addWidget(mPribori, 4, 1, 1, 2);
    grid->addWidget(label(page, captions::kData), 5, 0);
    grid->addWidget(cbData, 5, 1);
    grid->addWidget(bnData, 5, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);

    ControlAdapters& a = *adapters_;
    identification_ = std::make_unique<probe::IdentificationPage>(
        *services_.selection, *services_.store,
        probe::IdentificationControls{a.text(cbProizvoditel), a.text(cbModel), a.text(cbNazvanie),
                                      a.text(cbCena), a.memo(mPribori), a.text(cbData)},
        services_.locale, services_.today);
    for (QWidget* w : std::initializer_list<QWidget*>{cbProizvoditel, cbModel, cbNazvanie, cbData,
                                                      cbCena, mPribori})
        storeOnExit(w, [this] { identification_->tbIdentifikacionnayaInformaciyaHide(); });
    connect(bnData, &QPushButton::clicked, this,
            [this] { stored([this] { identification_->bnDataClick(); }); });
    bnData->installEventFilter(this);
    return *identification_;
}

}  // namespace ui
