#pragma once

// How a window starts on a headless bot instead of a universe: it asks the bot who and where it is, then starts as
// usual with those login values, its SDK pointed at the bot. The window's own code does not know the difference.

#include "login/LoginValues.h"

#include <cstdint>
#include <string>

struct AttachStart {
    bool ok = false;
    std::string error; // a sentence for the user when !ok
    LoginValues login;
};

// Logs in to the bot at host:port with the password and reads its name, citizen, world and place. Needs SdkInit;
// leaves no instance behind. With tls, this and every later connection of the SDK speak TLS and accept only the
// certificate remembered for host:port in bot-fingerprints.txt of the data folder home (the first one is
// remembered).
AttachStart AskAttachedBot(const std::string &host, int port, const std::string &password, bool tls = false,
                           const std::string &home = {});

// When this window last attached to host:port (seconds since 1970, 0 never), from attached.txt in the data folder;
// and remembering a new time there ("HOST:PORT TIME" a line).
std::int64_t LastAttach(const std::string &home, const std::string &address);
bool RememberAttach(const std::string &home, const std::string &address, std::int64_t time);
