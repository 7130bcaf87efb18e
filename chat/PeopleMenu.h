#pragma once

#include <array>
#include <optional>
#include <string_view>

// The commands of the Users list's right-click menu. The numbers are the window's own command identifiers, shared
// with the handlers that other parts of the program attach to some of them.
namespace PeopleCommand {
inline constexpr int Eject = 32790;
inline constexpr int GetCitNumber = 32793;
inline constexpr int LookupIp = 32801;
inline constexpr int SendUrl = 32802;
inline constexpr int ClickUser = 32803;
inline constexpr int GetVersion = 32814;
inline constexpr int GetHomePage = 32818;
inline constexpr int TeleportUser = 32815;
inline constexpr int Mute = 32791;
inline constexpr int Unmute = 32794;
inline constexpr int CopyAvatar = 32811;
inline constexpr int JoinAvatar = 32812;
inline constexpr int FaceAvatar = 32813;
} // namespace PeopleCommand

struct PeopleMenuItem {
    int command;
    const char *caption;
    bool separatorAfter;
};

// The menu in the order it is shown.
inline constexpr std::array<PeopleMenuItem, 13> kPeopleMenuItems = {{
    {PeopleCommand::Eject, "Eject...", false},
    {PeopleCommand::GetCitNumber, "Get Cit Number", false},
    {PeopleCommand::LookupIp, "Lookup IP", false},
    {PeopleCommand::SendUrl, "Send URL", false},
    {PeopleCommand::ClickUser, "Click User", false},
    {PeopleCommand::GetVersion, "Get Version", false},
    {PeopleCommand::GetHomePage, "Get Home Page", false},
    {PeopleCommand::TeleportUser, "Teleport User", true},
    {PeopleCommand::Mute, "Mute", false},
    {PeopleCommand::Unmute, "Unmute", true},
    {PeopleCommand::CopyAvatar, "Copy Avatar", false},
    {PeopleCommand::JoinAvatar, "Join Avatar", false},
    {PeopleCommand::FaceAvatar, "Face Avatar", false},
}};

// What the enabling depends on, read when the menu opens.
struct PeopleMenuFacts {
    std::string_view name;           // the selected row's name
    bool muted = false;              // that name is muted
    int worldBuild = 0;              // the world server's build
    bool eject = false;              // the bot's eject right here
    bool caretaker = false;          // the bot's caretaker right here
    bool globalMode = false;         // the bot is in global mode
    std::optional<int> browserBuild; // the roster's client build for the row's session; nothing when not there
};

// Which items are offered, in the order of kPeopleMenuItems.
struct PeopleMenuState {
    std::array<bool, kPeopleMenuItems.size()> enabled{};
    bool Enabled(int command) const;
};

PeopleMenuState PeopleMenuFor(const PeopleMenuFacts &facts);
