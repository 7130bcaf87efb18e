#pragma once

// Rights lists as the worlds hold them: citizen numbers separated by commas or blanks, "*" meaning everyone. The
// server reads them the way the client does, token by token: a token containing "*" grants everyone, a token
// whose leading decimal value equals the citizen number grants that citizen.

#include <string_view>

bool RightsListGrants(std::string_view list, int citizen);

// The rights one person holds in one world.
struct WorldRights {
    bool caretaker = false;
    bool enter = false;
    bool bots = false; // may bring a bot in
    bool build = false;
    bool eject = false;
    bool publicSpeaker = false;
    bool speech = false;
    bool eminentDomain = false;
};
