#pragma once

#include <string>

// The universe a new profile, or an empty universe text, points at: a universe server on this machine. Port 0
// means the SDK's default port.
inline constexpr const char *kDefaultUniverseHost = "localhost";

// One saved login, fields in the order of its line in profiles.txt.
struct LoginProfile {
    std::string name; // unique without regard to letter case
    int citizen = 0;
    std::string privilegePassword; // plain text, which is why the file is private to its owner
    std::string botName;
    std::string universeHost = kDefaultUniverseHost;
    int universePort = 0;
    std::string world;
    std::string coordinates = "0n 0e";

    bool operator==(const LoginProfile &) const = default;
};
