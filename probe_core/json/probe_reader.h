// A probe object checked against what each field of the record can hold, walking the field table,
// and turned into a staged record. The checks read the object through a small view, so that the
// same checks and the same fault texts serve every source of values: JSON text (the document
// reader) and the Python module's dicts. A view V offers
//   bool isObject(), isArray(), isString(), isNull(), isInteger(), isUnsigned(), isNumber();
//   std::int64_t asSigned(); std::uint64_t asUnsigned(); double asDouble();
//   std::string_view string(); std::size_t size(); V operator[](std::size_t);
//   void forEachMember(F f) calling f(std::string_view key, const V& value) for each member.
// An integer is isInteger; isUnsigned when it is not negative and read as unsigned.
#pragma once

#include <array>
#include <bit>
#include <charconv>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "probe_core/json/base64.h"
#include "probe_core/json/probe_fields.h"
#include "probe_core/json/probe_json.h"
#include "probe_core/record/conversions.h"
#include "probe_core/record/field_values.h"

namespace probejson {

namespace checks {

using namespace probejson::fields;
using namespace probe::fields;

// The most keys an object of a probe document may have.
inline constexpr std::size_t kMostKeys = 16;

template <typename V>
class Reader {
  public:
    Reader(Problems& problems, std::size_t number) : problems_(problems), number_(number) {}

    void fail(const Path& path, std::string message) {
        problems_.add(number_, problems_.full() ? std::string() : path.str(), std::move(message));
    }

    // The members of an object, each at the place of its key in a key table.
    using Members = std::array<std::optional<V>, kMostKeys>;

    // An object whose keys are all among the `count` keys `keyAt(i)` of a table (every other key
    // is reported): its members at their keys' places; a key given twice keeps its last value.
    // Keys mostly come in the table's order (export writes them so), so each search begins after
    // the key found last.
    template <typename KeyAt>
    std::optional<Members> object(const V& v, const Path& path, std::size_t count, KeyAt keyAt) {
        if (count > kMostKeys) throw std::logic_error("a key table longer than kMostKeys");
        if (!v.isObject()) {
            fail(path, "ожидается объект");
            return std::nullopt;
        }
        Members members;
        std::size_t next = 0;
        v.forEachMember([&](std::string_view key, const V& value) {
            for (std::size_t k = 0; k < count; ++k) {
                const std::size_t i = (next + k) % count;
                if (equals(key, keyAt(i))) {
                    members[i] = value;
                    next = i + 1;
                    return;
                }
            }
            fail(Path(path, key), "неизвестный ключ «" + std::string(key) + "»");
        });
        return members;
    }
    template <std::size_t N>
    std::optional<Members> object(const V& v, const Path& path, const char* const (&keys)[N]) {
        return object(v, path, N, [&](std::size_t i) { return keys[i]; });
    }

    // An integer from `low` to `high`.
    std::optional<std::int64_t> integer(const V& v, const Path& path, std::int64_t low,
                                        std::int64_t high, const char* what) {
        if (!v.isInteger()) {
            fail(path, std::string("ожидается целое число (") + what + ")");
            return std::nullopt;
        }
        bool inRange;
        std::int64_t value = 0;
        std::string shown;
        if (v.isUnsigned()) {
            const std::uint64_t u = v.asUnsigned();
            inRange = high >= 0 && u <= static_cast<std::uint64_t>(high);
            value = inRange ? static_cast<std::int64_t>(u) : 0;
            if (!inRange) shown = std::to_string(u);
        } else {
            value = v.asSigned();
            inRange = value >= low && value <= high;
            if (!inRange) shown = std::to_string(value);
        }
        if (!inRange) {
            fail(path, "число " + shown + " вне диапазона от " + std::to_string(low) + " до " +
                           std::to_string(high) + " (" + what + ")");
            return std::nullopt;
        }
        return value;
    }

    // A text that the record can hold: code page 1251, no zero character. Cp1251 on success.
    std::optional<std::string> text(const V& v, const Path& path) {
        if (!v.isString()) {
            fail(path, "ожидается строка");
            return std::nullopt;
        }
        const std::string_view utf8 = v.string();
        if (utf8.find('\0') != std::string_view::npos) {
            fail(path, "текст содержит нулевой знак, а в записи текст им заканчивается");
            return std::nullopt;
        }
        if (auto cp1251 = strictCp1251(utf8)) return cp1251;
        const std::string bad = firstUncarried(std::string(utf8));
        fail(path, (bad.empty() ? std::string("в тексте есть знаки") : "знака " + bad) +
                       " нет в кодовой странице 1251, в записи его не сохранить");
        return std::nullopt;
    }

    std::optional<std::vector<std::string>> lines(const V& v, const Path& path) {
        if (!v.isArray()) {
            fail(path, "ожидается массив строк");
            return std::nullopt;
        }
        std::vector<std::string> out;
        bool ok = true;
        for (std::size_t i = 0; i < v.size(); ++i) {
            auto line = text(v[i], Path(path, i));
            if (line)
                out.push_back(std::move(*line));
            else
                ok = false;
        }
        if (!ok) return std::nullopt;
        return out;
    }

