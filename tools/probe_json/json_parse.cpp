// JSON text -> JSON value, with the faults the document's reader reports: where a syntax error
// stands, and keys given twice in one object.
#include <algorithm>

#include "platform/cp1251.h"
#include "tools/probe_json/probe_fields.h"

namespace probejson {

using fields::child;

Json parseJson(std::string_view text, std::vector<Problem>& problems) {
    // Where the parser stands: for each open object its keys so far and the current one, for
    // each open array the index of the current element.
    struct Level {
        bool object;
        std::vector<std::string> keys;
        std::size_t index = 0;
    };
    std::vector<Level> levels;
    auto pathOf = [&](std::size_t depth) {
        std::string path;
        for (std::size_t i = 0; i < depth; ++i)
            path = levels[i].object ? child(path, levels[i].keys.back())
                                    : child(path, levels[i].index);
        return path;
    };
    auto probeNumber = [&]() -> std::size_t {
        if (levels.size() >= 2 && levels[0].object && !levels[0].keys.empty() &&
            levels[0].keys.back() == "probes" && !levels[1].object)
            return levels[1].index + 1;
        return 0;
    };
    using Event = nlohmann::json::parse_event_t;
    auto callback = [&](int, Event event, Json& parsed) {
        switch (event) {
            case Event::object_start:
            case Event::array_start:
                levels.push_back({event == Event::object_start, {}, 0});
                break;
            case Event::key: {
                Level& level = levels.back();
                const std::string& key = parsed.get_ref<const std::string&>();
                if (std::find(level.keys.begin(), level.keys.end(), key) != level.keys.end())
                    problems.push_back({probeNumber(), child(pathOf(levels.size() - 1), key),
                                        "ключ «" + key + "» повторяется в одном объекте"});
                // The current key is kept last, so the path names it.
                level.keys.push_back(key);
                break;
            }
            case Event::object_end:
            case Event::array_end:
                levels.pop_back();
                if (!levels.empty() && !levels.back().object) ++levels.back().index;
                break;
            case Event::value:
                if (!levels.empty() && !levels.back().object) ++levels.back().index;
                break;
        }
        return true;
    };
    try {
        return Json::parse(text.begin(), text.end(), callback);
    } catch (const nlohmann::json::parse_error& e) {
        // e.byte counts from 1 and names the character at which reading stopped.
        const std::size_t at = std::min<std::size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < at; ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        // A few characters before the stop, made printable: bytes that are no UTF-8 and
        // characters of other code pages show as '?'.
        const std::size_t from = at >= 12 ? at - 12 : 0;
        std::string near = platform::cp1251ToUtf8(platform::utf8ToCp1251(
            text.substr(from, std::min<std::size_t>(at + 1, text.size()) - from)));
        for (char& c : near)
            if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        std::string message = "синтаксическая ошибка JSON в строке " + std::to_string(line) +
                              ", столбце " + std::to_string(column);
        if (at >= text.size()) message += ": текст кончился раньше, чем значение";
        if (!near.empty()) message += ", рядом с «" + near + "»";
        problems.push_back({0, "", std::move(message)});
        return Json();
    }
}

}  // namespace probejson
