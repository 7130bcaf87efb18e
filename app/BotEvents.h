#pragma once

#include "automation/BotEvent.h"
#include "chat/PeopleEvent.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

class Automation;

// Turns what the bot's people, chat and session handlers heard into automation's events: the class of each
// person, whether an arrival is the person's first visit of the day, the world the bot is in.
class BotEvents {
public:
    // The names of the people the history saw arriving since a time (milliseconds since 1970 UTC).
    using SeenSince = std::function<std::vector<std::string>(std::int64_t since)>;

    explicit BotEvents(Automation &automation, SeenSince seenSince = {})
        : automation_(automation), seenSince_(std::move(seenSince)) {}

    void OnPeopleEvent(const PeopleEvent &event);
    // botName without brackets.
    void OnWorldEntered(const std::string &botName);
    void OnDisconnected(int reason);
    void OnTick();

    // The local calendar day of a time, as a number that changes at local midnight.
    static std::int64_t LocalDay(std::int64_t ms);

private:
    BotEvent Base(BotEventType type) const;
    // At the first entry of a day: who the history saw earlier today, so a restart does not make today's visitors
    // new again.
    void Remember(std::int64_t now);

    Automation &automation_;
    // The local day each person (by name, without regard to case) last arrived on, this run.
    std::map<std::string, std::int64_t> lastArrivalDay_;
    SeenSince seenSince_;
    std::int64_t rememberedDay_ = -1;
};
