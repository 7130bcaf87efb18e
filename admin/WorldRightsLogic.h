#pragma once

#include "admin/AdminSdk.h"

#include <span>
#include <string>
#include <vector>

namespace WorldRightsText {
inline constexpr const char *Title = "World Rights";
inline constexpr const char *NotSupported = "This world does not support this attribute.";
inline constexpr const char *Everyone = "Everyone";
inline constexpr const char *Restricted = "Restricted";
inline constexpr const char *Nobody = "Nobody";
} // namespace WorldRightsText

struct RightField {
    const char *label;
    int attribute;
    int neededBuild; // the world server build from which the world keeps this list
    // Non-caretakers see only whether anyone holds the right, not the list.
    bool summaryOnly;
};

// "World Rights": who holds each right of the current world. Caretakers see and edit the lists; everyone else sees
// a summary.
class WorldRightsLogic {
public:
    WorldRightsLogic(AdminSdk &sdk, AdminPrompt &prompt, ChatLineWriter writeLine);

    // The lists in the dialog's order; "World Build:" follows them.
    static std::span<const RightField> Fields();

    void Open();

    // The texts shown, in Fields() order.
    const std::vector<std::string> &Texts() const { return texts_; }
    bool FieldEnabled(std::size_t field) const;
    std::string WorldBuildText() const { return std::to_string(build_); }
    bool OkEnabled() const { return caretaker_; }

    // Sends the lists as the edits hold them (in Fields() order); true when the dialog closes.
    bool Ok(const std::vector<std::string> &edits);

    // What a non-caretaker sees for a list.
    static std::string Summary(const RightField &field, const std::string &list);

private:
    bool Supported(const RightField &field) const { return build_ >= field.neededBuild; }

    AdminSdk &sdk_;
    AdminPrompt &prompt_;
    ChatLineWriter writeLine_;
    std::vector<std::string> read_;
    std::vector<std::string> texts_;
    int build_ = 0;
    bool caretaker_ = false;
};
