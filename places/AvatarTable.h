#pragma once

#include "common/AtomicFile.h"
#include "places/TextLines.h"
#include "places/PlacesSdk.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The avatar model number the bot last took in each world, in the order the worlds were first recorded.
struct AvatarEntry {
    std::string world;
    int avatar = 0;
    bool operator==(const AvatarEntry &) const = default;
};

// avatars.txt holds one "world:number" line per world. Reading stops at the first line without a colon; the
// lines from there on are kept as they are and written back after the table, so a stray line never costs the
// entries behind it.
class AvatarTable {
public:
    // An unreadable file is left alone: Save then writes the numbers recorded in the run to KeptPath() instead, as
    // LoadMessage() tells the user.
    void Load(const std::string &path);
    const std::string &LoadMessage() const { return kept_.message; }
    const std::string &KeptPath() const { return kept_.path; }
    void LoadText(std::string_view content);

    // Nothing is written while the table is empty, so an earlier file survives a run that learnt nothing. A world
    // whose name cannot stand on one "world:number" line (a colon, a line end) is kept in memory only.
    FileResult Save(const std::string &path) const;
    std::string SaveText() const;

    // The number recorded for a world (letter case ignored, in any script), or 0.
    int LookupAvatar(std::string_view world) const;

    // Sets the world's number, or appends the world; the name keeps its first spelling.
    void RecordAvatar(std::string_view world, int avatar);

    const std::vector<AvatarEntry> &Entries() const { return entries_; }
    bool Empty() const { return entries_.empty(); }

private:
    std::vector<AvatarEntry> entries_;
    std::string unread_;    // the file from its first line without a colon on, as read
    KeptFile kept_;
};

// The decimal integer at the start of text as atoi reads it (blanks, sign, digits; none gives 0), saturating at
// the 32-bit limits instead of overflowing.
int LeadingInteger(std::string_view text);

// Avatar numbers 0 to 250 are ordinary models; the others may be copied only with the public-speaker right.
bool IsSpecialAvatar(int avatar);

// The number typed into the Change Avatar dialog: digits only, within 32 bits; nothing otherwise.
std::optional<int> ParseAvatarNumber(std::string_view text);

inline constexpr const char *kAvatarChangeSuccessText = "Avatar Inspector: Avatar change successful.";
inline constexpr const char *kSpecialAvatarText = "Sorry, that user is using a special avatar.";
inline constexpr const char *kEnterIntegerText = "Please enter an integer.";
std::string AvatarChangeFailureText(int result);
std::string AvatarCopySuccessText(std::string_view name);

// The Change Avatar dialog's OK: takes the number and, when the world accepts it, records it for the current
// world.
void RunChangeAvatar(int avatar, PlacesSdk &sdk, AvatarTable &table, PlacesOutput &out);

// Copy Avatar of the selected user: avatarType is that user's model number, or nothing when the user has left.
// The number is recorded for the current world even when the world refuses it.
void RunCopyAvatar(std::string_view selectedName, const std::optional<int> &avatarType, PlacesSdk &sdk,
                   AvatarTable &table, PlacesOutput &out);
