#include "places/AvatarTable.h"

#include "places/NameCompare.h"
#include "places/TextLines.h"
#include "sdk/Attributes.h"
#include "sdk/ReasonText.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

bool Storable(std::string_view world) { return world.find_first_of(std::string_view(":\r\n\0", 4)) == world.npos; }

void Inspector(PlacesOutput &out, const std::string &text) {
    out.AppendChatLine(text, kInspectorColour, false, false, false, true);
}

} // namespace

int LeadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t limit = static_cast<std::int64_t>(std::numeric_limits<int>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), limit);
    }
    if (negative) {
        return static_cast<int>(-value);
    }
    return static_cast<int>(std::min<std::int64_t>(value, std::numeric_limits<int>::max()));
}

bool IsSpecialAvatar(int avatar) { return avatar < 0 || avatar > 250; }

std::optional<int> ParseAvatarNumber(std::string_view text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

void AvatarTable::Load(const std::string &path) {
    entries_.clear();
    unread_.clear();
    const auto content = ReadListFile(path, "The avatar numbers recorded", kept_);
    if (!content) {
        return;
    }
    LoadText(*content);
}

void AvatarTable::LoadText(std::string_view content) {
    entries_.clear();
    unread_.clear();
    for (const auto raw : SplitFileLines(content)) {
        const auto line = Trim(raw);
        if (line.empty()) {
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            // raw views into content, so everything from this line's start on is the unread rest
            unread_ = std::string(content.substr(static_cast<std::size_t>(raw.data() - content.data())));
            if (!unread_.empty() && unread_.back() != '\n' && unread_.back() != '\r') {
                unread_ += "\r\n";
            }
            return;
        }
        RecordAvatar(line.substr(0, colon), LeadingInteger(line.substr(colon + 1)));
    }
}

FileResult AvatarTable::Save(const std::string &path) const {
    if (entries_.empty()) {
        return {};
    }
    // Every entry was recorded in this run, since the file gave none.
    return WriteFileAtomically(kept_.keep ? kept_.path : path, SaveText());
}

std::string AvatarTable::SaveText() const {
    std::string text;
    for (const auto &entry : entries_) {
        if (Storable(entry.world)) {
            text += entry.world;
            text += ':';
            text += std::to_string(entry.avatar);
            text += "\r\n";
        }
    }
    return GuardLeadingMark(text + unread_);
}

int AvatarTable::LookupAvatar(std::string_view world) const {
    for (const auto &entry : entries_) {
        if (SameName(entry.world, world)) {
            return entry.avatar;
        }
    }
    return 0;
}

void AvatarTable::RecordAvatar(std::string_view world, int avatar) {
    for (auto &entry : entries_) {
        if (SameName(entry.world, world)) {
            entry.avatar = avatar;
            return;
        }
    }
    entries_.push_back({std::string(world), avatar});
}

std::string AvatarChangeFailureText(int result) {
    return "Avatar Inspector: Unable to change avatar (reason: " + ReasonText(result) + ").";
}

std::string AvatarCopySuccessText(std::string_view name) {
    return "Avatar Inspector: Change to the avatar of " + std::string(name) + " successful.";
}

void RunChangeAvatar(int avatar, PlacesSdk &sdk, AvatarTable &table, PlacesOutput &out) {
    sdk.SetInt(kAttrMyType, avatar);
    const int result = sdk.StateChange();
    if (result != 0) {
        Inspector(out, AvatarChangeFailureText(result));
        return;
    }
    table.RecordAvatar(sdk.GetString(kAttrWorldName), avatar);
    Inspector(out, kAvatarChangeSuccessText);
}

void RunCopyAvatar(std::string_view selectedName, const std::optional<int> &avatarType, PlacesSdk &sdk,
                   AvatarTable &table, PlacesOutput &out) {
    if (!avatarType) {
        return;
    }
    const int avatar = *avatarType;
    if (IsSpecialAvatar(avatar) && !sdk.GetBool(kAttrWorldPublicSpeaker)) {
        Inspector(out, kSpecialAvatarText);
        return;
    }
    sdk.SetInt(kAttrMyType, avatar);
    const int result = sdk.StateChange();
    table.RecordAvatar(sdk.GetString(kAttrWorldName), avatar);
    if (result != 0) {
        Inspector(out, AvatarChangeFailureText(result));
        return;
    }
    Inspector(out, AvatarCopySuccessText(selectedName));
}
