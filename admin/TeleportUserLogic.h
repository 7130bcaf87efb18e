#pragma once

#include "admin/AdminSdk.h"

#include <string>

namespace TeleportUserText {
inline constexpr const char *Move = "Move %s";
inline constexpr int WorldLimit = 8; // characters "World:" takes
} // namespace TeleportUserText

// "Teleport User": moves one person to a place in this world or another.
class TeleportUserLogic {
public:
    // proposedCoordinates: the person's coordinate text from the avatar roster ("0n 0e" when not there).
    TeleportUserLogic(AdminSdk &sdk, AdminPerson person, std::string proposedCoordinates);

    std::string MoveText() const;
    // The current world's name, read when the dialog opens.
    const std::string &World() const { return world_; }
    const std::string &Coordinates() const { return coordinates_; }

    // OK: sends the person to the place; the result is not reported.
    void Ok(const std::string &world, const std::string &coordinates, bool warp);

private:
    AdminSdk &sdk_;
    AdminPerson person_;
    std::string world_;
    std::string coordinates_;
};
