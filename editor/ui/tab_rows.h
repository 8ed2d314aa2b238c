// Page captions of a page control shown in as many rows as they need, in page order, in place
// of the control's single-row tab bar. Clicking a caption makes its page the current one.
#pragma once

#include <QWidget>

class QButtonGroup;
class QTabWidget;

namespace ui {

class TabRows : public QWidget {
    Q_OBJECT

  public:
    TabRows(QTabWidget* pages, QWidget* parent);

  private:
    void pageChanged(int index);
    void turnPage(int step);

    QTabWidget* pages_;
    QButtonGroup* group_;
};

}  // namespace ui
