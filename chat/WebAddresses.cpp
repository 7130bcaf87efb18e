#include "chat/WebAddresses.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::u16string_view, 3> kStarts = {u"https://", u"http://", u"www."};

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool IsAsciiAlnum(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool StartsWithNoCase(std::u16string_view text, std::size_t at, std::u16string_view prefix) {
    if (text.size() - at < prefix.size()) {
        return false;
    }
    for (std::size_t k = 0; k < prefix.size(); ++k) {
        if (Lower(text[at + k]) != prefix[k]) {
            return false;
        }
    }
    return true;
}

// Blanks and controls end an address, as do the characters that commonly quote one.
bool EndsAddress(char16_t c) {
    return c <= 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0xA0 || (c >= 0x2000 && c <= 0x200B) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF || c == u'<' ||
           c == u'>' || c == u'"' || c == u'`';
}

// A letter or digit before the start means the prefix is inside a longer word ("awww.", "xhttp://").
bool InsideWord(std::u16string_view text, std::size_t at) {
    if (at == 0) {
        return false;
    }
    const char16_t before = text[at - 1];
    return IsAsciiAlnum(before) || before == u'.' || before == u'-' || before == u'_' || before == u'@' ||
           before == u'/' || before == u':' || (before >= 0x80 && !EndsAddress(before));
}

// Drops what ends a sentence or closes a bracket that the address did not open.
std::size_t TrimEnd(std::u16string_view text, std::size_t begin, std::size_t end) {
    while (end > begin) {
        const char16_t last = text[end - 1];
        if (last == u'.' || last == u',' || last == u';' || last == u':' || last == u'!' || last == u'?' ||
            last == u'\'' || last == u'*') {
            --end;
            continue;
        }
        const char16_t open = last == u')' ? u'(' : last == u']' ? u'[' : last == u'}' ? u'{' : 0;
        if (open != 0) {
            const auto span = text.substr(begin, end - begin);
            if (std::count(span.begin(), span.end(), open) < std::count(span.begin(), span.end(), last)) {
                --end;
                continue;
            }
        }
        break;
    }
    return end;
}

} // namespace

std::vector<WebAddressSpan> FindWebAddresses(std::u16string_view text) {
    std::vector<WebAddressSpan> found;
    std::size_t at = 0;
    while (at < text.size()) {
        const char16_t c = Lower(text[at]);
        std::size_t prefix = 0;
        if ((c == u'h' || c == u'w') && !InsideWord(text, at)) {
            for (const std::u16string_view start : kStarts) {
                if (StartsWithNoCase(text, at, start)) {
                    prefix = start.size();
                    break;
                }
            }
        }
        if (prefix == 0) {
            ++at;
            continue;
        }
        std::size_t end = at + prefix;
        while (end < text.size() && !EndsAddress(text[end])) {
            ++end;
        }
        const std::size_t hostAt = at + prefix;
        const std::size_t trimmed = TrimEnd(text, hostAt, end);
        if (trimmed > hostAt && (IsAsciiAlnum(text[hostAt]) || text[hostAt] >= 0x80)) {
            found.push_back({at, trimmed});
        }
        at = end;
    }
    return found;
}

std::u16string WebAddressTarget(std::u16string_view found) {
    if (StartsWithNoCase(found, 0, u"www.")) {
        return u"http://" + std::u16string(found);
    }
    return std::u16string(found);
}
