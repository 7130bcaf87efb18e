#include "admin/TeleportUserLogic.h"

#include "admin/AdminText.h"
#include "common/TextCase.h"
#include "places/Coordinates.h"
#include "sdk/Attributes.h"

TeleportUserLogic::TeleportUserLogic(AdminSdk &sdk, AdminPerson person, std::string proposedCoordinates)
    : sdk_(sdk), person_(std::move(person)), world_(sdk.GetString(kAttrWorldName)),
      coordinates_(std::move(proposedCoordinates)) {}

std::string TeleportUserLogic::MoveText() const { return FormatText(TeleportUserText::Move, person_.name.c_str()); }

void TeleportUserLogic::Ok(const std::string &world, const std::string &coordinates, bool warp) {
    std::string ignoredWorld;
    int x = 0, y = 0, z = 0, yaw = 0;
    ParseLocation(coordinates, ignoredWorld, z, x, y, yaw);
    sdk_.SetInt(kAttrTeleportX, x);
    sdk_.SetInt(kAttrTeleportY, y);
    sdk_.SetInt(kAttrTeleportZ, z);
    sdk_.SetInt(kAttrTeleportYaw, yaw);
    // The current world, however it is spelt, means a move within it.
    sdk_.SetString(kAttrTeleportWorld, EqualsNoCase(world, sdk_.GetString(kAttrWorldName)) ? std::string() : world);
    sdk_.SetBool(kAttrTeleportWarp, warp);
    sdk_.Teleport(person_.session);
}
