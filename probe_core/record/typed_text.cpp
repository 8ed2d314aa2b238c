#include "probe_core/record/typed_text.h"

#include <algorithm>

#include "platform/cp1251.h"
#include "probe_core/record/encodings.h"

namespace probe {

namespace {

bool blank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// Bytes of the UTF-8 sequence that begins with `lead` (1 for a stray byte).
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

std::string quotedList(const std::vector<std::string>& characters) {
    std::string out;
    for (const std::string& c : characters) {
        if (!out.empty()) out += ", ";
        out += "«" + c + "»";
    }
    return out;
}

}  // namespace

std::string dateFormHint(const UserLocale& locale) {
    std::string hint;
    const std::string& format = locale.shortDateFormat;
    for (std::size_t i = 0; i < format.size();) {
        const char c = format[i];
        std::size_t run = 1;
        while (i + run < format.size() && format[i + run] == c) ++run;
        i += run;
        if (c == 'd')
            hint += "ДД";
        else if (c == 'M')
            hint += "ММ";
        else if (c == 'y')
            hint += run > 2 ? "ГГГГ" : "ГГ";
        else if (c == '/')
            for (std::size_t k = 0; k < run; ++k) hint += locale.dateSeparator;
        else
            hint.append(run, c);
    }
    return hint;
}

std::vector<std::string> charactersOutsideCp1251(std::string_view utf8) {
    std::vector<std::string> found;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length =
            std::min(sequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        const std::string_view character = utf8.substr(i, length);
        i += length;
        // The codec writes '?' for a character it cannot carry; the question mark itself is one
        // it can.
        if (character == "?" || platform::utf8ToCp1251(character) != "?") continue;
        if (std::find(found.begin(), found.end(), character) == found.end())
            found.emplace_back(character);
    }
    return found;
}

std::optional<std::string> notStoredAsTyped(FieldKind kind, std::string_view utf8,
                                            const UserLocale& locale, std::chrono::sys_days today) {
    switch (kind) {
        case FieldKind::text: {
            const std::vector<std::string> lost = charactersOutsideCp1251(utf8);
            if (lost.empty()) return std::nullopt;
            if (lost.size() == 1)
                return "символ " + quotedList(lost) + " не сохраняется (будет записан «?»)";
            return "символы " + quotedList(lost) + " не сохраняются (будут записаны «?»)";
        }
        case FieldKind::number:
            if (blank(utf8) || readNumber(utf8, locale)) return std::nullopt;
            return "будет записано: 0 (число не распознано; десятичный разделитель — «" +
                   locale.decimalSeparator + "»)";
        case FieldKind::price:
            if (blank(utf8) || readPrice(utf8)) return std::nullopt;
            return std::string(
                "будет записано: 0 (нужно целое число от -2147483648 до 2147483647)");
        case FieldKind::date:
            if (blank(utf8) || textToDate(utf8, locale, today)) return std::nullopt;
            return "будет записано: 0 (дата не распознана; ожидается " + dateFormHint(locale) + ")";
        case FieldKind::scale:
            if (utf8.empty() ||
                std::find(kScaleTexts.begin(), kScaleTexts.end(), utf8) != kScaleTexts.end())
                return std::nullopt;
            return std::string("такого масштаба нет в списке: будет записано «масштаб не выбран»");
    }
    return std::nullopt;
}

}  // namespace probe
