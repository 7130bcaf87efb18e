#pragma once

// The bot's side of attached windows, on the bot's thread (where every SDK call happens): it answers a window's
// SDK as a universe would, from the bot's own state and session. A window logs in with the attach password, enters
// the bot's world (its people and attributes come from what the bot knows), and every other request goes out on
// the bot's own connection, its answer routed back to the window that asked. Every event the bot receives goes to
// every window in the world with it. Closing a window leaves the bot where it is.

#include "attach/AttachListener.h"
#include "attach/LoginGuard.h"
#include "attach/PaneLine.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct AttachHubOptions {
    std::string password; // what a window must give; empty lets nobody in
    std::chrono::milliseconds firstFailureDelay{1000};
    std::chrono::milliseconds maxFailureDelay{30000};
    std::chrono::milliseconds enterTimeout{10000}; // a window's entry waits this long for the bot to be there
    std::size_t maxRelaysPerWindow = 256;          // unanswered requests of one window on the bot's connection
    std::function<void(const std::string &)> log;
    // A window asked for another world: the bot sets out for it (0), or says why not (a reason code).
    std::function<int(const std::string &world)> enterWorld;
    // What a window said or whispered, for the bot's own pane and history, as if the bot had sent it itself.
    std::function<void(const PaneLine &)> ownLine;
    // The lines the bot showed since a time (seconds since 1970), oldest first, for a window that attaches.
    std::function<std::vector<PaneLine>(std::int64_t since)> backlog;
    // The universe's time now (seconds since 1970), which the bot heard at its login and has counted on since; empty
    // or 0: the time the bot heard.
    std::function<std::int64_t()> universeTime;
    bool timestampOwnLines = false; // the bot's pane puts the time before its own lines
};

class AttachHub {
public:
    // Installs the SDK's event tap: build it before the bot enters its first world, so it knows who is there.
    AttachHub(AttachWindows &windows, AttachHubOptions options);
    ~AttachHub(); // removes the tap
    AttachHub(const AttachHub &) = delete;
    AttachHub &operator=(const AttachHub &) = delete;

    // Handles what the windows sent; call it on the bot's thread after each SdkWait.
    void Pump();
    // Windows logged in now.
    std::size_t Attached() const;
    // An event the bot's SDK delivered (what the tap calls): the hub's people follow it, the windows get it.
    void Hear(const std::uint8_t *frame, std::size_t size);

private:
    struct Window {
        std::string peer;
        bool loggedIn = false;
        bool entered = false;
        std::size_t relays = 0;
        std::int64_t since = 0; // the backlog it asked for, 0 none
    };
    struct Person {
        std::string name;
        std::int32_t x = 0, y = 0, z = 0, yaw = 0, type = 0, build = 0, citizen = 0, privilege = 0;
    };
    struct Delayed {
        std::chrono::steady_clock::time_point due;
        std::uint64_t window = 0;
        std::string frames;
    };
    struct PendingEnter {
        std::chrono::steady_clock::time_point due;
        std::uint64_t window = 0;
        std::uint32_t id = 0;
        std::string world;
    };

    void Handle(std::uint64_t window, const std::string &frame);
    void Login(std::uint64_t window, Window &w, const std::string &frame);
    void Enter(std::uint64_t window, Window &w, std::uint32_t id, const std::string &world);
    void AnswerEnter(std::uint64_t window, std::uint32_t id);
    void Relay(std::uint64_t window, Window &w, const std::string &frame);
    void Said(std::uint64_t window, const PaneLine &line);
    void Reply(std::uint64_t window, std::uint32_t id, int code);
    bool InWorld() const;
    std::int32_t UniverseTimeNow() const;
    void Log(const std::string &line) const;

    AttachWindows &listener_;
    AttachHubOptions options_;
    LoginGuard guard_;
    std::map<std::uint64_t, Window> windows_;
    std::map<int, Person> people_; // who the bot sees, by session
    std::string peopleWorld_;      // the world they are in
    bool disconnected_ = false;    // the bot's connection dropped and it is not back in a world yet
    std::vector<Delayed> delayed_;
    std::vector<PendingEnter> enters_;
    // Answers to relayed requests may come after the hub is gone; they find this expired.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
