#pragma once

// A universe running in the test process on a free loopback port, filled with the citizens and worlds a test asks
// for, and the login that brings the bot "Tester" of the first citizen into the first world.

#include "login/LoginValues.h"
#include "server/UniverseServer.h"

#include <memory>
#include <string>
#include <vector>

struct UniverseSetup {
    struct Citizen {
        int number = 0;
        std::string name, password, homePage;
    };
    struct World {
        std::string name;
        int build = 0;
        std::string caretakers; // as the world's field holds them; empty leaves it unset
    };

    // The bot's owner comes first.
    std::vector<Citizen> citizens = {{1234, "Ownerly", "secret", {}}};
    // The bot enters the first.
    std::vector<World> worlds = {{"Sunset", 39, {}}};
    // Port 0 (a free one) and one round of password stretching, so that logins are quick.
    ServerOptions options = QuickOptions();

    static ServerOptions QuickOptions();
};

class LoopbackUniverse {
public:
    // Starts the server and fills it. A failure is a fatal failure of the running test: call it inside
    // ASSERT_NO_FATAL_FAILURE.
    void Start(UniverseSetup setup = {});
    // A new server over the same store on the same port, as after the universe's process restarted; nothing is
    // added again. With a data folder, what was confirmed survives.
    void Restart();
    // Harmless when not started.
    void Stop();

    UniverseServer *operator->() const { return server_.get(); }
    UniverseServer &operator*() const { return *server_; }
    explicit operator bool() const { return server_ != nullptr; }

    // "127.0.0.1:port", as the command line names a universe.
    std::string Address() const;
    // The bot "Tester" of the first citizen, into the first world.
    LoginValues BotLogin() const;
    // A login as the command line gives it.
    static std::vector<std::string> Arguments(const LoginValues &login);
    // A person arriving next to the bot in the first world; its privilege is its citizen number.
    int Arrive(const std::string &name, int citizen = 0) const;

private:
    UniverseSetup setup_;
    std::unique_ptr<UniverseServer> server_;
};
