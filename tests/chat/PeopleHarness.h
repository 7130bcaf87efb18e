#pragma once

// The people handlers with everything they are bound to, a recorder for what they show outside the chat pane,
// and helpers that put events into the SDK's attributes the way the SDK delivers them.

#include "chat/ChatPane.h"
#include "chat/People.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <map>
#include <string>
#include <vector>

struct RecordedMark {
    std::string name;
    int x = 0;
    int z = 0;
    bool operator==(const RecordedMark &) const = default;
};

class PeopleRecorder : public PeopleView {
public:
    int users = -1;
    int bots = -1;
    std::string whisperLabel;
    std::string whisperText;
    bool whisperEnabled = false;
    std::vector<std::string> sounds;
    std::map<int, RecordedMark> marks;

    void SetCounters(int u, int b) override {
        users = u;
        bots = b;
    }
    void SetWhisperLabel(std::string_view text) override { whisperLabel = text; }
    void SetWhisperText(std::string_view text) override { whisperText = text; }
    void EnableWhisperBox(bool enabled) override { whisperEnabled = enabled; }
    void PlaySound(const std::string &path) override { sounds.push_back(path); }
    void AddOrMoveMark(int session, const std::string &name, int x, int z) override { marks[session] = {name, x, z}; }
    void RemoveMark(int session) override { marks.erase(session); }
    void ClearMarks() override { marks.clear(); }
};

struct ShownLine {
    std::string text;
    ChatFormat format; // of the line's last run: the prefix, when there is one, comes first
};

// Settings and session values live here, declared before the handlers that are bound to them.
struct PeopleHarness {
    bool displayEnterExit = true;
    bool timestampMsgs = false;
    bool playAvEntrySound = false;
    std::string avEntryWaveLocation;
    bool playWave = false;
    std::string waveLocation;
    bool showAvClicks = false;

    std::string botName = "Tester";
    int citizen = 1234;
    std::string ownerName = "Ownerly";
    std::string selectedName;
    int selectedSession = 0;
    std::string whisperName;
    int whisperSession = 0;
    bool globalMode = false;

    ChatPane chat;
    PeopleRecorder view;
    People people{chat, view,
                  PeopleSettings{displayEnterExit, timestampMsgs, playAvEntrySound, avEntryWaveLocation, playWave,
                                 waveLocation, showAvClicks},
                  PeopleSession{botName, citizen, ownerName, PersonSlot{selectedName, selectedSession},
                                PersonSlot{whisperName, whisperSession}, [this] { return globalMode; }}};

    std::vector<ShownLine> Lines() const {
        std::vector<ShownLine> lines;
        for (std::size_t i = 0; i < chat.Log().LineCount(); ++i) {
            const ChatLine line = chat.Log().Line(i);
            lines.push_back(
                {std::string(line.Text()), line.RunCount() ? line.Run(line.RunCount() - 1).format : ChatFormat{}});
        }
        return lines;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const ShownLine &line : Lines()) {
            texts.push_back(line.text);
        }
        return texts;
    }
    bool Shows(const std::string &text) const {
        for (const ShownLine &line : Lines()) {
            if (line.text == text) {
                return true;
            }
        }
        return false;
    }

    // The Users list's rows as "name" or "name|Yes".
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (std::size_t i = 0; i < people.Users().Count(); ++i) {
            const UsersRow &row = people.Users().Row(i);
            rows.push_back(row.muted ? row.name + "|Yes" : row.name);
        }
        return rows;
    }
};

// An avatar as event 0 carries it.
struct Arrival {
    std::string name;
    int session = 0;
    int citizen = 0;
    int privilege = 0;
    int build = 0;
    int x = 0;
    int z = 0;
};

// These write the attributes an event carries and run the handler, as SdkWait would. They need SdkInit only.
inline void DeliverArrival(People &people, const Arrival &a) {
    SdkSetString(kAttrAvatarName, a.name);
    SdkSetInt(kAttrAvatarSession, a.session);
    SdkSetInt(kAttrAvatarX, a.x);
    SdkSetInt(kAttrAvatarY, 0);
    SdkSetInt(kAttrAvatarZ, a.z);
    SdkSetInt(kAttrAvatarYaw, 0);
    SdkSetInt(kAttrAvatarType, 0);
    SdkSetInt(kAttrAvatarBuild, a.build);
    SdkSetInt(kAttrAvatarCitizen, a.citizen);
    SdkSetInt(kAttrAvatarPrivilege, a.privilege);
    people.OnAvatarAdd();
}

inline void DeliverChange(People &people, const std::string &name, int session, int x, int z, int yaw = 0) {
    SdkSetString(kAttrAvatarName, name);
    SdkSetInt(kAttrAvatarSession, session);
    SdkSetInt(kAttrAvatarX, x);
    SdkSetInt(kAttrAvatarY, 0);
    SdkSetInt(kAttrAvatarZ, z);
    SdkSetInt(kAttrAvatarYaw, yaw);
    SdkSetInt(kAttrAvatarType, 7);
    people.OnAvatarChange();
}

inline void DeliverDeparture(People &people, const std::string &name, int session) {
    SdkSetString(kAttrAvatarName, name);
    SdkSetInt(kAttrAvatarSession, session);
    people.OnAvatarDelete();
}

inline void DeliverChat(People &people, int type, const std::string &name, int session, const std::string &text) {
    SdkSetInt(kAttrChatType, type);
    SdkSetString(kAttrAvatarName, name);
    SdkSetInt(kAttrChatSession, session);
    SdkSetString(kAttrChatMessage, text);
    people.Chat().OnChat();
}
