// JSON text -> JSON value, with the faults the document's reader reports: where a syntax error
// stands, keys given twice in one object, and numbers that a double cannot hold. The whole
// document can also be read probe by probe, each probe handed on and dropped once it is checked.
#include <algorithm>
#include <unordered_set>

#include "platform/cp1251.h"
#include "tools/probe_json/probe_fields.h"

namespace probejson {

using fields::child;

namespace {

// The number tokens of a text, in order, outside strings: where each starts and how long it is,
// and what the JSON library cannot tell from the value it makes of it: "-0" (an integer zero,
// its sign lost) and a mantissa with a non-zero digit (which must not come back as zero).
struct NumberToken {
    std::size_t offset;
    std::uint32_t length;
    bool negativeIntegerZero;
    bool nonZeroMantissa;
};

std::vector<NumberToken> numberTokens(std::string_view text) {
    std::vector<NumberToken> tokens;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
            continue;
        }
        if (c != '-' && (c < '0' || c > '9')) continue;
        std::size_t end = i;
        bool integer = true, nonZero = false, exponent = false;
        for (; end < text.size(); ++end) {
            const char d = text[end];
            if (d >= '1' && d <= '9' && !exponent) nonZero = true;
            if (d == '.' || d == 'e' || d == 'E') integer = false;
            if (d == 'e' || d == 'E') exponent = true;
            if (!((d >= '0' && d <= '9') || d == '-' || d == '+' || d == '.' || d == 'e' ||
                  d == 'E'))
                break;
        }
        const std::string_view token = text.substr(i, end - i);
        tokens.push_back({i, static_cast<std::uint32_t>(std::min<std::size_t>(token.size(), 64)),
                          integer && token == "-0", nonZero});
        i = end - 1;
    }
    return tokens;
}

// A syntax error as the reader reports it: line, column and a few characters before the stop.
std::string syntaxMessage(std::string_view text, std::size_t byte) {
    // `byte` counts from 1 and names the character at which reading stopped.
    const std::size_t at = std::min<std::size_t>(byte == 0 ? 0 : byte - 1, text.size());
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < at; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    // Bytes that are no UTF-8 and characters of other code pages show as '?'.
    const std::size_t from = at >= 12 ? at - 12 : 0;
    std::string near = platform::cp1251ToUtf8(platform::utf8ToCp1251(
        text.substr(from, std::min<std::size_t>(at + 1, text.size()) - from)));
    for (char& c : near)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    std::string message = "синтаксическая ошибка JSON в строке " + std::to_string(line) +
                          ", столбце " + std::to_string(column);
    if (at >= text.size()) message += ": текст кончился раньше, чем значение";
    if (!near.empty()) message += ", рядом с «" + near + "»";
    return message;
}

// Parses `text`; with `onProbe`, each element of the top-level "probes" array is checked as a
// probe when it ends, handed to `onProbe` while no fault has been found, and dropped.
Json parseText(std::string_view text, std::vector<Problem>& problems,
               const std::function<void(std::size_t, StagedProbe&)>* onProbe, bool& whole) {
    whole = false;
    // Where the parser stands: for each open object its keys so far and the current one, for
    // each open array the index of the current element.
    struct Level {
        bool object;
        std::unordered_set<std::string> keys;
        std::string key;
        std::size_t index = 0;
    };
    std::vector<Level> levels;
    auto pathOf = [&](std::size_t depth) {
        std::string path;
        for (std::size_t i = 0; i < depth; ++i)
            path = levels[i].object ? child(path, levels[i].key) : child(path, levels[i].index);
        return path;
    };
    auto inProbes = [&] {
        return levels.size() >= 2 && levels[0].object && levels[0].key == "probes" &&
               !levels[1].object;
    };
    auto probeNumber = [&]() -> std::size_t { return inProbes() ? levels[1].index + 1 : 0; };

    const std::vector<NumberToken> numbers = numberTokens(text);
    std::size_t nextNumber = 0;
    auto numberText = [&](const NumberToken& t) {
        return std::string(text.substr(t.offset, t.length));
    };

    using Event = nlohmann::json::parse_event_t;
    auto callback = [&](int, Event event, Json& parsed) {
        switch (event) {
            case Event::object_start:
            case Event::array_start:
                levels.push_back({event == Event::object_start, {}, {}, 0});
                break;
            case Event::key: {
                Level& level = levels.back();
                level.key = parsed.get_ref<const std::string&>();
                if (!level.keys.insert(level.key).second)
                    problems.push_back({probeNumber(), pathOf(levels.size()),
                                        "ключ «" + level.key + "» повторяется в одном объекте"});
                break;
            }
            case Event::object_end:
            case Event::array_end: {
                bool keep = true;
                if (onProbe != nullptr && event == Event::object_end && levels.size() == 3 &&
                    inProbes()) {
                    const std::size_t number = probeNumber();
                    levels.pop_back();
                    auto probe = probeFromJson(parsed, pathOf(levels.size()), number, problems);
                    if (problems.empty()) (*onProbe)(number, *probe);
                    keep = false;
                } else {
                    levels.pop_back();
                }
                if (!levels.empty() && !levels.back().object) ++levels.back().index;
                return keep;
            }
            case Event::value:
                if (parsed.is_number() && nextNumber < numbers.size()) {
                    const NumberToken& t = numbers[nextNumber++];
                    if (t.negativeIntegerZero) parsed = -0.0;
                    if (parsed.is_number_float() && parsed.get<double>() == 0.0 &&
                        t.nonZeroMantissa)
                        problems.push_back(
                            {probeNumber(), pathOf(levels.size()),
                             "число " + numberText(t) +
                                 " слишком мало для double и стало бы нулём, а не самим собой"});
                }
                if (!levels.empty() && !levels.back().object) ++levels.back().index;
                break;
        }
        return true;
    };
    try {
        Json document = Json::parse(text.begin(), text.end(), callback);
        whole = true;
        return document;
    } catch (const nlohmann::json::parse_error& e) {
        problems.push_back({0, "", syntaxMessage(text, e.byte)});
    } catch (const nlohmann::json::out_of_range&) {
        // A number beyond the range of double: the one after the last the callback saw.
        const std::string shown =
            nextNumber < numbers.size() ? numberText(numbers[nextNumber]) : std::string("?");
        problems.push_back({probeNumber(), pathOf(levels.size()),
                            "число " + shown + " вне диапазона double (больше 1.8e308 по модулю)"});
    } catch (const nlohmann::json::exception& e) {
        problems.push_back({probeNumber(), pathOf(levels.size()), e.what()});
    }
    return Json();
}

}  // namespace

Json parseJson(std::string_view text, std::vector<Problem>& problems) {
    bool parsed = false;
    return parseText(text, problems, nullptr, parsed);
}

void readDocument(std::string_view text, std::vector<Problem>& problems,
                  const std::function<void(std::size_t number, StagedProbe& probe)>& onProbe) {
    bool parsed = false;
    const Json rest = parseText(text, problems, &onProbe, parsed);
    // Only the header and an emptied probe list are left: checked as a document of no probes.
    if (parsed) documentFromJson(rest, problems);
}

}  // namespace probejson
