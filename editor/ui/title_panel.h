// The title panel's widgets: pnlNazvanie with its labels over the title panel logic
// (title::TitlePanel), and the switch between it and the editor panel pnlGlavnaya.
#pragma once

#include <QLabel>
#include <QPointer>
#include <functional>
#include <vector>

#include "editor/title/title_panel.h"

class QFrame;

namespace ui {

// One line of the title panel: a label that reports clicks.
class QtTitleLabel : public QLabel, public title::TitleLabel {
  public:
    explicit QtTitleLabel(QWidget* panel);

    void setCaption(const std::string& utf8) override;
    void setBold() override;
    void setFontName(const std::string& name) override;
    void setCentred() override;
    void setFontSize(int points) override;
    void setAutoSize(bool on) override;
    void setWordWrap(bool on) override;
    int width() const override { return QLabel::width(); }
    int height() const override { return QLabel::height(); }
    void setLeft(int x) override { move(x, y()); }
    void setTop(int y) override { move(x(), y); }
    void setClickHandler(std::function<void()> handler) override { click_ = std::move(handler); }
    void insertIntoPanel() override { show(); }
    void setShown(bool shown) override { QLabel::setVisible(shown); }

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool autoSize_ = false;
    std::function<void()> click_;
};

class QtTitlePanel : public QObject, public title::TitlePanelUi {
  public:
    // Sets up pnlNazvanie (hand-point cursor, lowered inner bevel, border width 4) and sends its
    // clicks to `onClick`.
    QtTitlePanel(QWidget* pnlGlavnaya, QFrame* pnlNazvanie, std::function<void()> onClick);

    void setMainPanelVisible(bool visible) override;
    void setTitlePanelVisible(bool visible) override;
    int titlePanelWidth() const override;
    title::TitleLabel& createLabel() override;

    const std::vector<QtTitleLabel*>& labels() const { return labels_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* mainPanel_;
    QFrame* titlePanel_;
    // The editor's field that had the keyboard when the title panel replaced the editor; it
    // gets the keyboard back when the editor returns.
    QPointer<QWidget> focusBefore_;
    std::function<void()> onClick_;
    std::vector<QtTitleLabel*> labels_;  // owned by the panel
};

}  // namespace ui
