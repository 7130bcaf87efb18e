#pragma once

#include <string>

// What "Attach to a Running Bot" in the login dialog hands to the program's start: a headless bot's address
// ("HOST:PORT") and its password, and whether the two speak TLS.
struct AttachChoice {
    std::string address;
    std::string password;
    bool tls = false;
};
