#include "app/NoticeRules.h"

#include "sdk/ReasonText.h"

#include <cctype>

namespace {

bool IsWordByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    // Bytes of non-ASCII letters count as word bytes, so "Bobé" does not name "Bob".
    return byte >= 0x80 || std::isalnum(byte) != 0 || c == '_';
}

bool SameLetters(std::string_view a, std::string_view b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace

bool NoticeRules::NamesBot(std::string_view text, std::string_view name) {
    if (name.empty() || text.size() < name.size()) {
        return false;
    }
    for (std::size_t at = 0; at + name.size() <= text.size(); ++at) {
        const bool startsWord = at == 0 || !IsWordByte(text[at - 1]);
        const std::size_t end = at + name.size();
        const bool endsWord = end == text.size() || !IsWordByte(text[end]);
        if (startsWord && endsWord && SameLetters(text.substr(at, name.size()), name)) {
            return true;
        }
    }
    return false;
}

std::optional<Notice> NoticeRules::ForPeopleEvent(const PeopleEvent &event, std::string_view botName,
                                                  bool windowActive) {
    if (windowActive) {
        return std::nullopt;
    }
    if (event.kind == PeopleEvent::Kind::Whisper) {
        ++unread_;
        if (settings_.notifyWhispers) {
            return Notice{"Whisper from " + event.name, event.text};
        }
    } else if (event.kind == PeopleEvent::Kind::Chat && settings_.notifyName && NamesBot(event.text, botName)) {
        return Notice{event.name, event.text};
    }
    return std::nullopt;
}

std::optional<Notice> NoticeRules::ForDisconnect(int reason, bool windowActive) const {
    if (windowActive || !settings_.notifyDisconnect) {
        return std::nullopt;
    }
    return Notice{"Gabbler", "You have been disconnected from this world (reason: " + ReasonText(reason) + ")."};
}
