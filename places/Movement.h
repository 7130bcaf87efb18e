#pragma once

#include "places/PlacesSdk.h"
#include "places/Position.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The hand-driven moves of the bot: 5 m steps, compass turns, the Teleport dialog's text, and stepping next to or
// turning toward another avatar. The arithmetic is pure; the Run* commands write the bot's attributes through
// PlacesSdk, commit them and report through PlacesOutput.

enum class MoveCommand { North, South, West, East, Up, Down, FaceNorth, FaceSouth, FaceWest, FaceEast };

constexpr int kStepCentimetres = 500;

// One SdkSetInt: which attribute, and the value.
struct AttributeWrite {
    int attribute = 0;
    int value = 0;
    bool operator==(const AttributeWrite &) const = default;
};

// The attributes a step or turn writes, in the order they are written. Coordinates saturate at the 32-bit limits.
std::vector<AttributeWrite> MoveWrites(MoveCommand command, const Position &bot);

// Only the four horizontal steps move the map's centre.
bool MoveRecentres(MoveCommand command);

// The bearing of (dz, dx) counted from north toward west, in radians within 0 to 2 pi (2 pi itself possible for
// due north of a point at x 0); 0 for the zero vector.
double BearingFromNorth(double dz, double dx);

// Yaw in tenths of a degree for a bearing: whole degrees, truncated.
int BearingYaw(double bearing);

// Stepping next to an avatar at target: 2 m short of it on the side toward the world's origin, at its height,
// facing it. Writes x, y, z, yaw in that order.
std::vector<AttributeWrite> JoinAvatarWrites(const Position &target);

// The yaw that turns the bot at bot toward the point (x, z).
int FaceAvatarYaw(const Position &bot, int x, int z);

// The Teleport dialog's pre-filled coordinates: the coordinate text, but with "S" for z 0 and "E" for x 0.
std::string TeleportPrefill(const Position &bot);

// Location text read from an all-zero start: what a remembered place or the Teleport dialog leads to.
TeleportTarget ReadLocation(std::string_view text);

// The Teleport dialog's two fields joined with one blank and read as one location.
TeleportTarget ReadTeleportFields(std::string_view world, std::string_view coordinates);

// Chat-pane texts of the moves.
inline constexpr const char *kMoveSuccessText = "Avatar Inspector: Avatar move successful.";
inline constexpr const char *kJoinSuccessText = "Avatar Inspector: Avatar join succcessful.";
std::string MoveFailureText(int result);

// A step or turn from the menu: writes, commits, recentres the map after a committed horizontal step, and
// reports the outcome in the chat pane.
void RunMenuMove(MoveCommand command, PlacesSdk &sdk, PlacesOutput &out);

// A step from the map window: writes and commits without looking at the result, then recentres the map on the
// bot's attributes whatever they now are. No chat line.
void RunMapStep(MoveCommand command, PlacesSdk &sdk, PlacesOutput &out);

// Join Avatar with the target's position, or nothing when the target is no longer present.
void RunJoinAvatar(const std::optional<Position> &target, PlacesSdk &sdk, PlacesOutput &out);

// Face Avatar: turns toward the target; the result is not looked at and nothing is reported.
void RunFaceAvatar(const std::optional<Position> &target, PlacesSdk &sdk);
