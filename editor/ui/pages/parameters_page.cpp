// Page 7, "Количественные параметры": radii, frequency, thickness, angular width and other
// parameters.
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>

#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"

namespace ui {

void ProbePages::buildParametersPage(QWidget* page) {
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
        {"Радиус кривизны излучающей поверхности (в секущей плоскости 1):", cbRKIP1, "м"},
        {"Радиус кривизны излучающей поверхности (в секущей плоскости 2):", cbRKIP2, "м"},
        {"Основная частота излучения пьезоэлемента:", cbOCHIP, "Гц"},
        {"Толщина пьезоэлемента:", cbTP, "м"},
        {"Угловая ширина диаграммы направленности:", cbMU, "°"},
    };
    int r = 0;
    for (const Row& row : rows) {
        grid->addWidget(label(page, row.caption), r, 0);
        grid->addWidget(row.field, r, 1);
        grid->addWidget(label(page, row.unit), r, 2);
        ++r;
    }
    grid->addWidget(label(page, "Прочие параметры (формат строки: <имя параметра = значение>):"),
                    r++, 0, 1, 3);
    mParametri = memo(page, "mParametri");
    grid->addWidget(mParametri, r, 0, 1, 3);
    grid->setRowStretch(r, 1);
    grid->setColumnStretch(1, 1);
}

}  // namespace ui
