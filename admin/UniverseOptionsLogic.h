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
    // What a line break of a multi-line field weighs when sent: 2 when the stored text used CR LF.
    std::size_t LineBreakSize(std::size_t field) const;
    bool OkEnabled() const { return administrator_; }

    // Refuses an over-long text, then asks for caution, then sends; true when the dialog closes (false on No: the
    // edits stay). A multi-line edit gives its line breaks back as LF: a text stored with CR LF is sent with CR LF.
    bool Ok(const std::vector<FieldValue> &controls);

private:
    AdminSdk &sdk_;
    AdminPrompt &prompt_;
    ChatLineWriter writeLine_;
    std::vector<FieldValue> values_;
    std::vector<bool> crlf_; // per field: the stored text broke its lines with CR LF
    bool administrator_ = false;
};
