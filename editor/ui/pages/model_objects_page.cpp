// Page 8, "Объекты функциональной модели": the surface file, the surfaces and their scale.
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "editor/ui/pages/control_adapters.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"
#include "probe_core/record/captions.h"
#include "probe_core/record/page_items.h"

namespace ui {

namespace captions = probe::captions;

probe::Page& ProbePages::buildModelObjectsPage(QWidget* page) {
    auto* grid = new QGridLayout(page);
    cbIFsP = editField(page, "cbIFsP");
    cbIIP = editField(page, "cbIIP");
    cbIIIP = editField(page, "cbIIIP");
    cbIIPP = editField(page, "cbIIPP");
    auto button = [page](const char* name, const char* caption) {
        auto* b = new QPushButton(fromUtf8(caption), page);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    bnIFsP = button("bnIFsP", "Выбрать");
    bnIIP = button("bnIIP", "Показать");
    bnIIIP = button("bnIIIP", "Показать");
    bnIIPP = button("bnIIPP", "Показать");
    grid->addWidget(label(page, captions::kIFsP), 0, 0);
    grid->addWidget(cbIFsP, 0, 1);
    grid->addWidget(bnIFsP, 0, 2);
    grid->addWidget(label(page, captions::kIIP), 1, 0);
    grid->addWidget(cbIIP, 1, 1);
    grid->addWidget(bnIIP, 1, 2);
    grid->addWidget(label(page, captions::kIIIP), 2, 0);
    grid->addWidget(cbIIIP, 2, 1);
    grid->addWidget(bnIIIP, 2, 2);
    receptionPatternLabel = label(page, captions::kIIPP);
    receptionPatternLabel->setObjectName(QStringLiteral("receptionPatternLabel"));
    grid->addWidget(receptionPatternLabel, 3, 0);
    grid->addWidget(cbIIPP, 3, 1);
    grid->addWidget(bnIIPP, 3, 2);
    // The reception pattern's row is never shown; its field still loads and stores.
    receptionPatternLabel->hide();
    cbIIPP->hide();
    bnIIPP->hide();

    cbMasshtabProstranstva = new QComboBox(page);
    cbMasshtabProstranstva->setObjectName(QStringLiteral("cbMasshtabProstranstva"));
    cbMasshtabProstranstva->setEditable(true);
    cbMasshtabProstranstva->setInsertPolicy(QComboBox::NoInsert);
    for (const char* entry : probe::kScaleTexts) cbMasshtabProstranstva->addItem(fromUtf8(entry));
    cbMasshtabProstranstva->setCurrentIndex(-1);
    grid->addWidget(label(page, captions::kMasshtabProstranstva), 4, 0);
    grid->addWidget(cbMasshtabProstranstva, 4, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);

    ControlAdapters& a = *adapters_;
    modelObjects_ = std::make_unique<probe::ModelObjectsPage>(
        *services_.selection, *services_.store, *services_.surfaces,
        probe::ModelObjectsControls{a.text(cbIFsP), a.text(cbIIP), a.text(cbIIIP), a.text(cbIIPP),
                                    a.list(cbMasshtabProstranstva)});
    for (QWidget* w :
         std::initializer_list<QWidget*>{cbIFsP, cbIIP, cbIIIP, cbIIPP, cbMasshtabProstranstva})
        storeOnExit(w, [this] { modelObjects_->tsObektiHide(); });
    return *modelObjects_;
}

}  // namespace ui
