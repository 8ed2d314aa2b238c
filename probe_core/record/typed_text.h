// Whether a text typed into a field reaches the probe record as typed. A store keeps what the
// reading rules make of a text: a number, price or date they reject stores 0, a scale that is
// none of the list's entries stores 7, and a character that code page 1251 lacks is stored as
// '?'. Nothing is refused and nothing is reported when the page is stored; instead the editor
// marks a field while it holds such a text, and these functions decide that and word the note.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "probe_core/record/conversions.h"

namespace probe {

// How a field's text is stored.
enum class FieldKind {
    text,    // as text (Stroka), also each line of a multi-line field (Spisok)
    number,  // a quantity (double)
    price,   // a signed 32-bit integer
    date,    // a day number
    scale,   // one of the scale list's entries
};

// The note for a field whose text will not be stored as typed, saying what will be stored
// ("будет записано: 0 (...)", "символ «Ω» не сохраняется (...)"); nullopt when the text is
// stored as typed. An empty or blank text stores "not given" and is never marked. `today`
// decides two-number dates (the 29th of February exists only in leap years).
// The form the locale's short date format wants, in the interface's words: "ДД.ММ.ГГГГ".
std::string dateFormHint(const UserLocale& locale);

std::optional<std::string> notStoredAsTyped(FieldKind kind, std::string_view utf8,
                                            const UserLocale& locale, std::chrono::sys_days today);

// The characters of a UTF-8 text that code page 1251 cannot carry, each once, in the order they
// first appear.
std::vector<std::string> charactersOutsideCp1251(std::string_view utf8);

}  // namespace probe
