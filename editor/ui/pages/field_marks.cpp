// Fields that hold a text the record will not keep as typed are tinted, and their tool tip says
// what will be stored; the mark follows every change of the text, so it shows while the user
// types and goes as soon as the text is fixed. What is stored, and when, stays as it was.
#include <QComboBox>
#include <QPalette>
#include <QPlainTextEdit>

#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/probe_pages.h"
#include "probe_core/record/typed_text.h"

namespace ui {

QColor notStoredTint() {
    return QColor(255, 214, 170);  // a light orange, readable under black text
}

void markNotStored(QWidget* field, const std::optional<std::string>& note) {
    const bool marked = field->property("notStoredAsTyped").toBool();
    if (note) {
        QPalette tinted = field->palette();
        tinted.setColor(QPalette::Base, notStoredTint());
        field->setPalette(tinted);
        field->setToolTip(fromUtf8(*note));
    } else if (marked) {
        field->setPalette(QPalette());  // back to what the field inherits
        field->setToolTip(QString());
    }
    field->setProperty("notStoredAsTyped", note.has_value());
}

void ProbePages::connectFieldMarks() {
    using probe::FieldKind;
    auto note = [this](FieldKind kind, const QString& text) {
        return probe::notStoredAsTyped(kind, text.toStdString(), services_.locale,
                                       services_.today());
    };
    auto onField = [this, note](QComboBox* box, FieldKind kind) {
        connect(box, &QComboBox::editTextChanged, this,
                [box, kind, note](const QString& text) { markNotStored(box, note(kind, text)); });
    };
    auto onMemo = [this, note](QPlainTextEdit* edit) {
        connect(edit, &QPlainTextEdit::textChanged, this,
                [edit, note] { markNotStored(edit, note(FieldKind::text, edit->toPlainText())); });
    };
    for (QComboBox* box : {cbProizvoditel, cbModel, cbNazvanie, cbIFsP, cbIIP, cbIIIP, cbIIPP})
        onField(box, FieldKind::text);
    for (QComboBox* box : {cbRKIP1, cbRKIP2, cbOCHIP, cbTP, cbMU}) onField(box, FieldKind::number);
    onField(cbCena, FieldKind::price);
    onField(cbData, FieldKind::date);
    onField(cbMasshtabProstranstva, FieldKind::scale);
    for (QPlainTextEdit* edit : {mSPO, mPribori, mParametri}) onMemo(edit);
}

}  // namespace ui
