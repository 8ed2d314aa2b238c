#include "editor/ui/pages/control_adapters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStringList>
#include <QTextCursor>

#include "editor/ui/pages/page_widgets.h"

namespace ui {
namespace {

class ListValue final : public probe::FixedList {
  public:
    explicit ListValue(QComboBox* box) : box_(box) {}
    int position() const override {
        // A list that accepts typing has a chosen entry only while its text is one of them.
        if (box_->isEditable())
            return box_->findText(box_->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        return box_->currentIndex();
    }
    void setPosition(int position) override {
        box_->setCurrentIndex(position >= 0 && position < box_->count() ? position : -1);
        if (box_->isEditable() && box_->currentIndex() < 0) box_->setEditText(QString());
    }

  private:
    QComboBox* box_;
};

class BoxValue final : public probe::CheckBox {
  public:
    explicit BoxValue(QCheckBox* box) : box_(box) {}
    bool checked() const override { return box_->isChecked(); }
    void setChecked(bool checked) override { box_->setChecked(checked); }

  private:
    QCheckBox* box_;
};

// An editable combo box: its text and its drop-down list are independent, so changing the list
// keeps the text that is shown.
class TextValue final : public probe::TextField {
  public:
    explicit TextValue(QComboBox* box) : box_(box) {}
    std::string text() const override { return box_->currentText().toStdString(); }
    void setText(const std::string& text) override { box_->setEditText(fromUtf8(text)); }
    void clearItems() override {
        const QString text = box_->currentText();
        QSignalBlocker block(box_);
        box_->clear();
        box_->setEditText(text);
    }
    void addItem(const std::string& item) override {
        const QString text = box_->currentText();
        QSignalBlocker block(box_);
        box_->addItem(fromUtf8(item));
        box_->setCurrentIndex(-1);
        box_->setEditText(text);
    }

  private:
    QComboBox* box_;
};

// A multi-line field. Each line ends with a line break; a last line that is empty is the place
// after the final break and is not a line of its own, so empty lines inside the text and at its
// end survive a load and store.
class LinesValue final : public probe::LinesField {
  public:
    explicit LinesValue(QPlainTextEdit* edit)
        : edit_(edit),
          changed_(
              QObject::connect(edit, &QPlainTextEdit::textChanged, [this] { dirty_ = true; })) {}
    ~LinesValue() override { QObject::disconnect(changed_); }
    void clear() override { edit_->clear(); }
    void append(const std::string& line) override {
        QTextCursor cursor(edit_->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(fromUtf8(line) + QLatin1Char('\n'));
    }
    int count() const override { return static_cast<int>(lines().size()); }
    std::string line(int index) const override {
        const QStringList& all = lines();
        return index >= 0 && index < all.size() ? all[index].toStdString() : std::string();
    }

  private:
    // The store asks for every line in turn; the split text is kept until the text changes.
    const QStringList& lines() const {
        if (dirty_) {
            lines_ = edit_->toPlainText().split(QLatin1Char('\n'));
            if (!lines_.isEmpty() && lines_.last().isEmpty()) lines_.removeLast();
            dirty_ = false;
        }
        return lines_;
    }
    QPlainTextEdit* edit_;
    QMetaObject::Connection changed_;
    mutable QStringList lines_;
    mutable bool dirty_ = true;
};

}  // namespace

ControlAdapters::ControlAdapters() = default;
ControlAdapters::~ControlAdapters() = default;

probe::FixedList* ControlAdapters::list(QComboBox* box) {
    return lists_.emplace_back(std::make_unique<ListValue>(box)).get();
}
probe::CheckBox* ControlAdapters::box(QCheckBox* box) {
    return boxes_.emplace_back(std::make_unique<BoxValue>(box)).get();
}
probe::TextField* ControlAdapters::text(QComboBox* box) {
    return texts_.emplace_back(std::make_unique<TextValue>(box)).get();
}
probe::LinesField* ControlAdapters::memo(QPlainTextEdit* edit) {
    return lines_.emplace_back(std::make_unique<LinesValue>(edit)).get();
}

}  // namespace ui
