#include "tools/probetool/probe_view.h"

#include <span>
#include <string_view>
#include <vector>

#include "probe_core/record/conversions.h"
#include "probe_core/record/field_values.h"

namespace probetool {

namespace {

using namespace probe::fields;

// Numbers and dates as the pages show them in a Russian locale.
const probe::UserLocale kLocale{};

void line(std::string& out, const char* caption, const std::string& value, const char* unit = "") {
    out += "  ";
    out += caption;
    // Lists and fields carry their colon; a box's caption gets one before its state.
    if (!value.empty() && out.back() != ':') out += ':';
    if (!value.empty()) {
        out += ' ';
        out += value;
        if (*unit != '\0') {
            out += ' ';
            out += unit;
        }
    }
    out += '\n';
}

std::string hex32(std::uint32_t value) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out = "0x";
    for (int i = 7; i >= 0; --i) out += kDigits[(value >> (4 * i)) & 0xF];
    return out;
}

// A fixed list shows its entry, nothing when nothing is chosen; a value beyond the list, which
// the page shows as no choice, is named. A box shows "да" or "нет".
std::string choice(std::uint32_t code, const probe::SubField& f) {
    if (f.items.empty()) return kBoxTexts[code != 0 ? 1 : 0];
    if (code == 0) return {};
    if (const char* text = codeText(code, f)) return text;
    return "(код " + std::to_string(code) + " вне списка)";
}

// The record page by page: a heading at each page's first field, each field under its caption.
// Bytes the pages never show are gathered apart and named only when they hold something.
class View : public FieldVisitor {
  public:
    std::string take() {
        if (!extra_.empty()) out_ += '\n' + extra_;
        return std::move(out_);
    }

    void word(const Field& f, const Word& w, std::uint32_t value) override {
        heading(f);
        if (f.caption != nullptr) {
            // A frame around the lists, without the blanks that pad it on the page.
            std::string_view frame = f.caption;
            frame.remove_prefix(frame.find_first_not_of(' '));
            frame.remove_suffix(frame.size() - 1 - frame.find_last_not_of(' '));
            out_ += "  ";
            out_ += frame;
            out_ += '\n';
        }
        for (const probe::SubField& s : w.subFields)
            line(out_, s.caption, choice(probe::extractSubField(value, s), s));
        const std::uint32_t other = value & ~subFieldBits(w.subFields);
        if (other != 0) out_ += "  (прочие биты слова: " + hex32(other) + ")\n";
    }
    void text(const Field& f, std::string_view utf8) override {
        heading(f);
        line(out_, f.caption, std::string(utf8));
    }
    void lines(const Field& f, const std::vector<std::string>& utf8) override {
        heading(f);
        if (f.caption != nullptr) line(out_, f.caption, "");
        for (const std::string& text : utf8) out_ += "    " + text + '\n';
    }
    void quantity(const Field& f, double value) override {
        heading(f);
        line(out_, f.caption, probe::numberToText(value, kLocale),
             std::get<Quantity>(f.place).unit);
    }
    void price(const Field& f, std::int32_t value) override {
        heading(f);
        line(out_, f.caption, probe::priceToText(value));
    }
    void date(const Field& f, double dayNumber) override {
        heading(f);
        line(out_, f.caption, probe::dateToText(dayNumber, kLocale));
    }
    void scale(const Field& f, std::int32_t exponent) override {
        heading(f);
        std::string shown;
        if (const char* text = scaleText(exponent))
            shown = text;
        else if (exponent != probe::kScaleNotChosen)
            shown = "(код " + std::to_string(exponent) + " вне списка)";
        line(out_, f.caption, shown);
    }
    void reserved(const Field& f, std::span<const std::uint8_t> bytes) override {
        bool zero = true;
        for (std::uint8_t b : bytes) zero = zero && b == 0;
        if (zero) return;
        static const char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (std::uint8_t b : bytes) {
            hex += kDigits[b >> 4];
            hex += kDigits[b & 0xF];
        }
        // Named by the byte range its key names: "…_372_455" is "372–455".
        std::string range(f.key);
        range.erase(0, range.find('_') + 1);
        range.replace(range.find('_'), 1, "–");
        extra_ += "  (резервные байты " + range + ": " + hex + ")\n";
    }

  private:
    void heading(const Field& f) {
        if (f.page == page_) return;
        page_ = f.page;
        if (!out_.empty()) out_ += '\n';
        out_ += probe::captions::kPages[static_cast<std::size_t>(f.page)];
        out_ += '\n';
    }

    std::string out_, extra_;
    int page_ = -1;
};

}  // namespace

std::string showRecord(const ProbeRecord& r) {
    View view;
    visitFields(r, view);
    return view.take();
}

}  // namespace probetool
