#include "editor/ui/pages/page_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace ui {

namespace {

// A text field with a drop-down list that is often empty (the identification, date and quantity
// fields never get entries): while the list is empty it shows no arrow and opens nothing.
class EditField final : public QComboBox {
  public:
    using QComboBox::QComboBox;

    void showPopup() override {
        if (count() > 0) QComboBox::showPopup();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        if (count() > 0) return QComboBox::paintEvent(event);
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        option.subControls &= ~QStyle::SC_ComboBoxArrow;
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
    }
};

}  // namespace

QString fromUtf8(const char* utf8) {
    return QString::fromUtf8(utf8);
}
QString fromUtf8(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QComboBox* fixedList(QWidget* parent, const char* name, std::span<const char* const> items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    for (const char* item : items) box->addItem(fromUtf8(item));
    box->setCurrentIndex(-1);
    return box;
}

QComboBox* editField(QWidget* parent, const char* name) {
    auto* box = new EditField(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);  // typed texts never join the drop-down list
    box->setCurrentIndex(-1);
    return box;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QCheckBox(fromUtf8(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QPlainTextEdit* memo(QWidget* parent, const char* name) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves on to the next control as everywhere else in the form, instead of putting a
    // tab character into the lines and keeping the keyboard user inside the field.
    edit->setTabChangesFocus(true);
    return edit;
}

QLabel* label(QWidget* parent, const char* text) {
    return new QLabel(fromUtf8(text), parent);
}

}  // namespace ui
