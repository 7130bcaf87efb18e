// profiles.txt as any editor or accident may leave it: whatever reads as profiles writes out and reads back as
// the same profiles, and no two of them share a name.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "login/ProfileStore.h"

#include <string>
#include <string_view>

int FuzzProfiles(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    ProfileStore loaded;
    loaded.ReadText(text);
    const std::string saved = loaded.Text();

    ProfileStore again;
    again.ReadText(saved);
    FUZZ_CHECK(again.Profiles() == loaded.Profiles(), "the profiles read back as they were saved");
    FUZZ_CHECK(again.Text() == saved, "a second save writes the same file");

    const auto &profiles = loaded.Profiles();
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        FUZZ_CHECK(loaded.Find(profiles[i].name) == &profiles[i], "each name finds its own profile");
        for (std::size_t k = i + 1; k < profiles.size(); ++k) {
            FUZZ_CHECK(!SameProfileName(profiles[i].name, profiles[k].name), "no two profiles share a name");
        }
        // The universe field as the login dialog shows it splits back into the same host and port.
        const LoginProfile &p = profiles[i];
        const UniverseAddress address = SplitUniverse(UniverseText(p.universeHost, p.universePort));
        FUZZ_CHECK(address.port == p.universePort, "the universe port survives its text form");
    }
    return 0;
}
