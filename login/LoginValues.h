#pragma once

#include <optional>
#include <string>

// What the login dialog hands to the bot start when the user presses Login. Left as they are (empty and 0) when
// the dialog is closed any other way; the bot start then stops at its first check.
struct LoginValues {
    int citizen = 0;
    std::string privilegePassword;
    std::string botName;
    std::string world;
    // The start position, as in Position: z north-south and x west-east (north and west positive) and y altitude,
    // in centimetres; yaw in tenths of a degree.
    int startZ = 0;
    int startX = 0;
    int startY = 0;
    int startYaw = 0;
    std::string universeHost;
    int universePort = 0; // 0: the SDK's default port
    // The avatar to start with, when given; otherwise the one remembered for the world. A window that attaches to a
    // running bot starts with the bot's own, so that attaching never changes how the bot looks.
    std::optional<int> startAvatar;
    bool operator==(const LoginValues &) const = default;
};
