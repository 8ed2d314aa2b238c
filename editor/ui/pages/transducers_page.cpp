// Page 1, "Пьезоэлектрические преобразователи": probe class, coordinate system, access methods
// and interface types, ten fixed lists.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "editor/probe/page_items.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"

namespace ui {

void ProbePages::buildTransducersPage(QWidget* page) {
    namespace it = probe::items;
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(fromUtf8(" [ Класс датчика ] "), page);
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
    row(groupGrid, group, "По частоте излучения:", cbKDpC);
    row(groupGrid, group, "По количеству пьезоэлементов:", cbKDpKP);
    row(groupGrid, group, "По размерности излучающей поверхности:", cbKDpRIP);
    row(groupGrid, group, "По форме излучающей поверхности (в секущей плоскости 1):", cbKDpFIP1);
    row(groupGrid, group, "По форме излучающей поверхности (в секущей плоскости 2):", cbKDpFIP2);
    layout->addWidget(group);

    auto* grid = new QGridLayout();
    cbLSK = fixedList(page, "cbLSK", it::kLSK);
    cbSDkPI = fixedList(page, "cbSDkPI", it::kSDkP);
    cbSDkPP = fixedList(page, "cbSDkPP", it::kSDkP);
    cbTIPBI = fixedList(page, "cbTIPBI", it::kTIPB);
    cbTIPBP = fixedList(page, "cbTIPBP", it::kTIPB);
    row(grid, page, "Локальная система координат:", cbLSK);
    row(grid, page, "Способ доступа к пьезоэлементам - излучателям:", cbSDkPI);
    row(grid, page, "Способ доступа к пьезоэлементам - приёмникам:", cbSDkPP);
    row(grid, page, "Тип интерфейса \"пьезоэлемент - блок излучения\":", cbTIPBI);
    row(grid, page, "Тип интерфейса \"пьезоэлемент - блок приёма\":", cbTIPBP);
    layout->addLayout(grid);
    layout->addStretch(1);
}

}  // namespace ui
