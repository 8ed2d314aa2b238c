#include "editor/probe/text_transfer.h"

#include <string>

#include "probe_core/record/encodings.h"
#include "platform/cp1251.h"

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
    if (store.UdalitStroku == nullptr || store.SozdatStroku == nullptr) return;
    store.UdalitStroku(&cell);
    store.SozdatStroku(&cell, &PoluchitTekstPolya, &field);
}

void storeListCell(const contracts::ProbeStoreApi& store, Spisok& cell, LinesField& field) {
    if (store.UdalitSpisok == nullptr || store.SozdatSpisok == nullptr) return;
    int lines = field.count();
    store.UdalitSpisok(&cell);
    store.SozdatSpisok(&cell, &PoluchitStrokuSpiska,
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
