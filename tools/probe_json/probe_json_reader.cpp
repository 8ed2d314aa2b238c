// JSON -> record: every value checked against what its field can hold.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdio>
#include <limits>

#include "editor/probe/conversions.h"
#include "platform/cp1251.h"
#include "tools/probe_json/probe_fields.h"

namespace probejson {

using namespace fields;

namespace {

// The first character of a UTF-8 text that code page 1251 has no byte for, with its code point
// ("«✓» (U+2713)"); empty if there is none.
std::string firstUncarried(const std::string& utf8) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : 4;
        length = std::min(length, utf8.size() - i);
        const std::string one = utf8.substr(i, length);
        if (platform::cp1251ToUtf8(platform::utf8ToCp1251(one)) != one) {
            std::uint32_t cp = length == 1 ? lead : lead & (0x7Fu >> length);
            for (std::size_t k = 1; k < length; ++k)
                cp = cp << 6 | (static_cast<unsigned char>(one[k]) & 0x3Fu);
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
            return "«" + one + "» (" + code + ")";
        }
        i += length;
    }
    return {};
}

class Reader {
  public:
    Reader(std::vector<Problem>& problems, std::size_t number)
        : problems_(problems), number_(number) {}

    void fail(const std::string& path, std::string message) {
        problems_.push_back({number_, path, std::move(message)});
    }

    // An object whose keys are all among `allowed`; every other key is reported.
    template <typename Keys>
    bool object(const Json& v, const std::string& path, const Keys& allowed) {
        if (!v.is_object()) {
            fail(path, "ожидается объект");
            return false;
        }
        for (const auto& [key, value] : v.items()) {
            (void)value;
            bool known = std::any_of(std::begin(allowed), std::end(allowed),
                                     [&](const auto& a) { return key == keyOf(a); });
            if (!known) fail(child(path, key), "неизвестный ключ «" + key + "»");
        }
        return true;
    }

    // An integer from `low` to `high`.
    std::optional<std::int64_t> integer(const Json& v, const std::string& path, std::int64_t low,
                                        std::int64_t high, const char* what) {
        if (!v.is_number_integer()) {
            fail(path, std::string("ожидается целое число (") + what + ")");
            return std::nullopt;
        }
        bool inRange;
        std::int64_t value = 0;
        if (v.is_number_unsigned()) {
            const auto u = v.get<std::uint64_t>();
            inRange = high >= 0 && u <= static_cast<std::uint64_t>(high);
            value = inRange ? static_cast<std::int64_t>(u) : 0;
        } else {
            value = v.get<std::int64_t>();
            inRange = value >= low && value <= high;
        }
        if (!inRange) {
            fail(path, "число " + v.dump() + " вне диапазона от " + std::to_string(low) + " до " +
                           std::to_string(high) + " (" + what + ")");
            return std::nullopt;
        }
        return value;
    }

    // A text that the record can hold: code page 1251, no zero character. Cp1251 on success.
    std::optional<std::string> text(const Json& v, const std::string& path) {
        if (!v.is_string()) {
            fail(path, "ожидается строка");
            return std::nullopt;
        }
        const std::string& utf8 = v.get_ref<const std::string&>();
        if (utf8.find('\0') != std::string::npos) {
            fail(path, "текст содержит нулевой знак, а в записи текст им заканчивается");
            return std::nullopt;
        }
        std::string cp1251 = platform::utf8ToCp1251(utf8);
        if (platform::cp1251ToUtf8(cp1251) == utf8) return cp1251;
        const std::string bad = firstUncarried(utf8);
        fail(path, (bad.empty() ? std::string("в тексте есть знаки") : "знака " + bad) +
                       " нет в кодовой странице 1251, в записи его не сохранить");
        return std::nullopt;
    }

    std::optional<std::vector<std::string>> lines(const Json& v, const std::string& path) {
        if (!v.is_array()) {
            fail(path, "ожидается массив строк");
            return std::nullopt;
        }
        std::vector<std::string> out;
        bool ok = true;
        for (std::size_t i = 0; i < v.size(); ++i) {
            auto line = text(v[i], child(path, i));
            if (line)
                out.push_back(std::move(*line));
            else
                ok = false;
        }
        if (!ok) return std::nullopt;
        return out;
    }

    std::optional<double> quantity(const Json& v, const std::string& path) {
        if (v.is_number()) return v.get<double>();
        if (v.is_string()) {
            if (auto bits = parseHexBits(v.get_ref<const std::string&>(), 16))
                return std::bit_cast<double>(*bits);
        }
        fail(path, "ожидается число или строка \"0x\" с шестнадцатеричными цифрами его битов");
        return std::nullopt;
    }

