#include "chat/PeopleContext.h"

#include "chat/ChatPane.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

void PeopleContext::Line(std::string_view text, std::uint32_t colour, bool bold, bool italic) const {
    chat.AppendChatLine(text, colour, bold, italic, false, true);
}

void PeopleContext::Green(std::string_view text) const { Line(text, ChatColour::Green); }

void PeopleContext::TimestampIfWanted() const {
    if (settings.timestampMsgs) {
        chat.AppendTimestampPrefix();
    }
}

int PeopleContext::WorldBuild() { return SdkGetInt(kAttrWorldBuildNumber); }

std::string PlainLine(std::string_view text) {
    std::string line(text);
    for (char &c : line) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    return line;
}
