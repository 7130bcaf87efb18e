#include "common/UnicodeCase.h"

#include "common/TextCase.h"

#include <cwctype>
#include <locale.h>
#include <optional>
#include <vector>

namespace {

// The C library's Unicode tables, whatever locale the program runs in.
locale_t UnicodeLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

std::optional<std::vector<char32_t>> Decode(std::string_view text) {
    std::vector<char32_t> points;
    points.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size()) {
            return std::nullopt;
        }
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            point = (point << 6) | (next & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return std::nullopt;
        }
        points.push_back(point);
        i += length;
    }
    return points;
}

void Encode(char32_t point, std::string &out) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

} // namespace

std::string FoldUnicodeCase(std::string_view text) {
    const locale_t locale = UnicodeLocale();
    const auto points = locale ? Decode(text) : std::nullopt;
    if (!points) {
        return FoldCase(text);
    }
    std::string folded;
    folded.reserve(text.size());
    for (const char32_t point : *points) {
        // Upper then lower, so that letters with two small forms (final sigma) meet.
        const auto wide = static_cast<wint_t>(point);
        Encode(static_cast<char32_t>(towlower_l(towupper_l(wide, locale), locale)), folded);
    }
    return folded;
}

bool SameUnicodeName(std::string_view a, std::string_view b) {
    const auto ascii = [](std::string_view text) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                return false;
            }
        }
        return true;
    };
    // Most names are ASCII: those compare without decoding or allocating.
    if (ascii(a) && ascii(b)) {
        return EqualsNoCase(a, b);
    }
    return FoldUnicodeCase(a) == FoldUnicodeCase(b);
}
