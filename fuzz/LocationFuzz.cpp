// Location text from the Teleport dialog, teleport.txt or a profile: any text reads without harm, and the text
// form written for what was read reads back as the same place, to the text's resolution (a tenth of a unit, whole
// degrees).

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "places/Coordinates.h"
#include "places/Movement.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool Near(int written, int read) {
    // 50 cm of rounding to the tenth of a unit, and 1 cm of truncation when the text is read back.
    return std::llabs(static_cast<long long>(written) - read) <= 51;
}

} // namespace

int FuzzLocation(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    std::string world = "Before";
    int z = 1, x = 2, y = 3, yaw = 4;
    ParseLocation(text, world, z, x, y, yaw);
    FUZZ_CHECK(world.find(' ') == std::string::npos, "a world name is one token");

    const std::string formatted = FormatCoordinates(z, x, y, yaw);
    std::string world2 = "Unchanged";
    int z2 = 0, x2 = 0, y2 = 0, yaw2 = 0;
    ParseLocation(formatted, world2, z2, x2, y2, yaw2);
    FUZZ_CHECK(world2 == "Unchanged", "coordinate text names no world");
    FUZZ_CHECK(Near(z, z2) && Near(x, x2) && Near(y, y2), "coordinate text reads back as the place it was written for");
    FUZZ_CHECK(yaw2 == yaw / 10 * 10, "the yaw reads back in whole degrees");

    const TeleportTarget target = ReadLocation(text);
    FUZZ_CHECK(target.world.find(' ') == std::string::npos, "a teleport's world is one token");
    (void)MapCornerText(z, x);
    (void)TeleportPrefill(target.position);
    return 0;
}
