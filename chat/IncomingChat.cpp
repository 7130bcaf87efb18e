#include "chat/IncomingChat.h"

#include "chat/AvatarRoster.h"
#include "chat/ChatPane.h"
#include "chat/MutedNames.h"
#include "common/TextCase.h"
#include "common/Version.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <algorithm>

namespace {

// Worlds up to this build know no whispers, so the bot neither answers questions nor whispers there.
constexpr int kLastBuildWithoutWhisper = 16;

enum ChatType { kSaid = 0, kSaidBySpeaker = 1, kWhispered = 2 };

} // namespace

std::string IncomingChat::OwnerTrigger() const { return context_.session.botName + " owner"; }

std::string IncomingChat::VersionTrigger() const { return context_.session.botName + " version"; }

std::string IncomingChat::OwnerReply() const {
    return "I'm owned by " + context_.session.ownerName + " (Citizen number " +
           std::to_string(context_.session.citizen) + ").";
}

std::string IncomingChat::VersionReply() { return "I'm using Gabbler Build " + std::to_string(kGabblerBuild) + "."; }

void IncomingChat::OnChat() {
    // Everything the event carries is read first: a whisper sent below waits for the server, and nothing it
    // brings may stand in for this event's values.
    const int type = SdkGetInt(kAttrChatType);
    const std::string message = SdkGetString(kAttrChatMessage);
    const std::string name = SdkGetString(kAttrAvatarName);
    const int session = SdkGetInt(kAttrChatSession);
    const int build = PeopleContext::WorldBuild();

    if (context_.muted.IsMuted(name)) {
        return;
    }
    const std::string shownName = PlainLine(name);
    if (build > kLastBuildWithoutWhisper) {
        const ChatPane::LineContextScope answer(context_.chat, {LineKind::Notice, {}, {}, ChatLineFlag::AutoAnswer});
        if (EqualsNoCase(message, OwnerTrigger())) {
            SdkWhisper(session, OwnerReply());
            context_.Green("Immigration Officer: Sent owner response to " + shownName + ".");
        } else if (EqualsNoCase(message, VersionTrigger())) {
            SdkWhisper(session, VersionReply());
            context_.Green("Immigration Officer: Sent version response to " + shownName + ".");
        }
    }
    if (type != kSaid && type != kSaidBySpeaker && type != kWhispered) {
        // Not shown, and without its timestamp: a prefix alone would run into the next line.
        return;
    }
    const ChatPane::LineContextScope line(context_.chat,
                                          {type == kWhispered ? LineKind::Whisper : LineKind::Chat, name, session, 0});
    context_.TimestampIfWanted();
    const std::string text = PlainLine(message);
    if (type == kWhispered) {
        context_.Line("Whisper from " + shownName + ": " + text, ChatColour::Blue, false, true);
        if (context_.settings.playWave && !context_.settings.waveLocation.empty()) {
            context_.view.PlaySound(context_.settings.waveLocation);
        }
        context_.Tell({PeopleEvent::Kind::Whisper, name, session, {}, message});
        return;
    }
    const std::uint32_t colour = IsVisitorName(name) ? ChatColour::Grey : ChatColour::Black;
    context_.Line(shownName + ": " + text, colour, type == kSaidBySpeaker);
    context_.Tell({PeopleEvent::Kind::Chat, name, session, {}, message});
}

void IncomingChat::OnConsoleMessage() {
    const std::string text = SdkGetString(kAttrConsoleMessage);
    const std::uint32_t colour = (static_cast<std::uint32_t>(SdkGetInt(kAttrConsoleRed)) & 0xFF) << 16 |
                                 (static_cast<std::uint32_t>(SdkGetInt(kAttrConsoleGreen)) & 0xFF) << 8 |
                                 (static_cast<std::uint32_t>(SdkGetInt(kAttrConsoleBlue)) & 0xFF);
    const bool bold = SdkGetBool(kAttrConsoleBold);
    const bool italic = SdkGetBool(kAttrConsoleItalics);
    const ChatPane::LineContextScope line(context_.chat, {LineKind::Console, {}, {}, 0});
    context_.TimestampIfWanted();
    context_.Line(text, colour, bold, italic);
}

void IncomingChat::OnPaneLine() {
    const int style = SdkGetInt(kAttrPaneLineStyle);
    const int kind = SdkGetInt(kAttrPaneLineKind);
    const LineKind lineKind = kind >= 0 && kind < kLineKindCount ? static_cast<LineKind>(kind) : LineKind::Notice;
    const auto flags = static_cast<std::uint8_t>(SdkGetInt(kAttrPaneLineFlags) & (ChatLineFlag::kCombinations - 1));
    const ChatPane::LineContextScope line(context_.chat, {lineKind, SdkGetString(kAttrPaneLineSpeaker), {}, flags});
    if (style & kPaneLineTimed) {
        context_.chat.AppendTimestampPrefix(static_cast<std::time_t>(SdkGetInt(kAttrPaneLineTime)));
    }
    context_.chat.AppendChatLine(
        SdkGetString(kAttrPaneLineText), static_cast<std::uint32_t>(SdkGetInt(kAttrPaneLineColour)) & 0xFFFFFF,
        (style & kPaneLineBold) != 0, (style & kPaneLineItalic) != 0, (style & kPaneLineUnderline) != 0, true);
}

void IncomingChat::ChooseWhisperTarget(const std::string &name, int session) {
    context_.session.whisperTarget.name = name;
    context_.session.whisperTarget.session = session;
    const bool whispers = PeopleContext::WorldBuild() > kLastBuildWithoutWhisper;
    if (whispers) {
        context_.view.SetWhisperLabel("Whisper to: " + PlainLine(name));
    }
    context_.view.SetWhisperText("");
    if (whispers) {
        context_.view.EnableWhisperBox(true);
    } else {
        context_.view.SetWhisperText(ChatText::NoWhisperHere);
    }
}

void IncomingChat::GetVersion() {
    if (!context_.HasSelectedUser()) {
        return;
    }
    const PersonSlot &selected = context_.session.selectedUser;
    if (IsBotName(selected.name)) {
        if (PeopleContext::WorldBuild() <= kLastBuildWithoutWhisper) {
            return; // nothing could be whispered, so nothing is shown as sent
        }
        // A bot listed as "[name]" is asked with its bare name.
        std::string question = selected.name + " version";
        std::erase_if(question, [](char c) { return c == '[' || c == ']'; });
        const ChatPane::LineContextScope line(context_.chat,
                                              {LineKind::Own, context_.session.botName, {}, ChatLineFlag::Whisper});
        context_.TimestampIfWanted();
        SdkWhisper(selected.session, question);
        context_.Line("[" + context_.session.botName + "] (to " + PlainLine(selected.name) +
                          "): " + PlainLine(question),
                      ChatColour::Blue, false, true);
        return;
    }
    const AvatarRecord *record = context_.roster.Find(selected.session);
    if (!record) {
        return;
    }
    const std::string name = PlainLine(record->name);
    context_.Green(record->browserBuild != 0
                       ? name + " is using browser build " + std::to_string(record->browserBuild) + "."
                       : name + " is using an unknown browser version.");
}
