#include "admin/WorldFeaturesLogic.h"

#include "admin/AdminText.h"
#include "chat/ChatPane.h"
#include "common/Decimal.h"
#include "places/Coordinates.h"
#include "sdk/Attributes.h"

#include <array>

namespace {

using K = FieldKind;
using G = FieldGate;

constexpr AttributeField kFields[] = {
    {"World Teleport Name:", K::Text, kAttrWorldName, G::Never},
    {"Title:", K::Text, kAttrWorldTitle, G::Editor},
    {"Object Path:", K::Text, kAttrWorldObjectPath, G::Editor},
    {"Home Page:", K::Text, kAttrWorldHomePage, G::Editor},
    {"Welcome Message:", K::Text, kAttrWorldWelcomeMessage, G::Editor},
    {"Search Keywords:", K::Text, kAttrWorldKeywords, G::Editor},
    {"Entry Point:", K::Text, kAttrWorldEntryPoint, G::EditorAbove38},
    {"Backdrop:", K::Text, kAttrWorldBackdrop, G::Editor},
    {"Skybox:", K::Text, kAttrWorldSkybox, G::Editor},
    {"Ground:", K::Text, kAttrWorldGround, G::Editor},
    {"Object Refresh:", K::Number, kAttrWorldObjectRefresh, G::Editor},
    {"Restricted Radius:", K::Number, kAttrWorldRestrictedRadius, G::Editor},
    {"Cell Data Limit:", K::List, kAttrWorldCellLimit, G::Editor},
    {"World Rating:", K::List, kAttrWorldRating, G::Editor},
    {"Minimum visibility:", K::Number, kAttrWorldMinimumVisibility, G::Editor},
    {"Max light radius:", K::Number, kAttrWorldMaxLightRadius, G::Editor},
    {"Repeating ground", K::Check, kAttrWorldRepeatingGround, G::Editor},
    {"Allow \"create url\"", K::InvertedCheck, kAttrWorldDisableCreateUrl, G::Editor},
    {"Allow pass-thru (SHIFT)", K::Check, kAttrWorldAllowPassThrough, G::Editor},
    {"Allow flying (+/-)", K::Check, kAttrWorldAllowFlying, G::Editor},
    {"Allow local teleports", K::Check, kAttrWorldAllowTeleport, G::Editor},
    {"Allow object selection", K::Check, kAttrWorldAllowObjectSelect, G::Editor},
    {"Allow tourist whisper", K::Check, kAttrWorldAllowTouristWhisper, G::EditorAbove20},
    {"Enable avatar collision", K::Check, kAttrWorldAvatarCollision, G::Editor},
    {"Enable terrain", K::Check, kAttrWorldEnableTerrain, G::EditorAbove38},
    {"Enable 3-axis rotation", K::Check, kAttrWorldRotation, G::EditorAbove38},
};

constexpr std::array<const char *, 3> kCellLimitNames = {"Huge", "Large", "Normal"};
constexpr std::array<int, 3> kCellLimits = {4000, 2500, 1500};
constexpr std::array<const char *, 4> kRatings = {"G", "PG", "R", "X"};

// The order the world server has always been sent them in.
constexpr int kWriteOrder[] = {
    kAttrWorldBackdrop,
    kAttrWorldGround,
    kAttrWorldHomePage,
    kAttrWorldObjectPath,
    kAttrWorldTitle,
    kAttrWorldWelcomeMessage,
    kAttrWorldEntryPoint,
    kAttrWorldKeywords,
    kAttrWorldSkybox,
    kAttrWorldMinimumVisibility,
    kAttrWorldMaxLightRadius,
    kAttrWorldCellLimit,
    kAttrWorldObjectRefresh,
    kAttrWorldRestrictedRadius,
    kAttrWorldRating,
    kAttrWorldDisableCreateUrl,
    kAttrWorldAllowFlying,
    kAttrWorldAllowObjectSelect,
    kAttrWorldAllowPassThrough,
    kAttrWorldAvatarCollision,
    kAttrWorldAllowTeleport,
    kAttrWorldAllowTouristWhisper,
    kAttrWorldRotation,
    kAttrWorldEnableTerrain,
    kAttrWorldRepeatingGround,
};

constexpr int kInfoBuild = 28;

} // namespace

