#include "admin/WorldRightsLogic.h"

#include "admin/AdminText.h"
#include "admin/WorldFeaturesLogic.h"
#include "chat/ChatPane.h"
#include "sdk/Attributes.h"

namespace {

constexpr RightField kFields[] = {
    {"Enter:", kAttrWorldEnterRight, 0, false},
    {"Build:", kAttrWorldBuildRight, 0, false},
    {"Eminent Domain:", kAttrWorldEminentDomainRight, 0, false},
    {"Special Objects:", kAttrWorldSpecialObjectsRight, 0, false},
    {"Special Commands:", kAttrWorldSpecialCommandsRight, 28, true},
    {"Public Speaker:", kAttrWorldPublicSpeakerRight, 0, false},
    {"Eject:", kAttrWorldEjectRight, 0, false},
    {"Bot Rights:", kAttrWorldBotsRight, 17, true},
    {"Speech Rights:", kAttrWorldSpeechRight, 17, true},
};

constexpr int kWriteOrder[] = {
    kAttrWorldBuildRight, kAttrWorldEminentDomainRight,  kAttrWorldEjectRight,
    kAttrWorldEnterRight, kAttrWorldPublicSpeakerRight,  kAttrWorldSpeechRight,
    kAttrWorldBotsRight,  kAttrWorldSpecialObjectsRight, kAttrWorldSpecialCommandsRight,
};

} // namespace

WorldRightsLogic::WorldRightsLogic(AdminSdk &sdk, AdminPrompt &prompt, ChatLineWriter writeLine)
    : sdk_(sdk), prompt_(prompt), writeLine_(std::move(writeLine)), read_(std::size(kFields)),
      texts_(std::size(kFields)) {}

std::span<const RightField> WorldRightsLogic::Fields() { return kFields; }

std::string WorldRightsLogic::Summary(const RightField &field, const std::string &list) {
    if (list.find('*') != std::string::npos) {
        return WorldRightsText::Everyone;
    }
    if (!field.summaryOnly) {
        return list;
    }
    return list.empty() ? WorldRightsText::Nobody : WorldRightsText::Restricted;
}

void WorldRightsLogic::Open() {
    caretaker_ = sdk_.GetBool(kAttrWorldCaretaker);
    build_ = sdk_.GetInt(kAttrWorldBuildNumber);
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        const RightField &field = kFields[i];
        read_[i] = sdk_.GetString(field.attribute);
        if (!Supported(field)) {
            texts_[i] = WorldRightsText::NotSupported;
        } else {
            texts_[i] = caretaker_ ? read_[i] : Summary(field, read_[i]);
        }
    }
}

bool WorldRightsLogic::FieldEnabled(std::size_t field) const {
    return field < std::size(kFields) && caretaker_ && Supported(kFields[field]);
}

bool WorldRightsLogic::Ok(const std::vector<std::string> &edits) {
    if (!caretaker_ || edits.size() != std::size(kFields)) {
        return false;
    }
    // A list the world server does not keep goes back as it came: sending the notice shown in its place would
    // store that sentence as the world's rights list.
    std::vector<std::string> sent = edits;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (!Supported(kFields[i])) {
            sent[i] = read_[i];
        } else if (const auto message = TooLongMessage(kFields[i].label, kFields[i].attribute, sent[i])) {
            prompt_.ShowError(WorldRightsText::Title, *message);
            return false;
        }
    }
    int written = 0;
    for (const int attribute : kWriteOrder) {
        for (std::size_t i = 0; i < std::size(kFields); ++i) {
            if (kFields[i].attribute == attribute) {
                written |= sdk_.SetString(attribute, sent[i]);
            }
        }
    }
    const int result = written == 0 ? sdk_.WorldAttributesChange() : written;
    writeLine_(result == 0 ? WorldFeaturesText::Changed : WorldFeaturesText::NotChanged, ChatColour::Red, false, false,
               false, true);
    return true;
}
