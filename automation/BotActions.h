#pragma once

// What automation may do, and nothing more: the same calls the window's commands make, with the same rights checks.
// The program implements it on its session; tests implement it with a recorder.

#include "automation/BotEvent.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// 0 when done; otherwise the SDK's reason code (or kActionNoRight, kActionBudget, kActionPaused) and a sentence.
struct ActionResult {
    int code = 0;
    std::string message;
    bool Ok() const { return code == 0; }
};
// The reason code of "unauthorized", and our own for what the guard held back.
inline constexpr int kActionNoRight = 32;
inline constexpr int kActionBudget = -1; // the global budget of lines is spent; the line was dropped
inline constexpr int kActionPaused = -2; // the rule or script is paused for firing too often

struct PresentPerson {
    std::string name;
    int session = 0;
    std::optional<int> citizen;
    PersonClass personClass = PersonClass::Citizen;
    int x = 0, y = 0, z = 0; // centimetres (z north, x west)
};

struct HistoryHit {
    std::int64_t time = 0; // milliseconds since 1970 UTC
    std::string world;
    std::string speaker;
    std::string text;
};

class BotActions {
public:
    virtual ~BotActions() = default;
    // Public chat, as the say box sends it (in global mode as the window's global chat).
    virtual ActionResult Say(const std::string &text) = 0;
    virtual ActionResult Whisper(int session, const std::string &text) = 0;
    // A console message to one session, or to the whole world with session 0; needs the caretaker right.
    virtual ActionResult ConsoleMessage(int session, const std::string &text) = 0;
    // Ejects a session for a number of minutes; needs the world's eject right.
    virtual ActionResult Eject(int session, int minutes) = 0;
    // Moves the bot: within the world it is in when world is empty or its own, else into that world.
    virtual ActionResult Teleport(const std::string &world, int x, int y, int z, int yaw) = 0;
    // A line in the chat pane.
    virtual void Notice(const std::string &text) = 0;
    // A desktop notification, where the program has a desktop; else a pane line.
    virtual void Notify(const std::string &title, const std::string &text) = 0;

    // What the bot knows without acting.
    virtual std::vector<PresentPerson> PeoplePresent() = 0;
    virtual std::optional<PresentPerson> FindPerson(const std::string &name) = 0;
    virtual std::string World() = 0;
    virtual int WorldBuild() = 0;
    // The newest lines of the history that match a search (the Search History window's words and person, either
    // empty for any), newest first.
    virtual std::vector<HistoryHit> SearchHistory(const std::string &query, const std::string &person, int limit) = 0;
};
