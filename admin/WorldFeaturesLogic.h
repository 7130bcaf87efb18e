#pragma once

#include "admin/AdminSdk.h"
#include "admin/AttributeFields.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace WorldFeaturesText {
inline constexpr const char *Title = "World Features";
inline constexpr const char *Unknown = "Unknown";
inline constexpr const char *Never = "Never";
inline constexpr const char *Changed = "World options changed.";
inline constexpr const char *NotChanged = "Unable to change world options.";
inline constexpr const char *InternalErrorTitle = "Gabbler";
inline constexpr const char *InternalError = "Gabbler internal error.  Unable to save world options.";
inline constexpr const char *Custom = "Custom";
} // namespace WorldFeaturesText

// The read-only information under the fields; "Unknown" on world servers before build 28.
struct WorldInfoTexts {
    std::string size = WorldFeaturesText::Unknown;
    std::string maxUsers = WorldFeaturesText::Unknown;
    std::string objectCount = WorldFeaturesText::Unknown;
    std::string expiration = WorldFeaturesText::Unknown;
};

struct BackdropColour {
    int red = 0;
    int green = 0;
    int blue = 0;
};

// "World Features": the current world's attributes, editable by its caretakers and sent back with one world
// attributes change.
class WorldFeaturesLogic {
public:
    WorldFeaturesLogic(AdminSdk &sdk, AdminPrompt &prompt, ChatLineWriter writeLine);

    // The fields in the dialog's order.
    static std::span<const AttributeField> Fields();
    // The cell data limit list's entries by index, and the limits they stand for.
    static constexpr int kHuge = 0, kLarge = 1, kNormal = 2, kCustom = 3;

    // Reads every field, the colour and, from build 28 on, the information texts.
    void Open();

    const std::vector<FieldValue> &Values() const { return values_; }
    bool FieldEnabled(std::size_t field) const;
    // "Huge", "Large", "Normal", and "Custom" when the world's limit is none of those.
    std::vector<std::string> ListEntries(std::size_t field) const;
    bool OkEnabled() const { return caretaker_; }
    bool ChangeColourEnabled() const { return caretaker_; }
    bool SetToMyLocationEnabled() const { return caretaker_ && build_ > 38; }
    const WorldInfoTexts &Info() const { return info_; }
    BackdropColour Colour() const { return colour_; }
    bool HasCustomCellLimit() const { return hasCustomLimit_; }
    int CustomCellLimit() const { return customCellLimit_; }

    // The colour picker's choice: written to the attributes at once, sent with the next world attributes change.
    void ChangeColour(BackdropColour colour);
    // The bot's position as coordinate text, for "Entry Point:".
    std::string MyLocationText();
    // Sends the controls' values; true when the dialog closes. Values are in Fields() order.
    bool Ok(const std::vector<FieldValue> &controls);

    // The limit a named cell data limit entry stands for; nothing for no entry.
    static std::optional<int> CellLimitOfEntry(int index);
    static WorldInfoTexts InfoTexts(int size, int maxUsers, int objectCount, int expiration);

private:
    std::size_t IndexOf(int attribute) const;

    AdminSdk &sdk_;
    AdminPrompt &prompt_;
    ChatLineWriter writeLine_;
    std::vector<FieldValue> values_;
    WorldInfoTexts info_;
    BackdropColour colour_;
    int customCellLimit_ = 0;
    bool hasCustomLimit_ = false; // the world's limit is none of the named sizes (0 is a custom limit too)
    int ratingRead_ = 0;
    int build_ = 0;
    bool caretaker_ = false;
};