    std::optional<double> quantity(const V& v, const Path& path) {
        if (v.isNumber()) return v.asDouble();
        if (v.isString()) {
            if (auto bits = parseHexBits(v.string(), 16)) return std::bit_cast<double>(*bits);
        }
        fail(path, "ожидается число или строка \"0x\" с шестнадцатеричными цифрами его битов");
        return std::nullopt;
    }

    // The code of a sub-field object {"code": ..., "text": ...}; the text is for reading and only
    // its type is checked.
    std::optional<std::int64_t> code(const V& v, const Path& path, std::int64_t low,
                                     std::int64_t high, const char* what) {
        static constexpr const char* kKeys[] = {kCode, kText};
        const auto members = object(v, path, kKeys);
        if (!members) return std::nullopt;
        const auto& [given, text] = std::tie((*members)[0], (*members)[1]);
        if (text && !text->isString() && !text->isNull())
            fail(Path(path, kText), "ожидается строка или null");
        if (!given) {
            fail(path, std::string("не хватает ключа «") + kCode + "»");
            return std::nullopt;
        }
        return integer(*given, Path(path, kCode), low, high, what);
    }

  private:
    Problems& problems_;
    std::size_t number_;
};

template <typename V>
void readWord(const Word& w, const V& v, const Path& path, Reader<V>& in, ProbeRecord& r) {
    // The sub-fields' keys, then the key of the bits outside them.
    const std::size_t n = w.subFields.size();
    const auto members = in.object(
        v, path, n + 1, [&](std::size_t i) { return i < n ? w.subFields[i].key : kOtherBits; });
    if (!members) return;
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto& it = (*members)[i];
        if (!it) continue;
        const probe::SubField& f = w.subFields[i];
        const std::int64_t largest = (std::int64_t{1} << f.width) - 1;
        if (auto code = in.code(*it, Path(path, f.key), 0, largest, subFieldCode(f.width)))
            word |= probe::placeSubField(static_cast<std::uint32_t>(*code), f);
    }
    if (const auto& it = (*members)[n]) {
        const Path at(path, kOtherBits);
        std::optional<std::uint64_t> bits;
        if (it->isString()) bits = parseHexBits(it->string(), 8);
        const std::uint32_t owned = subFieldBits(w.subFields);
        if (!bits)
            in.fail(at, "ожидается строка \"0x\" и до 8 шестнадцатеричных цифр");
        else if ((*bits & owned) != 0)
            in.fail(at, "биты " + hexBits(*bits & owned, 8) +
                            " принадлежат подполям слова и задаются их кодами");
        else
            word |= static_cast<std::uint32_t>(*bits);
    }
    r.*w.member = word;
}

template <typename V>
void readDate(const Date& d, const V& v, const Path& path, Reader<V>& in, ProbeRecord& r) {
    static constexpr const char* kKeys[] = {kIso, kDayNumber};
    const auto members = in.object(v, path, kKeys);
    if (!members) return;
    const auto& [iso, given] = std::tie((*members)[0], (*members)[1]);
    std::optional<double> number;
    if (given) number = in.quantity(*given, Path(path, kDayNumber));
    if (!iso) {
        if (number) r.*d.member = *number;
        return;
    }
    const Path at(path, kIso);
    std::optional<std::chrono::sys_days> date;
    if (iso->isString()) date = parseIsoDate(iso->string());
    if (!iso->isNull() && !date) {
        in.fail(at, "ожидается дата вида ГГГГ-ММ-ДД или null");
        return;
    }
    if (!given) {
        r.*d.member = date ? probe::dayNumber(*date) : 0.0;
    } else if (number) {
        // The "iso" value must be the date export writes for the day number.
        const auto expected = probe::fields::isoDate(*number);
        const bool same = expected ? iso->isString() && iso->string() == *expected : iso->isNull();
        if (same) {
            r.*d.member = *number;
        } else {
            std::string shown;
            appendQuantity(shown, *number);
            in.fail(at, "дата не совпадает с номером дня " + shown);
        }
    }
}

template <typename V>
void readReserved(const Reserved& b, const V& v, const Path& path, Reader<V>& in, ProbeRecord& r) {
    const std::span<std::uint8_t> bytes = bytesOf(r, b);
    if (!v.isString()) {
        in.fail(path, "ожидается строка шестнадцатеричных цифр");
        return;
    }
    const std::string_view hex = v.string();
    if (hex.size() % 2 != 0 || hex.size() > 2 * bytes.size()) {
        in.fail(path, "ожидается чётное число шестнадцатеричных цифр, не больше " +
                          std::to_string(2 * bytes.size()));
        return;
    }
    for (std::size_t i = 0; i < hex.size() / 2; ++i) {
        const char* first = hex.data() + 2 * i;
        std::uint8_t byte = 0;
        const auto res = std::from_chars(first, first + 2, byte, 16);
        if (res.ec != std::errc() || res.ptr != first + 2) {
            in.fail(path, "«" + std::string(first, 2) + "» — не пара шестнадцатеричных цифр");
            return;
        }
        bytes[i] = byte;
    }
}

template <typename V>
void readField(const Field& field, const V& v, const Path& path, Reader<V>& in,
               StagedProbe& probe) {
    ProbeRecord& r = probe.record;
    std::visit(
        Overloaded{
            [&](const Word& w) { readWord(w, v, path, in, r); },
            [&](const Text& t) {
                if (auto text = in.text(v, path)) probe.setText(r.*t.member, std::move(*text));
            },
            [&](const Lines& l) {
                if (auto lines = in.lines(v, path)) probe.setLines(r.*l.member, std::move(*lines));
            },
            [&](const Quantity& q) {
                if (auto value = in.quantity(v, path)) r.*q.member = *value;
            },
            [&](const Price& p) {
                if (auto value = in.integer(v, path, std::numeric_limits<std::int32_t>::min(),
                                            std::numeric_limits<std::int32_t>::max(), "цена"))
                    r.*p.member = static_cast<std::int32_t>(*value);
            },
            [&](const Date& d) { readDate(d, v, path, in, r); },
            [&](const Scale& s) {
                if (auto code = in.code(v, path, std::numeric_limits<std::int32_t>::min(),
                                        std::numeric_limits<std::int32_t>::max(),
                                        "показатель степени масштаба"))
                    r.*s.member = static_cast<std::int32_t>(*code);
            },
            [&](const Reserved& b) { readReserved(b, v, path, in, r); },
        },
        field.place);
}

// The keys of one object of a probe: the rows of `rows` whose group is `group`, and, for the probe
// object itself, one key for each group.
struct Level {
    std::vector<const char*> keys;
    std::vector<const Field*> fields;            // null for a group's key
    std::vector<std::span<const Field>> groups;  // the group's rows for a group's key
};
const Level& probeLevel();

template <typename V>
void readGroup(std::span<const Field> rows, const V& v, const Path& path, Reader<V>& in,
               StagedProbe& probe) {
    const auto members =
        in.object(v, path, rows.size(), [&](std::size_t i) { return rows[i].key; });
    if (!members) return;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (const auto& it = (*members)[i])
            readField(rows[i], *it, Path(path, rows[i].key), in, probe);
}

template <typename V>
void readLaterVersionBytes(const V& v, const Path& path, Reader<V>& in, StagedProbe& probe) {
    // Base64 of at most kMostLaterVersionBytes bytes: a longer text is refused before decoding.
    if (!v.isString() || v.string().size() > (kMostLaterVersionBytes + 2) / 3 * 4) {
        in.fail(path, "ожидается строка base64 не длиннее " +
                          std::to_string((kMostLaterVersionBytes + 2) / 3 * 4) + " знаков");
        return;
    }
    auto bytes = base64::decode(v.string());
    if (!bytes)
        in.fail(path,
                "строка не в том виде base64, в каком её пишет выгрузка: буквы A-Z, a-z, "
                "0-9, «+», «/», длина кратна 4, «=» только в конце");
    else
        probe.laterVersionBytes = std::move(*bytes);
}

}  // namespace checks