  private:
    static std::string_view keyOf(const char* key) { return key; }
    static std::string_view keyOf(const Entry& e) { return e.key; }
    static std::string_view keyOf(const WordKey& k) { return k.key; }

    std::vector<Problem>& problems_;
    std::size_t number_;
};

// The code of a sub-field object {"code": ..., "text": ...}; the text is for reading and only
// its type is checked.
std::optional<std::int64_t> codeOf(const Json& v, const std::string& path, std::int64_t low,
                                   std::int64_t high, const char* what, Reader& in) {
    static constexpr const char* kKeys[] = {kCode, kText};
    if (!in.object(v, path, kKeys)) return std::nullopt;
    auto text = v.find(kText);
    if (text != v.end() && !text->is_string() && !text->is_null())
        in.fail(child(path, kText), "ожидается строка или null");
    auto code = v.find(kCode);
    if (code == v.end()) {
        in.fail(path, "не хватает ключа «code»");
        return std::nullopt;
    }
    return in.integer(*code, child(path, kCode), low, high, what);
}

void readEntries(const std::vector<Entry>& entries, const Json& v, const std::string& path,
                 Reader& in, StagedProbe& probe);

void readMember(const Member& member, const Json& v, const std::string& path, Reader& in,
                StagedProbe& probe) {
    ProbeRecord& r = probe.record;
    std::visit(
        Overloaded{
            [&](const WordField& w) {
                std::vector<const char*> keys;
                for (const WordKey& k : w.keys) keys.push_back(k.key);
                keys.push_back(kOtherBits);
                if (!in.object(v, path, keys)) return;
                std::uint32_t word = 0;
                for (std::size_t i = 0; i < w.fields.size(); ++i) {
                    auto it = v.find(w.keys[i].key);
                    if (it == v.end()) continue;
                    const probe::SubField& f = w.fields[i];
                    const std::int64_t largest = (std::int64_t{1} << f.width) - 1;
                    const std::string what =
                        f.width == 1 ? std::string("код флажка")
                                     : "код подполя из " + std::to_string(f.width) + " бит";
                    if (auto code =
                            codeOf(*it, child(path, w.keys[i].key), 0, largest, what.c_str(), in))
                        word |= probe::placeSubField(static_cast<std::uint32_t>(*code), f);
                }
                if (auto it = v.find(kOtherBits); it != v.end()) {
                    const std::string at = child(path, kOtherBits);
                    std::optional<std::uint64_t> bits;
                    if (it->is_string()) bits = parseHexBits(it->get_ref<const std::string&>(), 8);
                    const std::uint32_t owned = subFieldBits(w.fields);
                    if (!bits)
                        in.fail(at, "ожидается строка \"0x\" и до 8 шестнадцатеричных цифр");
                    else if ((*bits & owned) != 0)
                        in.fail(at, "биты " + hexBits(*bits & owned, 8) +
                                        " принадлежат подполям слова и задаются их кодами");
                    else
                        word |= static_cast<std::uint32_t>(*bits);
                }
                r.*w.word = word;
            },
            [&](const TextField& t) {
                if (auto text = in.text(v, path)) probe.setText(r.*t.cell, std::move(*text));
            },
            [&](const LinesField& l) {
                if (auto lines = in.lines(v, path)) probe.setLines(r.*l.cell, std::move(*lines));
            },
            [&](const QuantityField& q) {
                if (auto value = in.quantity(v, path)) r.*q.value = *value;
            },
            [&](const PriceField& p) {
                if (auto value = in.integer(v, path, std::numeric_limits<std::int32_t>::min(),
                                            std::numeric_limits<std::int32_t>::max(), "цена"))
                    r.*p.value = static_cast<std::int32_t>(*value);
            },
            [&](const DateField& d) {
                static constexpr const char* kKeys[] = {"iso", "day_number"};
                if (!in.object(v, path, kKeys)) return;
                std::optional<double> number;
                if (auto it = v.find("day_number"); it != v.end())
                    number = in.quantity(*it, child(path, "day_number"));
                auto iso = v.find("iso");
                if (iso == v.end()) {
                    if (number) r.*d.value = *number;
                    return;
                }
                const std::string at = child(path, "iso");
                std::optional<std::chrono::sys_days> date;
                if (iso->is_string()) date = parseIsoDate(iso->get_ref<const std::string&>());
                if (!iso->is_null() && !date) {
                    in.fail(at, "ожидается дата вида ГГГГ-ММ-ДД или null");
                    return;
                }
                if (v.find("day_number") == v.end()) {
                    r.*d.value = date ? probe::dayNumber(*date) : 0.0;
                } else if (number) {
                    if (isoOf(*number) != *iso)
                        in.fail(at,
                                "дата не совпадает с номером дня " + quantityJson(*number).dump());
                    else
                        r.*d.value = *number;
                }
            },
            [&](const ScaleField& s) {
                if (auto code = codeOf(v, path, std::numeric_limits<std::int32_t>::min(),
                                       std::numeric_limits<std::int32_t>::max(),
                                       "показатель степени масштаба", in))
                    r.*s.value = static_cast<std::int32_t>(*code);
            },
            [&](const ReservedField& f) {
                std::span<std::uint8_t> bytes = f.write(r);
                if (!v.is_string()) {
                    in.fail(path, "ожидается строка шестнадцатеричных цифр");
                    return;
                }
                const std::string& hex = v.get_ref<const std::string&>();
                if (hex.size() % 2 != 0 || hex.size() > 2 * bytes.size()) {
                    in.fail(path, "ожидается чётное число шестнадцатеричных цифр, не больше " +
                                      std::to_string(2 * bytes.size()));
                    return;
                }
                for (std::size_t i = 0; i < hex.size() / 2; ++i) {
                    const char* first = hex.data() + 2 * i;
                    std::uint8_t byte = 0;
                    auto res = std::from_chars(first, first + 2, byte, 16);
                    if (res.ec != std::errc() || res.ptr != first + 2) {
                        in.fail(path,
                                "«" + std::string(first, 2) + "» — не пара шестнадцатеричных цифр");
                        return;
                    }
                    bytes[i] = byte;
                }
            },
            [&](const GroupField& g) { readEntries(*g.entries, v, path, in, probe); },
        },
        member);
}

