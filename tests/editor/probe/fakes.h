// Test doubles for the pages: controls that raise their events like widgets do, and a probe
// store whose four text operations keep real copies and log every call.
#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "abi/probestore.h"
#include "editor/probe/controls.h"
#include "probe_core/record/field_table.h"

namespace probe::testing {

// A fixed list of `items` entries; setting a position raises the change event.
class FakeList : public FixedList {
  public:
    explicit FakeList(int items) : items_(items) {}
    int position() const override { return position_; }
    void setPosition(int p) override {
        position_ = (p >= 0 && p < items_) ? p : -1;
        if (onChange) onChange();
    }
    std::function<void()> onChange;

  private:
    int items_;
    int position_ = -1;
};

// Setting the state raises the click event, as the widgets do.
class FakeBox : public CheckBox {
  public:
    bool checked() const override { return checked_; }
    void setChecked(bool c) override {
        checked_ = c;
        if (onClick) onClick();
    }
    std::function<void()> onClick;

  private:
    bool checked_ = false;
};

class FakeText : public TextField {
  public:
    std::string text() const override { return text_; }
    void setText(const std::string& t) override { text_ = t; }
    void clearItems() override { items.clear(); }
    void addItem(const std::string& item) override { items.push_back(item); }
    std::vector<std::string> items;

  private:
    std::string text_;
};

class FakeLines : public LinesField {
  public:
    void clear() override { lines.clear(); }
    void append(const std::string& line) override { lines.push_back(line); }
    int count() const override { return static_cast<int>(lines.size()); }
    std::string line(int i) const override { return lines.at(static_cast<std::size_t>(i)); }
    std::vector<std::string> lines;
};

// The probe store's text and list operations over heap copies; every call is logged.
struct FakeStore {
    static std::vector<std::string>& log() {
        static std::vector<std::string> calls;
        return calls;
    }
    static char* copy(const char* text) {
        char* c = new char[std::strlen(text) + 1];
        std::strcpy(c, text);
        return c;
    }
    static BoolByte PLUGIN_CALL SozdatStroku(Stroka* field, TextCallback text, void* context) {
        log().push_back("SozdatStroku");
        field->text = copy(text(0, context));
        return kTrue;
    }
    static BoolByte PLUGIN_CALL UdalitStroku(Stroka* field) {
        log().push_back("UdalitStroku");
        delete[] field->text;
        field->text = nullptr;
        return kTrue;
    }
    static BoolByte PLUGIN_CALL SozdatSpisok(Spisok* field, TextCallback line, std::uint32_t count,
                                             void* context) {
        log().push_back("SozdatSpisok");
        field->lines = count ? new char*[count] : nullptr;
        for (std::uint32_t i = 0; i < count; ++i)
            field->lines[i] = copy(line(static_cast<std::int32_t>(i), context));
        field->count = count;
        return kTrue;
    }
    static BoolByte PLUGIN_CALL UdalitSpisok(Spisok* field) {
        log().push_back("UdalitSpisok");
        for (std::uint32_t i = 0; i < field->count; ++i) delete[] field->lines[i];
        delete[] field->lines;
        field->lines = nullptr;
        field->count = 0;
        return kTrue;
    }
    static contracts::ProbeStoreApi api() {
        contracts::ProbeStoreApi a;
        a.SozdatStroku = &SozdatStroku;
        a.UdalitStroku = &UdalitStroku;
        a.SozdatSpisok = &SozdatSpisok;
        a.UdalitSpisok = &UdalitSpisok;
        return a;
    }
};

// A zero-filled record whose texts and lists the fake store releases at the end.
struct OwnedRecord {
    ProbeRecord record{};
    ~OwnedRecord() {
        for (const fields::Field& f : fields::kProbeFields) {
            if (const auto* t = std::get_if<fields::Text>(&f.place))
                FakeStore::UdalitStroku(&(record.*t->member));
            if (const auto* l = std::get_if<fields::Lines>(&f.place))
                FakeStore::UdalitSpisok(&(record.*l->member));
        }
    }
};

}  // namespace probe::testing
