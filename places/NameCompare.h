#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

// Names of people, worlds and places as people read them, in any script: equal without regard to letter case by
// full Unicode case folding ("ÉTÉ" is "été", "STRASSE" is "Straße"), and ordered as the user's language orders
// words, case ignored. The one place where the program decides such questions; keys and words of the program's
// own (INI keys, the owner question) keep comparing ASCII letters only (common/TextCase.h).

// The name folded for comparison: two names are the same name exactly when their folds are equal. Text that is not
// valid UTF-8 folds its ASCII letters only, so two such names never become one through replacement characters.
std::string FoldName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);

// A name's place in the order, made once and then compared quickly. A key made by default sorts first.
class NameKey {
public:
    NameKey() = default;
    int Compare(const NameKey &other) const;

private:
    friend class NameOrder;
    explicit NameKey(QCollatorSortKey key) : key_(std::move(key)) {}
    std::optional<QCollatorSortKey> key_;
};

// The order of names in the user's language, case ignored; in the C locale, which has no order for letters
// beyond ASCII, the Unicode default order.
class NameOrder {
public:
    explicit NameOrder(const QLocale &locale = QLocale());

    NameKey Key(std::string_view name) const;
    // a before b. Names that order alike fall back to their bytes, so the order never depends on where rows were
    // placed first.
    bool Less(std::string_view a, std::string_view b) const;

private:
    QCollator collator_;
};
