#include "tools/probetool/probe_view.h"

#include <span>
#include <string_view>
#include <vector>

#include "probe_core/record/captions.h"
#include "probe_core/record/conversions.h"
#include "probe_core/record/encodings.h"

namespace probetool {

namespace {

namespace captions = probe::captions;

// Numbers and dates as the pages show them in a Russian locale.
const probe::UserLocale kLocale{};

void heading(std::string& out, int page) {
    if (!out.empty()) out += '\n';
    out += captions::kPages[static_cast<std::size_t>(page)];
    out += '\n';
}

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

void lines(std::string& out, const Spisok& cell) {
    for (const std::string& text : probe::readListCell(cell)) out += "    " + text + '\n';
}

std::string hex32(std::uint32_t value) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out = "0x";
    for (int i = 7; i >= 0; --i) out += kDigits[(value >> (4 * i)) & 0xF];
    return out;
}

// A fixed list shows its entry, nothing when nothing is chosen; a value beyond the list, which
// the page shows as no choice, is named. A box shows "да" or "нет".
std::string choice(std::uint32_t value, const probe::SubField& f) {
    if (f.items.empty()) return value != 0 ? "да" : "нет";
    if (value == 0) return {};
    if (value <= f.items.size()) return f.items[value - 1];
    return "(код " + std::to_string(value) + " вне списка)";
}

void word(std::string& out, std::uint32_t value, std::span<const probe::SubField> fields) {
    std::uint32_t owned = 0;
    for (const probe::SubField& f : fields) {
        owned |= f.mask;
        if (&f == &probe::kTransducersFields[0]) {
            // The frame of the probe class lists, without the blanks that pad it on the page.
            std::string_view frame = captions::kProbeClassFrame;
            frame.remove_prefix(frame.find_first_not_of(' '));
            frame.remove_suffix(frame.size() - 1 - frame.find_last_not_of(' '));
            out += "  ";
            out += frame;
            out += '\n';
        }
        line(out, f.caption, choice(probe::extractSubField(value, f), f));
    }
    if ((value & ~owned) != 0) out += "  (прочие биты слова: " + hex32(value & ~owned) + ")\n";
}

void quantity(std::string& out, const char* caption, double value, const char* unit) {
    line(out, caption, probe::numberToText(value, kLocale), unit);
}

void reservedBytes(std::string& out, const char* range, std::span<const std::uint8_t> bytes) {
    bool zero = true;
    for (std::uint8_t b : bytes) zero = zero && b == 0;
    if (zero) return;
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0xF];
    }
    out += "  (резервные байты ";
    out += range;
    out += ": " + hex + ")\n";
}

}  // namespace

std::string showRecord(const ProbeRecord& r) {
    std::string out;
    heading(out, 0);
    word(out, r.Piezoelementi, probe::kTransducersFields);
    heading(out, 1);
    word(out, r.Fokusirovka, probe::kFocusingFields);
    heading(out, 2);
    word(out, r.Otklonenie, probe::kDeflectionFields);
    heading(out, 3);
    word(out, r.Skanirovanie, probe::kScanningFields);
    heading(out, 4);
    lines(out, r.Obrabotka);

    heading(out, 5);
    line(out, captions::kProizvoditel, probe::readTextCell(r.Proizvoditel));
    line(out, captions::kModel, probe::readTextCell(r.Model));
    line(out, captions::kNazvanie, probe::readTextCell(r.Nazvanie));
    line(out, captions::kCena, probe::priceToText(r.Cena));
    line(out, captions::kPribori, "");
    lines(out, r.Pribori);
    line(out, captions::kData, probe::dateToText(r.Data, kLocale));

    heading(out, 6);
    quantity(out, captions::kRKIP1, r.RKIP1, captions::kUnitMetre);
    quantity(out, captions::kRKIP2, r.RKIP2, captions::kUnitMetre);
    quantity(out, captions::kOCHIP, r.OCHIP, captions::kUnitHertz);
    quantity(out, captions::kTP, r.TP, captions::kUnitMetre);
    quantity(out, captions::kMU, r.MU, captions::kUnitDegree);
    line(out, captions::kParametri, "");
    lines(out, r.Parametri);

    heading(out, 7);
    line(out, captions::kIFsP, probe::readTextCell(r.IFsP));
    line(out, captions::kIIP, probe::readTextCell(r.IIP));
    line(out, captions::kIIIP, probe::readTextCell(r.IIIP));
    line(out, captions::kIIPP, probe::readTextCell(r.IIPP));
    const int scale = probe::positionFromScale(r.MasshtabProstranstva);
    std::string scaleText;
    if (scale >= 0)
        scaleText = probe::kMasshtabProstranstva[static_cast<std::size_t>(scale)];
    else if (r.MasshtabProstranstva != probe::kScaleNotChosen)
        scaleText = "(код " + std::to_string(r.MasshtabProstranstva) + " вне списка)";
    line(out, captions::kMasshtabProstranstva, scaleText);

    // Bytes the pages never show, named only when they hold something.
    std::string extra;
    reservedBytes(extra, "0–7", r.reserved0);
    reservedBytes(extra, "32–111", r.reserved1);
    reservedBytes(extra, "144–223", r.reserved2);
    reservedBytes(extra, "272–351", r.reserved3);
    reservedBytes(extra, "372–455", r.reserved4);
    if (!extra.empty()) out += '\n' + extra;
    return out;
}

}  // namespace probetool