// Keys that are missing leave their field as "not given": zero, empty or no choice.
void readEntries(const std::vector<Entry>& entries, const Json& v, const std::string& path,
                 Reader& in, StagedProbe& probe) {
    if (!in.object(v, path, entries)) return;
    for (const Entry& e : entries) {
        auto it = v.find(e.key);
        if (it != v.end()) readMember(e.member, *it, child(path, e.key), in, probe);
    }
}

}  // namespace

void StagedProbe::setText(Stroka& cell, std::string cp1251) {
    if (cp1251.empty()) {
        cell.text = nullptr;
        return;
    }
    cell.text = texts_.emplace_back(std::move(cp1251)).data();
}

void StagedProbe::setLines(Spisok& cell, std::vector<std::string> cp1251) {
    std::vector<char*>& array = arrays_.emplace_back();
    for (std::string& line : cp1251) array.push_back(texts_.emplace_back(std::move(line)).data());
    cell.lines = array.empty() ? nullptr : array.data();
    cell.count = static_cast<std::uint32_t>(array.size());
}

std::unique_ptr<StagedProbe> probeFromJson(const Json& value, const std::string& path,
                                           std::size_t number, std::vector<Problem>& problems) {
    auto probe = std::make_unique<StagedProbe>();
    Reader in(problems, number);
    readEntries(probeEntries(), value, path, in, *probe);
    return probe;
}

std::unique_ptr<StagedProbe> probeFromJson(const Json& value, std::vector<Problem>& problems) {
    return probeFromJson(value, "", 1, problems);
}

std::vector<std::unique_ptr<StagedProbe>> documentFromJson(const Json& document,
                                                           std::vector<Problem>& problems) {
    std::vector<std::unique_ptr<StagedProbe>> probes;
    Reader in(problems, 0);
    static constexpr const char* kTop[] = {"header", "probes"};
    if (!in.object(document, "", kTop)) return probes;

    auto header = document.find("header");
    if (header == document.end()) {
        in.fail("", "не хватает заголовка «header»");
    } else {
        static constexpr const char* kHeader[] = {"format", "version"};
        if (in.object(*header, "/header", kHeader)) {
            auto format = header->find("format");
            if (format == header->end() || !format->is_string() || *format != kFormatName)
                in.fail("/header/format", std::string("ожидается формат \"") + kFormatName + "\"");
            auto version = header->find("version");
            if (version == header->end() || *version != kFormatVersion)
                in.fail("/header/version",
                        "поддерживается только версия " + std::to_string(kFormatVersion));
        }
    }

    auto list = document.find("probes");
    if (list == document.end()) {
        in.fail("", "не хватает массива датчиков «probes»");
    } else if (!list->is_array()) {
        in.fail("/probes", "ожидается массив датчиков");
    } else {
        for (std::size_t i = 0; i < list->size(); ++i)
            probes.push_back(probeFromJson((*list)[i], child("/probes", i), i + 1, problems));
    }
    return probes;
}

}  // namespace probejson
