// The control values a page works on, as the widget layer offers them. Texts are UTF-8. The page
// logic sees only these interfaces, so it runs the same against widgets and against test doubles.
#pragma once

#include <string>

namespace probe {

// A list of fixed entries; the position counts from 0, -1 means nothing chosen. Setting a
// position outside the list leaves nothing chosen. Setting raises the list's change event.
class FixedList {
  public:
    virtual ~FixedList() = default;
    virtual int position() const = 0;
    virtual void setPosition(int position) = 0;
};

// A yes/no box. Setting the state raises the box's click event.
class CheckBox {
  public:
    virtual ~CheckBox() = default;
    virtual bool checked() const = 0;
    virtual void setChecked(bool checked) = 0;
};

// An editable single-line field with a drop-down list of offered texts.
class TextField {
  public:
    virtual ~TextField() = default;
    virtual std::string text() const = 0;
    virtual void setText(const std::string& text) = 0;
    virtual void clearItems() = 0;
    virtual void addItem(const std::string& item) = 0;
};

// A multi-line field, read and written line by line.
class LinesField {
  public:
    virtual ~LinesField() = default;
    virtual void clear() = 0;
    virtual void append(const std::string& line) = 0;
    virtual int count() const = 0;
    virtual std::string line(int index) const = 0;
};

}  // namespace probe
