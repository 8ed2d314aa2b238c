// JSON -> record: every value checked against what its field can hold.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <limits>
#include <stdexcept>
#include <tuple>

#include "probe_core/record/conversions.h"
#include "probe_core/json/json_tree.h"
#include "probe_core/json/probe_fields.h"

namespace probejson {

using namespace fields;
using tree::JsonView;

namespace {

// The most keys an object of a probe document may have.
constexpr std::size_t kMostKeys = 16;

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
    // is reported): its members at their keys' places. Keys mostly come in the table's order
    // (export writes them so), so each search begins after the key found last.
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
    std::optional<Members> object(const V& v, const Path& path, const std::vector<Entry>& entries) {
        return object(v, path, entries.size(), [&](std::size_t i) { return entries[i].key; });
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

  private:
    Problems& problems_;
    std::size_t number_;
};

// The code of a sub-field object {"code": ..., "text": ...}; the text is for reading and only
// its type is checked.
template <typename V>
std::optional<std::int64_t> codeOf(const V& v, const Path& path, std::int64_t low,
                                   std::int64_t high, const char* what, Reader<V>& in) {
    static constexpr const char* kKeys[] = {kCode, kText};
    const auto members = in.object(v, path, kKeys);
    if (!members) return std::nullopt;
    const auto& [code, text] = std::tie((*members)[0], (*members)[1]);
    if (text && !text->isString() && !text->isNull())
        in.fail(Path(path, kText), "ожидается строка или null");
    if (!code) {
        in.fail(path, "не хватает ключа «code»");
        return std::nullopt;
    }
    return in.integer(*code, Path(path, kCode), low, high, what);
}

// Whether the "iso" value of a date is the date export writes for its day number.
template <typename V>
bool sameIso(const Json& expected, const V& iso) {
    if (expected.is_null()) return iso.isNull();
    return iso.isString() && iso.string() == expected.get_ref<const std::string&>();
}

template <typename V>
void readEntries(const std::vector<Entry>& entries, const V& v, const Path& path, Reader<V>& in,
                 StagedProbe& probe);

template <typename V>
void readMember(const Member& member, const V& v, const Path& path, Reader<V>& in,
                StagedProbe& probe) {
    ProbeRecord& r = probe.record;
    std::visit(
        Overloaded{
            [&](const WordField& w) {
                // The sub-fields' keys, then "other_bits".
                const std::size_t n = w.keys.size();
                const auto members = in.object(v, path, n + 1, [&](std::size_t i) {
                    return i < n ? w.keys[i].key : kOtherBits;
                });
                if (!members) return;
                std::uint32_t word = 0;
                for (std::size_t i = 0; i < w.fields.size(); ++i) {
                    const auto& it = (*members)[i];
                    if (!it) continue;
                    const probe::SubField& f = w.fields[i];
                    const std::int64_t largest = (std::int64_t{1} << f.width) - 1;
                    if (auto code = codeOf(*it, Path(path, w.keys[i].key), 0, largest,
                                           subFieldCode(f.width), in))
                        word |= probe::placeSubField(static_cast<std::uint32_t>(*code), f);
                }
                if (const auto& it = (*members)[n]) {
                    const Path at(path, kOtherBits);
                    std::optional<std::uint64_t> bits;
                    if (it->isString()) bits = parseHexBits(it->string(), 8);
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
                const auto members = in.object(v, path, kKeys);
                if (!members) return;
                const auto& [iso, given] = std::tie((*members)[0], (*members)[1]);
                std::optional<double> number;
                if (given) number = in.quantity(*given, Path(path, "day_number"));
                if (!iso) {
                    if (number) r.*d.value = *number;
                    return;
                }
                const Path at(path, "iso");
                std::optional<std::chrono::sys_days> date;
                if (iso->isString()) date = parseIsoDate(iso->string());
                if (!iso->isNull() && !date) {
                    in.fail(at, "ожидается дата вида ГГГГ-ММ-ДД или null");
                    return;
                }
                if (!given) {
                    r.*d.value = date ? probe::dayNumber(*date) : 0.0;
                } else if (number) {
                    if (!sameIso(isoOf(*number), *iso))
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
template <typename V>
void readEntries(const std::vector<Entry>& entries, const V& v, const Path& path, Reader<V>& in,
                 StagedProbe& probe) {
    const auto members = in.object(v, path, entries);
    if (!members) return;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (const auto& it = (*members)[i])
            readMember(entries[i].member, *it, Path(path, entries[i].key), in, probe);
    }
}

template <typename V>
std::unique_ptr<StagedProbe> readProbe(const V& value, const std::string& path, std::size_t number,
                                       Problems& problems) {
    auto probe = std::make_unique<StagedProbe>();
    Reader<V> in(problems, number);
    readEntries(probeEntries(), value, Path(path), in, *probe);
    return probe;
}

template <typename V>
std::vector<std::unique_ptr<StagedProbe>> readDocumentValue(const V& document, Problems& problems) {
    std::vector<std::unique_ptr<StagedProbe>> probes;
    Reader<V> in(problems, 0);
    const std::string rootText;
    const Path root(rootText);
    static constexpr const char* kTop[] = {"header", "probes"};
    const auto top = in.object(document, root, kTop);
    if (!top) return probes;

    const std::string headerText = "/header";
    const Path headerPath(headerText);
    const auto& [header, list] = std::tie((*top)[0], (*top)[1]);
    if (!header) {
        in.fail(root, "не хватает заголовка «header»");
    } else {
        static constexpr const char* kHeader[] = {"format", "version"};
        if (const auto fields = in.object(*header, headerPath, kHeader)) {
            const auto& [format, version] = std::tie((*fields)[0], (*fields)[1]);
            if (!format || !format->isString() || format->string() != kFormatName)
                in.fail(Path(headerPath, "format"),
                        std::string("ожидается формат \"") + kFormatName + "\"");
            if (!version || !version->isNumber() || version->asDouble() != kFormatVersion)
                in.fail(Path(headerPath, "version"),
                        "поддерживается только версия " + std::to_string(kFormatVersion));
        }
    }

    const std::string listText = "/probes";
    if (!list) {
        in.fail(root, "не хватает массива датчиков «probes»");
    } else if (!list->isArray()) {
        in.fail(Path(listText), "ожидается массив датчиков");
    } else {
        for (std::size_t i = 0; i < list->size(); ++i)
            probes.push_back(readProbe((*list)[i], child(listText, i), i + 1, problems));
    }
    return probes;
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
                                           std::size_t number, Problems& problems) {
    return readProbe(JsonView(value), path, number, problems);
}

std::unique_ptr<StagedProbe> probeFromJson(const Json& value, Problems& problems) {
    return probeFromJson(value, "", 1, problems);
}

std::vector<std::unique_ptr<StagedProbe>> documentFromJson(const Json& document,
                                                           Problems& problems) {
    return readDocumentValue(JsonView(document), problems);
}

std::unique_ptr<StagedProbe> probeFromTree(tree::Value value, const std::string& path,
                                           std::size_t number, Problems& problems) {
    return readProbe(value, path, number, problems);
}

void documentFromTree(tree::Value document, Problems& problems) {
    readDocumentValue(document, problems);
}

}  // namespace probejson
