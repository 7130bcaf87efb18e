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

// The whole start of an attached window: reads the address ("HOST:PORT"), asks the bot as above, asks it for the
// lines since this window last attached there (all it kept, the first time), and remembers this attach. `where`
// gets the address as remembered, for EndAttach.
AttachStart BeginAttach(const std::string &home, const std::string &address, const std::string &password, bool tls,
                        std::string &where);
// The window ends: its next attach there asks for the lines from now on.
void EndAttach(const std::string &home, const std::string &where);

// When this window last attached to host:port (seconds since 1970, 0 never), from attached.txt in the data folder;
// and remembering a new time there ("HOST:PORT TIME" a line).
std::int64_t LastAttach(const std::string &home, const std::string &address);
bool RememberAttach(const std::string &home, const std::string &address, std::int64_t time);
