#pragma once

#include "automation/BotEvent.h"
#include "chat/PeopleEvent.h"

#include <cstdint>
#include <map>
#include <string>

class Automation;

// Turns what the bot's people, chat and session handlers heard into automation's events: the class of each
// person, whether an arrival is the person's first visit of the day, the world the bot is in.
class BotEvents {
public:
    explicit BotEvents(Automation &automation) : automation_(automation) {}

    void OnPeopleEvent(const PeopleEvent &event);
    // botName without brackets.
    void OnWorldEntered(const std::string &botName);
    void OnDisconnected(int reason);
    void OnTick();

    // The local calendar day of a time, as a number that changes at local midnight.
    static std::int64_t LocalDay(std::int64_t ms);

private:
    BotEvent Base(BotEventType type) const;

    Automation &automation_;
    // The local day each person (by name, without regard to case) last arrived on, this run.
    std::map<std::string, std::int64_t> lastArrivalDay_;
};
