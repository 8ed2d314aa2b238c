#include "editor/ui/pages/user_locale.h"

#include <QLocale>
#include <QString>

namespace ui {

probe::UserLocale userLocaleOf(const QLocale& locale) {
    probe::UserLocale result;
    result.decimalSeparator = QString(locale.decimalPoint()).toStdString();
    const auto isField = [](QChar c) {
        c = c.toLower();
        return c == QLatin1Char('d') || c == QLatin1Char('m') || c == QLatin1Char('y');
    };
    // Quoted literal text dropped, then everything before the first and after the last field.
    QString format;
    const QString full = locale.dateFormat(QLocale::ShortFormat);
    bool quoted = false;
    for (const QChar c : full) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted) format += c;
    }
    qsizetype first = 0;
    while (first < format.size() && !isField(format.at(first))) ++first;
    qsizetype end = format.size();
    while (end > first && !isField(format.at(end - 1))) --end;
    format = format.mid(first, end - first);
    if (format.isEmpty()) return result;  // no date fields at all: keep the defaults
    result.shortDateFormat = format.toStdString();
    // The date separator is the first character that follows the first day, month or year.
    for (qsizetype i = 0; i + 1 < format.size(); ++i) {
        const QChar c = format.at(i).toLower();
        if (isField(c) && format.at(i + 1).toLower() != c) {
            result.dateSeparator = QString(format.at(i + 1)).toStdString();
            break;
        }
    }
    return result;
}

probe::UserLocale systemLocale() {
    const QLocale system = QLocale::system();
    return probe::followedLocale(system.name().toStdString(), userLocaleOf(system));
}

}  // namespace ui