// The probe object `value` at `path` (the probe's number is `number`, from 1) checked field by
// field into a staged record. Every fault is added to `problems`; the result is meaningful only
// when none was added. Keys left out leave their field as in a fresh record. The bytes of a later
// minor version (key kLaterVersionBytes) are read only where the caller can write them back
// (`takesLaterVersionBytes`); elsewhere they are a fault, so that they are never lost unsaid.
template <typename V>
std::unique_ptr<StagedProbe> readProbe(const V& value, const std::string& path, std::size_t number,
                                       Problems& problems, bool takesLaterVersionBytes = false) {
    auto probe = std::make_unique<StagedProbe>();
    checks::Reader<V> in(problems, number);
    const checks::Level& level = checks::probeLevel();
    const checks::Path root(path);
    // The table's keys, then the later version's bytes.
    const std::size_t known = level.keys.size();
    const auto members = in.object(value, root, known + 1, [&](std::size_t i) {
        return i < known ? level.keys[i] : checks::kLaterVersionBytes;
    });
    if (!members) return probe;
    for (std::size_t i = 0; i < known; ++i) {
        const auto& it = (*members)[i];
        if (!it) continue;
        const checks::Path at(root, level.keys[i]);
        if (level.fields[i] != nullptr)
            checks::readField(*level.fields[i], *it, at, in, *probe);
        else
            checks::readGroup(level.groups[i], *it, at, in, *probe);
    }
    if (const auto& it = (*members)[known]) {
        const checks::Path at(root, checks::kLaterVersionBytes);
        if (takesLaterVersionBytes)
            checks::readLaterVersionBytes(*it, at, in, *probe);
        else
            in.fail(at, "байты полей более новой версии формата здесь не сохранить");
    }
    return probe;
}

}  // namespace probejson
