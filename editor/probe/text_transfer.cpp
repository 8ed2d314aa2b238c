#include "editor/probe/text_transfer.h"

#include <string>

#include "platform/cp1251.h"
#include "probe_core/record/encodings.h"
#include "probe_core/record/record_cells.h"

namespace probe {

namespace {
// One buffer per callback, replaced at each call and released when the program ends.
std::string& lineBuffer() {
    static std::string buffer;
    return buffer;
}
std::string& textBuffer() {
    static std::string buffer;
    return buffer;
}
}  // namespace

extern "C" const char* PLUGIN_CALL PoluchitStrokuSpiska(std::int32_t index, void* context) {
    std::string& buffer = lineBuffer();
    buffer.clear();
    auto* field = static_cast<LinesField*>(context);
    if (field != nullptr && index >= 0 && index < field->count())
        buffer = platform::utf8ToCp1251(field->line(index));
    return buffer.c_str();
}

extern "C" const char* PLUGIN_CALL PoluchitTekstPolya(std::int32_t, void* context) {
    std::string& buffer = textBuffer();
    buffer.clear();
    auto* field = static_cast<TextField*>(context);
    if (field != nullptr) buffer = platform::utf8ToCp1251(field->text());
    return buffer.c_str();
}

void storeTextCell(const contracts::ProbeStoreApi& store, Stroka& cell, TextField& field) {
    replaceTextCell(store, cell, &PoluchitTekstPolya, &field);
}

void storeListCell(const contracts::ProbeStoreApi& store, Spisok& cell, LinesField& field) {
    const int lines = field.count();
    replaceListCell(store, cell, &PoluchitStrokuSpiska,
                    static_cast<std::uint32_t>(lines < 0 ? 0 : lines), &field);
}

void loadTextCell(const Stroka& cell, TextField& field) {
    field.setText(readTextCell(cell));
}

void loadListCell(const Spisok& cell, LinesField& field) {
    field.clear();
    for (const std::string& line : readListCell(cell)) field.append(line);
}

}  // namespace probe
