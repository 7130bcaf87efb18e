// teleport.txt as any editor or accident may leave it: whatever reads as places writes out and reads back as the
// same places in the same order, and every place leads somewhere without harm.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "places/TeleportList.h"

#include <string>
#include <string_view>

int FuzzTeleportList(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    TeleportList loaded;
    loaded.LoadText(text);
    const std::string saved = loaded.SaveText();

    TeleportList again;
    again.LoadText(saved);
    FUZZ_CHECK(again.Rows() == loaded.Rows(), "the places read back as they were saved, in the same order");
    FUZZ_CHECK(again.SaveText() == saved, "a second save writes the same file");

    for (std::size_t row = 0; row < loaded.Size(); ++row) {
        FUZZ_CHECK(loaded.Row(row).location.find(':') == std::string::npos,
                   "a location read from the file has no colon");
        FUZZ_CHECK(loaded.Destination(row).has_value(), "every row has a destination");
    }
    return 0;
}
