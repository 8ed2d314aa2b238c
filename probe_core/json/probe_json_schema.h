// The JSON Schema of the probe document and a Markdown table of its keys, both made from the
// field table (probe_core/record/field_table.h), so that a key is written down in one place.
#pragma once

#include <string>

namespace probejson {

// The JSON Schema (draft 2020-12) of the document export writes and import reads: every key with
// its type, range, sub-field codes and patterns, which objects refuse other keys, and what each
// value means (captions as the editor's pages show them, units, bits of a word).
std::string probeJsonSchema();

// Every key of one probe as a Markdown table: the key's path, its kind and unit, its caption.
std::string probeJsonKeyTable();

}  // namespace probejson
