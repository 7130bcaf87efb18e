#include "places/NameCompare.h"

#include "common/TextCase.h"

#include <QString>
#include <QUtf8StringView>

#include <algorithm>

namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

bool Ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::string FoldName(std::string_view name) {
    if (Ascii(name)) {
        return FoldCase(name);
    }
    if (!QUtf8StringView(name.data(), static_cast<qsizetype>(name.size())).isValidUtf8()) {
        return FoldCase(name);
    }
    // Decomposed first, so that accents fold apart from their letters ("İ" becomes "i" and a dot above);
    // characters whose folding is more than one character ("ß", "ﬁ") are the ones whose capitals are: fold those.
    const QString simple = FromUtf8(name).normalized(QString::NormalizationForm_D).toCaseFolded();
    QString full;
    full.reserve(simple.size());
    for (const QChar c : simple) {
        if (c.unicode() < 0x80 || c.isSurrogate()) {
            full += c;
            continue;
        }
        const QString capital = QString(c).toUpper();
        full += capital.size() > 1 ? capital.toCaseFolded() : QString(c);
    }
    return full.normalized(QString::NormalizationForm_D).toStdString();
}

bool SameName(std::string_view a, std::string_view b) {
    if (Ascii(a) && Ascii(b)) {
        return EqualsNoCase(a, b);
    }
    return FoldName(a) == FoldName(b);
}

int NameKey::Compare(const NameKey &other) const {
    if (!key_ || !other.key_) {
        return int(key_.has_value()) - int(other.key_.has_value());
    }
    return key_->compare(*other.key_);
}

NameOrder::NameOrder(const QLocale &locale)
    : collator_(locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : locale) {
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
}

NameKey NameOrder::Key(std::string_view name) const { return NameKey(collator_.sortKey(FromUtf8(name))); }

bool NameOrder::Less(std::string_view a, std::string_view b) const {
    const int order = collator_.compare(FromUtf8(a), FromUtf8(b));
    return order != 0 ? order < 0 : a < b;
}
