#pragma once

#include "common/AtomicFile.h"
#include "places/TextLines.h"
#include "places/NameCompare.h"
#include "places/Position.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One remembered place. The location is "world coordinates" text; it never holds a colon when read from the file,
// while the name may.
struct TeleportEntry {
    std::string name;
    std::string location;
    bool operator==(const TeleportEntry &) const = default;
};

inline constexpr const char *kTeleportListCaption = "Gabbler Teleport List";
inline constexpr const char *kEmptyTeleportNameText = "You must enter in a name for the teleport.";
std::string DeleteTeleportQuestion(std::string_view name); // "Are you sure you wish to delete '%s' ?"

// The remembered places, kept sorted by name. teleport.txt holds one "location:name" line per place, split at the
// first colon; rows are addressed by their position in the sorted order.
class TeleportList {
public:
    // Empties the list and reads the file. A missing file is an empty list; so is an unreadable one, but then
    // Save leaves that file alone and writes the places remembered in the run to KeptPath() instead, as
    // LoadMessage() tells the user.
    void Load(const std::string &path);
    const std::string &LoadMessage() const { return kept_.message; }
    const std::string &KeptPath() const { return kept_.path; }
    void LoadText(std::string_view content);

    // Replaces the file with every row in order, "location:name" and CR LF each.
    FileResult Save(const std::string &path) const;
    std::string SaveText() const;

    // "location:name" becomes a row in its sorted place; empty text or text without a colon adds nothing.
    std::optional<std::size_t> AddLine(std::string_view line);

    // The bot's current world and position under a name; nothing for an empty name.
    std::optional<std::size_t> Remember(std::string_view world, const Position &bot, std::string_view name);

    // Replaces a row by the line "location:name" (so a colon typed into the location moves its rest into the
    // name). Nothing when the row does not exist.
    std::optional<std::size_t> Edit(std::size_t row, std::string_view location, std::string_view name);

    bool Delete(std::size_t row);

    // Where a click on the row leads, read from its location.
    std::optional<TeleportTarget> Destination(std::size_t row) const;

    std::size_t Size() const { return rows_.size(); }
    const TeleportEntry &Row(std::size_t row) const { return rows_.at(row); }
    const std::vector<TeleportEntry> &Rows() const { return rows_; }

    // The line Remember adds: "world coordinates:name".
    static std::string RememberLine(std::string_view world, const Position &bot, std::string_view name);

private:
    std::vector<TeleportEntry> rows_;
    NameOrder order_;       // the same wherever rows are placed
    KeptFile kept_;
};
