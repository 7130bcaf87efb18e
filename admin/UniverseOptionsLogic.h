#pragma once

#include "admin/AdminSdk.h"
#include "admin/AttributeFields.h"

#include <span>
#include <string>
#include <vector>

namespace UniverseOptionsText {
inline constexpr const char *Title = "Gabbler";
inline constexpr const char *Caution =
    "You must use extreme caution when modifying the universe options.\nDo you wish to proceed?";
inline constexpr const char *Changed = "Universe options changed.";
inline constexpr const char *NotChanged = "Unable to change universe options.";
} // namespace UniverseOptionsText

// "Universe Attributes": the universe server's settings, editable by citizen 1 only.
class UniverseOptionsLogic {
public:
    // loginCitizen: the citizen number the bot logged in with.
    UniverseOptionsLogic(AdminSdk &sdk, AdminPrompt &prompt, ChatLineWriter writeLine, int loginCitizen);

    // The fields in the dialog's order; each row's group title is in Group().
    static std::span<const AttributeField> Fields();
    static const char *Group(std::size_t field);

    void Open();
    const std::vector<FieldValue> &Values() const { return values_; }
    bool FieldEnabled(std::size_t field) const;
    bool OkEnabled() const { return administrator_; }

    // Asks for caution, then sends; true when the dialog closes (false on No: the edits stay).
    bool Ok(const std::vector<FieldValue> &controls);

private:
    AdminSdk &sdk_;
    AdminPrompt &prompt_;
    ChatLineWriter writeLine_;
    std::vector<FieldValue> values_;
    bool administrator_ = false;
};
