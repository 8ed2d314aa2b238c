// The user's locale as the page logic reads numbers and dates in it.
#pragma once

#include "probe_core/record/conversions.h"

class QLocale;

namespace ui {

// Decimal separator, short date format and date separator of a locale. The short date format
// keeps only the day, month and year fields and the separators between them: literal text
// around them (a quoted "г." after the year, say) would make every shown date unreadable when
// the page is stored again.
probe::UserLocale userLocaleOf(const QLocale& locale);
// The same for the user's system locale.
probe::UserLocale systemLocale();

}  // namespace ui
