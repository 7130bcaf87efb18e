#pragma once

// Where a search's words occur in a line, to mark them in the results. The words are found the way the index finds
// them: whole words without regard to case, a prefix* word at a word's start, a phrase's words each on its own.

#include <QList>
#include <QString>

struct MatchTerm {
    QString word; // lower case
    bool prefix = false;
};

QList<MatchTerm> MatchTerms(const QString &query);

// Start and length of each match in text, in order, not overlapping.
struct MatchSpan {
    int start = 0;
    int length = 0;
    bool operator==(const MatchSpan &) const = default;
};
QList<MatchSpan> FindMatches(const QString &text, const QList<MatchTerm> &terms);
