#include "history/FtsQuery.h"

namespace {

bool IsSpace(unsigned char c) { return c <= ' ' || c == 0x7f; }

// Letters and digits of ASCII and every byte of a multi-byte character: the only things the tokenizer indexes.
bool HasWordCharacter(std::string_view s) {
    for (const unsigned char c : s) {
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80)
            return true;
    }
    return false;
}

void AddTerm(FtsQuery &q, std::string_view text, bool prefix) {
    if (!HasWordCharacter(text))
        return;
    if (!q.expression.empty())
        q.expression += ' ';
    q.expression += '"';
    for (const char c : text) {
        // Control characters (a NUL above all) would end or confuse the expression; they never reach the index.
        q.expression += IsSpace(static_cast<unsigned char>(c)) ? ' ' : c;
    }
    q.expression += '"';
    if (prefix)
        q.expression += '*';
    ++q.terms;
}

} // namespace

FtsQuery MakeFtsQuery(std::string_view text) {
    FtsQuery q;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsSpace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '"') {
            // A phrase runs to the next quote, or to the end when the user did not close it.
            const std::size_t end = text.find('"', i + 1);
            if (end == std::string_view::npos) {
                AddTerm(q, text.substr(i + 1), false);
                i = text.size();
            } else {
                const bool prefix = end + 1 < text.size() && text[end + 1] == '*'; // "a phrase"*
                AddTerm(q, text.substr(i + 1, end - i - 1), prefix);
                i = end + 1;
                while (i < text.size() && text[i] == '*')
                    ++i;
            }
        } else {
            std::size_t end = i;
            while (end < text.size() && !IsSpace(static_cast<unsigned char>(text[end])) && text[end] != '"')
                ++end;
            std::string_view word = text.substr(i, end - i);
            bool prefix = false;
            while (!word.empty() && word.back() == '*') {
                word.remove_suffix(1);
                prefix = true;
            }
            AddTerm(q, word, prefix);
            i = end;
        }
    }
    return q;
}
