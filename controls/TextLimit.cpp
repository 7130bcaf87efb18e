#include "controls/TextLimit.h"

int TextSize(const QString &text, LimitUnit unit) {
    if (unit == LimitUnit::Utf8Bytes) {
        return static_cast<int>(text.toUtf8().size());
    }
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // The second half of a surrogate pair belongs to the character counted at the first.
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate())) {
            ++count;
        }
    }
    return count;
}

int TextSize(const QString &text, TextLimit limit) {
    return TextSize(text, limit.unit) + (limit.lineBreakSize - 1) * static_cast<int>(text.count(QLatin1Char('\n')));
}

QString RefusedInputMessage(const QString &fieldName, TextLimit limit) {
    const QString size = limit.unit == LimitUnit::Utf8Bytes
                             ? QStringLiteral("%1 bytes (a letter outside ASCII takes 2 to 4)").arg(limit.maximum)
                             : QStringLiteral("%1 characters").arg(limit.maximum);
    return QStringLiteral("%1 takes at most %2. The text was not inserted: it would not fit whole.")
        .arg(fieldName, size);
}
