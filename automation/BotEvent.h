#pragma once

// What the bot hears that automation may act on. The bot's own handlers raise these, the same handlers that fill
// the people list and the chat pane, so rules and scripts see exactly what the user sees.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class BotEventType : std::uint8_t {
    Arrival,        // name, session, citizen, personClass, firstVisitToday
    Departure,      // name, session, personClass
    Chat,           // name, session, personClass, text
    Whisper,        // name, session, personClass, text
    Click,          // a click on the bot: name and session of who clicked
    Url,            // name, session of the sender; text is the address
    WorldEntry,     // world, worldBuild of the world entered (first or later entry)
    ConnectionLost, // reason
    Timer,          // a tick, about once a second; time says when
};
inline constexpr int kBotEventTypeCount = 9;

enum class PersonClass : std::uint8_t { Citizen, Visitor, Bot };

struct BotEvent {
    BotEventType type = BotEventType::Chat;
    std::string name; // as the world shows it: "[bot]", "\"tourist\"" or a citizen's name
    int session = 0;
    std::optional<int> citizen;
    PersonClass personClass = PersonClass::Citizen;
    bool firstVisitToday = false;
    std::string text;
    std::string world; // the world the bot is in
    int worldBuild = 0;
    int reason = 0;
    std::int64_t time = 0; // milliseconds since 1970 UTC
};

// The lower-case names rules files and scripts use: "arrival", "chat", ...; "citizen", "visitor", "bot".
const char *BotEventTypeName(BotEventType type);
std::optional<BotEventType> BotEventTypeFromName(std::string_view name);
const char *PersonClassName(PersonClass personClass);
std::optional<PersonClass> PersonClassFromName(std::string_view name);
// A bot's name is in brackets, a visitor's in double quotes.
PersonClass ClassOfName(std::string_view name);
// The name without the brackets or quotes of its class, as a greeting says it.
std::string BareName(std::string_view name);
