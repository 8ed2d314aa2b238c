// TfrmModal, the wait box of surface viewing: "Просмотр поверхности" with one line of text and
// the button "Завершить", at the bottom right of the screen, without border icons. Closing it
// hides it and calls its close callback; the box is destroyed later by its creator, never from
// inside its own close.
#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace ui {

// The label's text: the fourth letter of "проcмотра" is the Latin c (0x63).
inline constexpr const char* kWaitBoxText = "После про\x63мотра нажмите \"Завершить\"";
inline constexpr const char* kWaitBoxCaption = "Просмотр поверхности";

class TfrmModal : public QWidget {
  public:
    using CloseCallback = std::function<void(TfrmModal&)>;

    // Created with no owner: a window of its own.
    TfrmModal();

    QPushButton* Button1 = nullptr;
    QLabel* Label1 = nullptr;
    CloseCallback closeCallback;  // none after creation

    void FormCreate();
    void Button1Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    // FormClose: calls the close callback, when one is set.
    void FormClose();
    // Bottom right of the primary screen: 20 pixels from its right and 60 from its bottom edge.
    void placeBottomRight();

    bool placedWithFrame_ = false;
};

}  // namespace ui
