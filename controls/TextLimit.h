#pragma once

#include <QString>

// How a field's limit counts its text: as characters (Unicode code points, so an emoji is one), or as the bytes
// of its UTF-8 form, which is what the SDK's string attributes hold (a Cyrillic letter is two, an emoji four).
enum class LimitUnit { Characters, Utf8Bytes };

struct TextLimit {
    int maximum = 0;
    LimitUnit unit = LimitUnit::Characters;
    // What a line break of a multi-line edit (one "\n" there) weighs: 2 where the text is sent with CR LF.
    int lineBreakSize = 1;
    bool operator==(const TextLimit &) const = default;
};

// The size of text in the unit of a limit.
int TextSize(const QString &text, LimitUnit unit);
int TextSize(const QString &text, TextLimit limit);

inline bool FitsLimit(const QString &text, TextLimit limit) { return TextSize(text, limit) <= limit.maximum; }

// What the user is told when a paste (or a drop, or an input method's text) would take a field over its limit
// and is refused whole: it names the field and the limit.
QString RefusedInputMessage(const QString &fieldName, TextLimit limit);
