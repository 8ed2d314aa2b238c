// Text callbacks for the probe store tests that behave like the editor's: one buffer per
// callback, overwritten at every call.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "abi/plugin.h"

namespace probestore_test {

struct Lines {
    Lines(std::vector<std::string> l = {}) : lines(std::move(l)) {}
    std::vector<std::string> lines;
    std::string buffer;  // reused between calls, as the editor's callbacks do
    int calls = 0;
};

inline const char* PLUGIN_CALL lineOf(std::int32_t index, void* context) {
    auto* l = static_cast<Lines*>(context);
    ++l->calls;
    l->buffer = l->lines.at(static_cast<std::size_t>(index));
    return l->buffer.c_str();
}

inline const char* PLUGIN_CALL nullText(std::int32_t, void*) {
    return nullptr;
}

}  // namespace probestore_test
