#include "editor/ui/tab_rows.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFont>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "editor/lifecycle/lifecycle.h"

namespace ui {

TabRows::TabRows(QTabWidget* pages, QWidget* parent)
    : QWidget(parent), pages_(pages), group_(new QButtonGroup(this)) {
    setObjectName(QStringLiteral("pageCaptionRows"));
    group_->setExclusive(true);
    pages_->tabBar()->hide();
    // The hidden tab bar must not take the keyboard focus either: Tab would stop at a control
    // nobody sees and never reach the page's fields. Ctrl+Tab still turns the pages.
    pages_->tabBar()->setFocusPolicy(Qt::NoFocus);

    // The active page's caption stands out: bold, in the selection colours, framed.
    setStyleSheet(
        QStringLiteral("QToolButton:checked { background-color: palette(highlight); "
                       "color: palette(highlighted-text); "
                       "border: 1px solid palette(shadow); }"));

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(2, 2, 2, 0);
    rows->setSpacing(0);

    // Rows are filled greedily in page order; each row's captions share its whole width.
    const int width = lifecycle::kClientWidth - 4;
    QHBoxLayout* row = nullptr;
    int used = 0;
    for (int i = 0; i < pages_->count(); ++i) {
        auto* caption = new QToolButton(this);
        caption->setText(pages_->tabText(i));
        caption->setCheckable(true);
        // Chosen with the mouse like a tab, and reached with Tab like any button.
        caption->setFocusPolicy(Qt::TabFocus);
        caption->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        // Room for the caption in bold, as it is shown while its page is active.
        QFont bold = caption->font();
        bold.setBold(true);
        const int need = caption->sizeHint().width() -
                         caption->fontMetrics().horizontalAdvance(caption->text()) +
                         QFontMetrics(bold).horizontalAdvance(caption->text());
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

    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages from any control, as a tab bar does; a list
    // that has the focus would otherwise take the key as a letter to search for.
    auto* next = new QShortcut(QKeySequence(QKeySequence::NextChild), this);
    connect(next, &QShortcut::activated, this, [this] { turnPage(1); });
    auto* previous = new QShortcut(QKeySequence(QKeySequence::PreviousChild), this);
    connect(previous, &QShortcut::activated, this, [this] { turnPage(-1); });
    connect(pages_, &QTabWidget::currentChanged, this, &TabRows::pageChanged);
    pageChanged(pages_->currentIndex());
}

void TabRows::turnPage(int step) {
    const int count = pages_->count();
    if (count > 0) pages_->setCurrentIndex((pages_->currentIndex() + step + count) % count);
}

void TabRows::pageChanged(int index) {
    if (QAbstractButton* caption = group_->button(index)) caption->setChecked(true);
    for (QAbstractButton* caption : group_->buttons()) {
        QFont font = caption->font();
        font.setBold(caption->isChecked());
        caption->setFont(font);
    }
}

}  // namespace ui
