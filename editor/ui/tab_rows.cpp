#include "editor/ui/tab_rows.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "editor/app/lifecycle.h"

namespace ui {

TabRows::TabRows(QTabWidget* pages, QWidget* parent)
    : QWidget(parent), pages_(pages), group_(new QButtonGroup(this)) {
    setObjectName(QStringLiteral("pcParametriRows"));
    group_->setExclusive(true);
    pages_->tabBar()->hide();

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(2, 2, 2, 0);
    rows->setSpacing(0);

    // Rows are filled greedily in page order; each row's captions share its whole width.
    const int width = app::kClientWidth - 4;
    QHBoxLayout* row = nullptr;
    int used = 0;
    for (int i = 0; i < pages_->count(); ++i) {
        auto* caption = new QToolButton(this);
        caption->setText(pages_->tabText(i));
        caption->setCheckable(true);
        caption->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        const int need = caption->sizeHint().width();
        if (row == nullptr || used + need > width) {
            row = new QHBoxLayout();
            row->setSpacing(0);
            rows->addLayout(row);
            used = 0;
        }
        row->addWidget(caption, need);
        used += need;
        group_->addButton(caption, i);
    }

    connect(group_, &QButtonGroup::idClicked, pages_, &QTabWidget::setCurrentIndex);
    connect(pages_, &QTabWidget::currentChanged, this, &TabRows::pageChanged);
    pageChanged(pages_->currentIndex());
}

void TabRows::pageChanged(int index) {
    if (QAbstractButton* caption = group_->button(index)) caption->setChecked(true);
}

}  // namespace ui
