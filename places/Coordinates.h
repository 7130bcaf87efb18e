#pragma once

#include <string>
#include <string_view>

// The one text form of a place: "40N 50W 2a 180" is z 40000 cm, x 50000 cm, y 2000 cm, yaw 1800 (tenths of a
// degree). One text unit is 1000 cm; the yaw is written in whole degrees. The decimal point is always ".".

// Reads location or coordinate text. Each output is written only when the text holds a token for it; unknown
// tokens are skipped. Numbers too large for 32 bits saturate.
void ParseLocation(std::string_view text, std::string &world, int &z, int &x, int &y, int &yaw);

// "%.1f%s %.1f%s %.1fa %d": north-south, west-east, altitude, whole degrees.
std::string FormatCoordinates(int z, int x, int y, int yaw);

// The three-decimal text of a map point, "%d.%03d%s %d.%03d%s" ("1.500S 6.000W").
std::string MapCornerText(int z, int x);

// The coordinate text of another avatar (FormatAvatarCoordinates) needs the avatar roster and lives beside it.