WorldFeaturesLogic::WorldFeaturesLogic(AdminSdk &sdk, AdminPrompt &prompt, ChatLineWriter writeLine)
    : sdk_(sdk), prompt_(prompt), writeLine_(std::move(writeLine)), values_(std::size(kFields)) {}

std::span<const AttributeField> WorldFeaturesLogic::Fields() { return kFields; }

std::size_t WorldFeaturesLogic::IndexOf(int attribute) const {
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        if (kFields[i].attribute == attribute) {
            return i;
        }
    }
    return 0; // every attribute asked for is in the table
}

void WorldFeaturesLogic::Open() {
    customCellLimit_ = 0;
    hasCustomLimit_ = false;
    build_ = sdk_.GetInt(kAttrWorldBuildNumber);
    caretaker_ = sdk_.GetBool(kAttrWorldCaretaker);
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        const AttributeField &field = kFields[i];
        FieldValue &value = values_[i];
        value = FieldValue{};
        switch (field.kind) {
        case K::Text:
        case K::MultiLineText:
            value.text = sdk_.GetString(field.attribute);
            break;
        case K::Number:
            value.text = std::to_string(sdk_.GetInt(field.attribute));
            break;
        case K::Check:
            value.checked = sdk_.GetBool(field.attribute);
            break;
        case K::InvertedCheck:
            value.checked = !sdk_.GetBool(field.attribute);
            break;
        case K::List:
            break;
        }
    }

    const int limit = sdk_.GetInt(kAttrWorldCellLimit);
    FieldValue &cell = values_[IndexOf(kAttrWorldCellLimit)];
    for (std::size_t i = 0; i < kCellLimits.size(); ++i) {
        if (kCellLimits[i] == limit) {
            cell.index = static_cast<int>(i);
        }
    }
    if (cell.index < 0) {
        customCellLimit_ = limit;
        hasCustomLimit_ = true;
        cell.index = kCustom;
    }
    // A rating outside the list selects nothing; OK then keeps the world's own value.
    ratingRead_ = sdk_.GetInt(kAttrWorldRating);
    values_[IndexOf(kAttrWorldRating)].index =
        ratingRead_ >= 0 && ratingRead_ < static_cast<int>(kRatings.size()) ? ratingRead_ : -1;

    colour_ = {sdk_.GetInt(kAttrWorldBackdropRed), sdk_.GetInt(kAttrWorldBackdropGreen),
               sdk_.GetInt(kAttrWorldBackdropBlue)};

    info_ = build_ >= kInfoBuild ? InfoTexts(sdk_.GetInt(kAttrWorldSize), sdk_.GetInt(kAttrWorldMaxUsers),
                                             sdk_.GetInt(kAttrWorldObjectCount), sdk_.GetInt(kAttrWorldExpiration))
                                 : WorldInfoTexts{};
}

WorldInfoTexts WorldFeaturesLogic::InfoTexts(int size, int maxUsers, int objectCount, int expiration) {
    WorldInfoTexts info;
    // In 64 bits: a world server may report any size.
    const long long metres = static_cast<long long>(size) * 20;
    info.size = FormatText("%lld x %lld meters", metres, metres);
    info.maxUsers = FormatText("%d users", maxUsers);
    info.objectCount = FormatText("%d objects", objectCount);
    info.expiration = expiration == 0 ? WorldFeaturesText::Never : FormatLocalTime(expiration, "%A, %B %d, %Y %X");
    return info;
}

bool WorldFeaturesLogic::FieldEnabled(std::size_t field) const {
    if (field >= std::size(kFields)) {
        return false;
    }
    if (kFields[field].attribute == kAttrWorldCellLimit && hasCustomLimit_) {
        return false;
    }
    return GateOpen(kFields[field].gate, caretaker_, build_);
}

