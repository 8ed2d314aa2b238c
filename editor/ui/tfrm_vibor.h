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

  private:
    void showMarks();
    void keepMarks();

    collections::RecordSelectionModel& model_;
};

// Shows the dialog modally over `model` with `owner` as its owner and returns the modal result.
int runRecordSelection(QWidget* owner, collections::RecordSelectionModel& model);

}  // namespace ui
