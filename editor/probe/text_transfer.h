// Texts and lists between the pages' controls and the probe record. The record's text and list
// cells belong to the probe store: the editor changes them only by asking the store to release
// the old value and build a new one from texts that it hands out through two callbacks.
#pragma once

#include <cstdint>

#include "abi/probestore.h"
#include "editor/probe/controls.h"

namespace probe {

// Line callback: line `index` of the multi-line field `context` (a LinesField*), as cp1251.
// The result stays valid until the next call; an index outside the field gives an empty text.
extern "C" const char* PLUGIN_CALL PoluchitStrokuSpiska(std::int32_t index, void* context);
// Text callback: the current text of the field `context` (a TextField*), as cp1251. The first
// argument is not used. The result stays valid until the next call.
extern "C" const char* PLUGIN_CALL PoluchitTekstPolya(std::int32_t ignored, void* context);

// Replaces a text cell with the field's text.
void storeTextCell(const contracts::ProbeStoreApi& store, Stroka& cell, TextField& field);
// Replaces a list cell with the field's lines.
void storeListCell(const contracts::ProbeStoreApi& store, Spisok& cell, LinesField& field);

// Shows a text cell in a field (null: empty).
void loadTextCell(const Stroka& cell, TextField& field);
// Empties the multi-line field and appends the list's lines in order.
void loadListCell(const Spisok& cell, LinesField& field);

}  // namespace probe
