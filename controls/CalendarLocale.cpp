#include "controls/CalendarLocale.h"

#include <QString>

namespace {

// The first character a reader sees, a surrogate pair kept whole.
QString FirstCharacter(const QString &text) {
    if (text.isEmpty())
        return {};
    return text.left(text.at(0).isHighSurrogate() && text.size() > 1 ? 2 : 1);
}

} // namespace

CalendarNames CalendarNamesOf(const QLocale &locale) {
    CalendarNames names;
    for (int month = 0; month < 12; ++month) {
        const QString name = locale.monthName(month + 1, QLocale::LongFormat);
        if (!name.isEmpty())
            names.months[static_cast<std::size_t>(month)] = name.toStdString();
    }
    // Qt counts Monday as 1 and Sunday as 7; the calendar starts on Sunday.
    for (int weekday = 0; weekday < 7; ++weekday) {
        const QString letter = FirstCharacter(locale.dayName(weekday == 0 ? 7 : weekday, QLocale::ShortFormat));
        if (!letter.isEmpty())
            names.weekdayLetters[static_cast<std::size_t>(weekday)] = letter.toStdString();
    }
    return names;
}

LongDateOrder LongDateOrderOf(const QLocale &locale) {
    // Finds where day, month and year first appear in the long date pattern. Quoted text is literal, and a run of
    // three or four 'd' is the weekday's name, not the day.
    const QString format = locale.dateFormat(QLocale::LongFormat);
    qsizetype day = -1, month = -1, year = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            quoted = !quoted;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        if (!quoted) {
            if (c == u'd' && run <= 2 && day < 0)
                day = i;
            else if (c == u'M' && month < 0)
                month = i;
            else if (c == u'y' && year < 0)
                year = i;
        }
        i += run;
    }
    if (year >= 0 && (day < 0 || year < day) && (month < 0 || year < month))
        return LongDateOrder::YearDayMonth;
    if (day >= 0 && month >= 0 && day < month)
        return LongDateOrder::DayMonthYear;
    return LongDateOrder::MonthDayYear;
}
