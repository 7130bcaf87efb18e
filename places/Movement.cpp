#include "places/Movement.h"

#include "places/Coordinates.h"
#include "sdk/Attributes.h"
#include "sdk/ReasonText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Positions near the 32-bit limits (a world may put the bot anywhere) must not wrap around.
int Saturate(std::int64_t value) {
    if (value > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    if (value < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

int Offset(int value, int by) { return Saturate(static_cast<std::int64_t>(value) + by); }

// Degrees per radian as the moves have always computed it, from 3.1415926.
constexpr double kDegreesPerRadian = 57.295780490442965;

void Inspector(PlacesOutput &out, const std::string &text) {
    out.AppendChatLine(text, kInspectorColour, false, false, false, true);
}

void Recentre(PlacesSdk &sdk, PlacesOutput &out) { out.SetMapCentre(sdk.GetInt(kAttrMyX), sdk.GetInt(kAttrMyZ)); }

void Write(PlacesSdk &sdk, const std::vector<AttributeWrite> &writes) {
    for (const auto &w : writes) {
        sdk.SetInt(w.attribute, w.value);
    }
}

} // namespace

std::vector<AttributeWrite> MoveWrites(MoveCommand command, const Position &bot) {
    switch (command) {
    case MoveCommand::North:
        return {{kAttrMyZ, Offset(bot.z, kStepCentimetres)}, {kAttrMyYaw, 0}};
    case MoveCommand::South:
        return {{kAttrMyZ, Offset(bot.z, -kStepCentimetres)}, {kAttrMyYaw, 1800}};
    case MoveCommand::West:
        return {{kAttrMyX, Offset(bot.x, kStepCentimetres)}, {kAttrMyYaw, 900}};
    case MoveCommand::East:
        return {{kAttrMyX, Offset(bot.x, -kStepCentimetres)}, {kAttrMyYaw, 2700}};
    case MoveCommand::Up:
        return {{kAttrMyY, Offset(bot.y, kStepCentimetres)}};
    case MoveCommand::Down:
        return {{kAttrMyY, Offset(bot.y, -kStepCentimetres)}};
    case MoveCommand::FaceNorth:
        return {{kAttrMyYaw, 0}};
    case MoveCommand::FaceSouth:
        return {{kAttrMyYaw, 1800}};
    case MoveCommand::FaceWest:
        return {{kAttrMyYaw, 900}};
    case MoveCommand::FaceEast:
        return {{kAttrMyYaw, 2700}};
    }
    return {};
}

bool MoveRecentres(MoveCommand command) {
    return command == MoveCommand::North || command == MoveCommand::South || command == MoveCommand::West ||
           command == MoveCommand::East;
}

double BearingFromNorth(double dz, double dx) {
    const double r = std::sqrt(dz * dz + dx * dx);
    if (r == 0.0) {
        return 0.0;
    }
    // Rounding in r may push the ratio a hair past 1 for huge coordinates; acos would then give nan.
    const double a = std::acos(std::clamp(dz / r, -1.0, 1.0));
    return dx > 0.0 ? a : 4.0 * std::acos(0.0) - a;
}

int BearingYaw(double bearing) { return static_cast<int>(bearing * kDegreesPerRadian) * 10; }

std::vector<AttributeWrite> JoinAvatarWrites(const Position &target) {
    const double t = BearingFromNorth(target.z, target.x);
    const double u = t + 3.1415926;
    const int dz = static_cast<int>(200.0 * std::cos(u));
    const int dx = static_cast<int>(200.0 * std::sin(u));
    return {{kAttrMyX, Offset(target.x, dx)},
            {kAttrMyY, target.y},
            {kAttrMyZ, Offset(target.z, dz)},
            {kAttrMyYaw, BearingYaw(t)}};
}

int FaceAvatarYaw(const Position &bot, int x, int z) {
    // In double: the difference of two 32-bit coordinates need not fit 32 bits.
    const double dx = static_cast<double>(x) - bot.x;
    const double dz = static_cast<double>(z) - bot.z;
    return BearingYaw(BearingFromNorth(dz, dx));
}

std::string TeleportPrefill(const Position &bot) {
    std::string text = FormatCoordinates(bot.z, bot.x, bot.y, bot.yaw);
    // Zero is written "0.0N 0.0W"; this form marks it "S" and "E" instead (both read back as 0).
    if (bot.z == 0) {
        text[3] = 'S';
    }
    if (bot.x == 0) {
        text[text.find(' ') + 4] = 'E';
    }
    return text;
}

TeleportTarget ReadLocation(std::string_view text) {
    TeleportTarget target;
    ParseLocation(text, target.world, target.position.z, target.position.x, target.position.y, target.position.yaw);
    return target;
}

TeleportTarget ReadTeleportFields(std::string_view world, std::string_view coordinates) {
    std::string joined(world);
    joined += ' ';
    joined += coordinates;
    return ReadLocation(joined);
}

std::string MoveFailureText(int result) {
    return "Avatar Inspector: Unable to move avatar (reason: " + ReasonText(result) + ").";
}

void RunMenuMove(MoveCommand command, PlacesSdk &sdk, PlacesOutput &out) {
    Write(sdk, MoveWrites(command, ReadBotPosition(sdk)));
    const int result = sdk.StateChange();
    if (result != 0) {
        Inspector(out, MoveFailureText(result));
        return;
    }
    if (MoveRecentres(command)) {
        Recentre(sdk, out);
    }
    Inspector(out, kMoveSuccessText);
}

void RunMapStep(MoveCommand command, PlacesSdk &sdk, PlacesOutput &out) {
    Write(sdk, MoveWrites(command, ReadBotPosition(sdk)));
    sdk.StateChange();
    Recentre(sdk, out);
}

void RunJoinAvatar(const std::optional<Position> &target, PlacesSdk &sdk, PlacesOutput &out) {
    if (!target) {
        return;
    }
    Write(sdk, JoinAvatarWrites(*target));
    const int result = sdk.StateChange();
    if (result != 0) {
        Inspector(out, MoveFailureText(result));
        return;
    }
    Inspector(out, kJoinSuccessText);
    Recentre(sdk, out);
}

void RunFaceAvatar(const std::optional<Position> &target, PlacesSdk &sdk) {
    if (!target) {
        return;
    }
    const Position bot{sdk.GetInt(kAttrMyX), 0, sdk.GetInt(kAttrMyZ), 0};
    sdk.SetInt(kAttrMyYaw, FaceAvatarYaw(bot, target->x, target->z));
    sdk.StateChange();
}
