#include "app/BotEvents.h"

#include "automation/Automation.h"
#include "common/TextCase.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <ctime>

std::int64_t BotEvents::LocalDay(std::int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return static_cast<std::int64_t>(local.tm_year) * 400 + local.tm_yday;
}

BotEvent BotEvents::Base(BotEventType type) const {
    BotEvent event;
    event.type = type;
    event.time = automation_.Now();
    event.world = SdkGetString(kAttrWorldName);
    event.worldBuild = SdkGetInt(kAttrWorldBuildNumber);
    return event;
}

void BotEvents::OnPeopleEvent(const PeopleEvent &heard) {
    static constexpr BotEventType kTypes[] = {BotEventType::Arrival, BotEventType::Departure, BotEventType::Chat,
                                              BotEventType::Whisper, BotEventType::Click,     BotEventType::Url};
    BotEvent event = Base(kTypes[static_cast<int>(heard.kind)]);
    event.name = heard.name;
    event.session = heard.session;
    event.citizen = heard.citizen;
    event.personClass = ClassOfName(heard.name);
    event.text = heard.text;
    if (event.type == BotEventType::Arrival) {
        const std::int64_t day = LocalDay(event.time);
        auto [slot, added] = lastArrivalDay_.try_emplace(FoldCase(event.name), day);
        event.firstVisitToday = added || slot->second != day;
        slot->second = day;
        if (heard.alreadyThere) {
            // Found there on the bot's entry or move, not come: no greeting, but today's visit all the same, as
            // the history counts it.
            return;
        }
    }
    if (event.type == BotEventType::Departure && heard.stillThere) {
        // Out of view because the bot moved away, not gone: no farewell.
        return;
    }
    automation_.Raise(std::move(event));
}

void BotEvents::Remember(std::int64_t now) {
    const std::int64_t day = LocalDay(now);
    if (!seenSince_ || rememberedDay_ == day) {
        return;
    }
    rememberedDay_ = day;
    const std::time_t seconds = static_cast<std::time_t>(now / 1000);
    std::tm midnight{};
    localtime_r(&seconds, &midnight);
    midnight.tm_hour = 0;
    midnight.tm_min = 0;
    midnight.tm_sec = 0;
    midnight.tm_isdst = -1;
    for (const std::string &name : seenSince_(static_cast<std::int64_t>(std::mktime(&midnight)) * 1000)) {
        lastArrivalDay_.try_emplace(FoldCase(name), day);
    }
}

void BotEvents::OnWorldEntered(const std::string &botName) {
    automation_.Guard().SetSelf("[" + botName + "]", SdkSession());
    // Before the world's people arrive: the history then holds only earlier runs' visits.
    Remember(automation_.Now());
    automation_.Raise(Base(BotEventType::WorldEntry));
}

void BotEvents::OnDisconnected(int reason) {
    BotEvent event = Base(BotEventType::ConnectionLost);
    event.reason = reason;
    automation_.Raise(std::move(event));
}

void BotEvents::OnTick() { automation_.Raise(Base(BotEventType::Timer)); }
