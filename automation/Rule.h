#pragma once

// A rule "when ... then ...": what sets it off, the conditions that must hold, and what the bot then does.

#include "automation/BotEvent.h"

#include <string>
#include <vector>

enum class RuleTrigger : std::uint8_t { Arrival, Departure, Chat, Whisper, Click, Every, At };

struct RuleAction {
    enum class Kind : std::uint8_t { Say, Whisper, Console, Eject, Teleport, Notice, Notify };
    Kind kind = Kind::Say;
    std::string text;                 // with placeholders {name} {world} {time} {people}; for a teleport, the world
    int minutes = 0;                  // eject
    int x = 0, y = 0, z = 0, yaw = 0; // teleport, centimetres and tenths of a degree
};

struct Rule {
    std::string name;
    bool enabled = true;
    int line = 0; // the line of its file it starts on; 0 for a rule made in the program

    RuleTrigger trigger = RuleTrigger::Chat;
    bool firstVisitOnly = false;    // arrivals: only the person's first visit of the day
    std::string namePattern;        // who sets it off: a pattern with * and ?, without regard to case
    std::vector<std::string> words; // chat and whispers: words or phrases, any of which matches
    std::string regex;              // chat and whispers: a regular expression, without regard to case
    int floodLines = 0;             // chat and whispers: this many lines from one person in...
    int floodSeconds = 0;           // ...this many seconds
    int everyMinutes = 0;           // timers
    int atMinute = -1;              // timers: minutes after local midnight

    std::vector<std::string> worlds;  // empty: any world
    int minBuild = 0, maxBuild = 0;   // 0: no limit
    std::vector<PersonClass> classes; // empty: citizens and visitors
    int personCooldown = 0;           // seconds before the same person sets it off again
    int ruleCooldown = 0;             // seconds before anybody sets it off again

    std::string warning; // when set: a person's first offence is whispered this, later ones act
    std::vector<RuleAction> actions;

    // Whether the rule answers bots: only when it names them, by class or by a name in brackets.
    bool NamesBots() const;
    bool IsChatTrigger() const { return trigger == RuleTrigger::Chat || trigger == RuleTrigger::Whisper; }
};

// "arrival", "every", ...; "say", "eject", ...
const char *RuleTriggerName(RuleTrigger trigger);
const char *RuleActionName(RuleAction::Kind kind);
// Whether a name matches a pattern with * (any run of characters) and ? (one character), without regard to ASCII
// case.
bool NameMatches(std::string_view pattern, std::string_view name);
