// avatars.txt as any editor or accident may leave it: whatever reads as a table writes out and reads back as the
// same table, lines it could not read included, and every world finds its own number.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "places/AvatarTable.h"

#include <string>
#include <string_view>

int FuzzAvatarTable(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    AvatarTable loaded;
    loaded.LoadText(text);
    const std::string saved = loaded.SaveText();

    AvatarTable again;
    again.LoadText(saved);
    FUZZ_CHECK(again.Entries() == loaded.Entries(), "the table reads back as it was saved");
    FUZZ_CHECK(again.SaveText() == saved, "a second save writes the same file");

    for (const AvatarEntry &entry : loaded.Entries()) {
        FUZZ_CHECK(loaded.LookupAvatar(entry.world) == entry.avatar, "each world finds its own number");
    }
    return 0;
}
