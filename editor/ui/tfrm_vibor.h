// TfrmVibor, the record selection dialog: a list of lines from which the user picks several
// (load mode) or one (single-choice mode). The window mirrors a collections::RecordSelectionModel:
// it shows the model's lines, marks and focus when it opens and writes the user's marks and focus
// back when it closes.
#pragma once

#include <QDialog>

#include "editor/collections/record_selection_model.h"

class QListWidget;
class QPushButton;

namespace ui {

class TfrmVibor : public QDialog {
  public:
    TfrmVibor(collections::RecordSelectionModel& model, QWidget* owner);

    QListWidget* ListBox1 = nullptr;
    QPushButton* bnVibrat = nullptr;
    QPushButton* bnVidelitVse = nullptr;
    QPushButton* bnOtmenit = nullptr;

    // Applies the mode (each time the window becomes active).
    void FormActivate();
    void bnVidelitVseClick();

    // Ends the dialog with a modal result, 1 ("Выбрать") or 2 ("Отменить", the close box, Esc).
    void done(int result) override;
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showMarks();
    void keepMarks();
    // "Выбрать" (and with it Enter and a double click) is there only while a line is chosen.
    void updateChoice();
    void choose();
    // The size it opens at: the last one the user left it at, widened for the longest line as
    // far as the screen allows.
    QSize openingSize() const;
    void placeOverOwner();

    collections::RecordSelectionModel& model_;
    QSize openedAt_;
};

// Shows the dialog modally over `model` with `owner` as its owner and returns the modal result.
int runRecordSelection(QWidget* owner, collections::RecordSelectionModel& model);

}  // namespace ui
