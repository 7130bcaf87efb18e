#pragma once

#include <optional>
#include <string>

// What the people and chat handlers heard, handed on to whoever listens besides the pane (the bot's automation).
struct PeopleEvent {
    enum class Kind { Arrival, Departure, Chat, Whisper, Click, Url };
    Kind kind = Kind::Chat;
    std::string name; // as the world shows it
    int session = 0;
    std::optional<int> citizen; // arrivals of citizens
    std::string text;           // what was said or whispered; the URL
    bool alreadyThere = false;  // arrivals: there before the bot, seen because the bot entered or moved
    bool stillThere = false;    // departures: not gone, out of view because the bot moved or left
};
