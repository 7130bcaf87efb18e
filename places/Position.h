#pragma once

#include <string>

// Where an avatar stands: centimetres (x positive west, y up, z positive north) and the facing in tenths of a
// degree (0 north, 900 west, 1800 south, 2700 east).
struct Position {
    int x = 0;
    int y = 0;
    int z = 0;
    int yaw = 0;
    bool operator==(const Position &) const = default;
};

// A world and the position to take there: what a teleport hands to the world entry.
struct TeleportTarget {
    std::string world;
    Position position;
    bool operator==(const TeleportTarget &) const = default;
};