std::vector<std::string> WorldFeaturesLogic::ListEntries(std::size_t field) const {
    std::vector<std::string> entries;
    if (field >= std::size(kFields)) {
        return entries;
    }
    if (kFields[field].attribute == kAttrWorldCellLimit) {
        entries.assign(kCellLimitNames.begin(), kCellLimitNames.end());
        if (hasCustomLimit_) {
            entries.emplace_back(WorldFeaturesText::Custom);
        }
    } else if (kFields[field].attribute == kAttrWorldRating) {
        entries.assign(kRatings.begin(), kRatings.end());
    }
    return entries;
}

std::optional<int> WorldFeaturesLogic::CellLimitOfEntry(int index) {
    if (index >= 0 && index < static_cast<int>(kCellLimits.size())) {
        return kCellLimits[static_cast<std::size_t>(index)];
    }
    return std::nullopt;
}

void WorldFeaturesLogic::ChangeColour(BackdropColour colour) {
    sdk_.SetInt(kAttrWorldBackdropRed, colour.red);
    sdk_.SetInt(kAttrWorldBackdropGreen, colour.green);
    sdk_.SetInt(kAttrWorldBackdropBlue, colour.blue);
    colour_ = {sdk_.GetInt(kAttrWorldBackdropRed), sdk_.GetInt(kAttrWorldBackdropGreen),
               sdk_.GetInt(kAttrWorldBackdropBlue)};
}

std::string WorldFeaturesLogic::MyLocationText() {
    return FormatCoordinates(sdk_.GetInt(kAttrMyZ), sdk_.GetInt(kAttrMyX), sdk_.GetInt(kAttrMyY),
                             sdk_.GetInt(kAttrMyYaw));
}

bool WorldFeaturesLogic::Ok(const std::vector<FieldValue> &controls) {
    if (!caretaker_ || controls.size() != std::size(kFields)) {
        return false;
    }
    std::vector<FieldValue> sent = controls;
    // A field the world server does not take goes back as it came, whatever the control holds.
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (kFields[i].gate != G::Never && kFields[i].kind != K::List && !FieldEnabled(i)) {
            sent[i] = values_[i];
        }
    }
    const std::optional<int> cellLimit =
        hasCustomLimit_ ? customCellLimit_ : CellLimitOfEntry(sent[IndexOf(kAttrWorldCellLimit)].index);
    if (!cellLimit) {
        prompt_.ShowError(WorldFeaturesText::InternalErrorTitle, WorldFeaturesText::InternalError);
        return false;
    }
    // An over-long text would be refused by the SDK and the world would keep its old value while the dialog
    // reported success; say so before anything is written.
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (kFields[i].kind == K::Text && kFields[i].gate != G::Never) {
            if (const auto message = TooLongMessage(kFields[i].label, kFields[i].attribute, sent[i].text)) {
                prompt_.ShowError(WorldFeaturesText::Title, *message);
                return false;
            }
        }
    }

    int written = 0;
    for (const int attribute : kWriteOrder) {
        const AttributeField &field = kFields[IndexOf(attribute)];
        const FieldValue &value = sent[IndexOf(attribute)];
        int r = 0;
        if (attribute == kAttrWorldCellLimit) {
            r = sdk_.SetInt(attribute, *cellLimit);
        } else if (attribute == kAttrWorldRating) {
            r = sdk_.SetInt(attribute, value.index >= 0 ? value.index : ratingRead_);
        } else if (field.kind == K::Text) {
            r = sdk_.SetString(attribute, value.text);
        } else if (field.kind == K::Number) {
            r = sdk_.SetInt(attribute, ReadDecimal(value.text));
        } else if (field.kind == K::Check) {
            r = sdk_.SetBool(attribute, value.checked);
        } else if (field.kind == K::InvertedCheck) {
            r = sdk_.SetBool(attribute, !value.checked);
        }
        written |= r;
    }
    // Sending after a refused write would report success for values the world never got.
    const int result = written == 0 ? sdk_.WorldAttributesChange() : written;
    writeLine_(result == 0 ? WorldFeaturesText::Changed : WorldFeaturesText::NotChanged, ChatColour::Red, false, false,
               false, true);
    return true;
}
