#include "chat/LineSpeaker.h"

#include "chat/AvatarRoster.h"
#include "chat/PeopleContext.h"

std::optional<LineSpeaker> PresentSpeakerAt(const AvatarRoster &roster, std::string_view text) {
    std::optional<LineSpeaker> found;
    roster.ForEach([&](const AvatarRecord &record) {
        const std::string shown = PlainLine(record.name);
        if (shown.empty() || text.size() <= shown.size() || text[shown.size()] != ':' || !text.starts_with(shown)) {
            return;
        }
        if (!found || shown.size() > found->length) {
            found = LineSpeaker{record.name, record.session, shown.size()};
        }
    });
    return found;
}
