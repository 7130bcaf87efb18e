#include "history/ui/MatchMarks.h"

#include <algorithm>

namespace {

bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c.isMark(); }

void AddWords(QList<MatchTerm> &terms, const QString &text, bool prefix) {
    // The index splits "don't" and "a-b" into separate words; the last one carries the prefix star.
    QList<MatchTerm> words;
    int i = 0;
    while (i < text.size()) {
        while (i < text.size() && !IsWordChar(text[i]))
            ++i;
        int end = i;
        while (end < text.size() && IsWordChar(text[end]))
            ++end;
        if (end > i)
            words.append({text.mid(i, end - i).toLower(), false});
        i = end;
    }
    if (!words.isEmpty())
        words.last().prefix = prefix;
    terms.append(words);
}

} // namespace

QList<MatchTerm> MatchTerms(const QString &query) {
    QList<MatchTerm> terms;
    int i = 0;
    while (i < query.size()) {
        if (query[i].isSpace()) {
            ++i;
        } else if (query[i] == u'"') {
            const int end = query.indexOf(u'"', i + 1);
            const int stop = end < 0 ? query.size() : end;
            const bool prefix = end >= 0 && end + 1 < query.size() && query[end + 1] == u'*';
            AddWords(terms, query.mid(i + 1, stop - i - 1), prefix);
            i = stop + 1;
            while (i < query.size() && query[i] == u'*')
                ++i;
        } else {
            int end = i;
            while (end < query.size() && !query[end].isSpace() && query[end] != u'"')
                ++end;
            QString word = query.mid(i, end - i);
            bool prefix = false;
            while (word.endsWith(u'*')) {
                word.chop(1);
                prefix = true;
            }
            AddWords(terms, word, prefix);
            i = end;
        }
    }
    return terms;
}

QList<MatchSpan> FindMatches(const QString &text, const QList<MatchTerm> &terms) {
    QList<MatchSpan> found;
    for (const MatchTerm &term : terms) {
        for (int at = text.indexOf(term.word, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(term.word, at + 1, Qt::CaseInsensitive)) {
            const int end = at + static_cast<int>(term.word.size());
            if (at > 0 && IsWordChar(text[at - 1]))
                continue;
            int stop = end;
            if (term.prefix) {
                while (stop < text.size() && IsWordChar(text[stop]))
                    ++stop;
            } else if (end < text.size() && IsWordChar(text[end])) {
                continue;
            }
            found.append({at, stop - at});
        }
    }
    std::sort(found.begin(), found.end(), [](const MatchSpan &a, const MatchSpan &b) { return a.start < b.start; });
    QList<MatchSpan> merged;
    for (const MatchSpan &span : found) {
        if (!merged.isEmpty() && span.start <= merged.last().start + merged.last().length) {
            MatchSpan &last = merged.last();
            last.length = std::max(last.length, span.start + span.length - last.start);
        } else {
            merged.append(span);
        }
    }
    return merged;
}
