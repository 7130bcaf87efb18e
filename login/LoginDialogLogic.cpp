#include "login/LoginDialogLogic.h"

#include "common/Decimal.h"
#include "places/Coordinates.h"

#include <algorithm>

namespace {

constexpr const char *kInvalidProfile = "Invalid profile.";
constexpr const char *kDuplicateName = "A profile with that name already exists.";
constexpr const char *kExecutableName = "gabbler";

} // namespace

const char *const LoginDialogLogic::kMisnamedExecutable =
    "The Gabbler executable is not named gabbler.\nAuto upgrade will be disabled.";

LoginDialogLogic::LoginDialogLogic(LoginView &view, std::string profilesPath)
    : view_(view), path_(std::move(profilesPath)) {}

int LoginDialogLogic::UpgradeModeFor(std::string_view executableName) {
    if (executableName == kExecutableName) {
        return 0;
    }
    return SameProfileName(executableName, kExecutableName) ? 2 : 1;
}

void LoginDialogLogic::Open(std::string_view executableName) {
    changed_ = false;
    loadedIndex_ = -1;
    upgradeMode_ = UpgradeModeFor(executableName);
    if (upgradeMode_ == 1) {
        view_.ShowError(kMisnamedExecutable);
    }
    readOk_ = store_.Read(path_);
    box_.clear();
    for (const auto &profile : store_.Profiles()) {
        box_.push_back(profile.name);
    }
    std::sort(box_.begin(), box_.end(),
              [](const std::string &a, const std::string &b) { return ProfileNameLess(a, b); });
    if (box_.empty()) {
        view_.ShowProfileBox(box_, -1);
        view_.SetFieldsEnabled(false);
        return;
    }
    view_.ShowProfileBox(box_, 0);
    view_.SetFieldsEnabled(true);
    Load(0);
}

void LoginDialogLogic::ChooseProfile(int boxIndex, const LoginFields &controls) {
    AskToSave(controls);
    changed_ = false;
    if (boxIndex < 0 || boxIndex >= static_cast<int>(box_.size()) || !store_.Find(box_[boxIndex])) {
        view_.ShowError(kInvalidProfile);
        return;
    }
    Load(boxIndex);
}

void LoginDialogLogic::SaveProfile(const LoginFields &controls) {
    if (loadedIndex_ < 0) {
        return;
    }
    if (LoginProfile *profile = store_.Find(box_[loadedIndex_])) {
        if (CopyFields(controls, *profile)) {
            changed_ = false;
        }
    }
}

void LoginDialogLogic::AddProfile(const LoginFields &controls) {
    AskToSave(controls);
    const auto name = view_.AskProfileName();
    if (!name) {
        return;
    }
    if (const auto refusal = UnsavableFieldMessage("profile name", *name)) {
        view_.ShowError(*refusal + " No profile was added.");
        return;
    }
    LoginProfile profile;
    profile.name = *name;
    profile.universeHost = newProfileUniverse_.host;
    profile.universePort = newProfileUniverse_.port;
    if (!store_.Add(profile)) {
        view_.ShowError(kDuplicateName);
        return;
    }
    const auto at = std::upper_bound(box_.begin(), box_.end(), *name,
                                     [](const std::string &a, const std::string &b) { return ProfileNameLess(a, b); });
    const auto inserted = box_.insert(at, *name);
    const int index = static_cast<int>(inserted - box_.begin());
    view_.ShowProfileBox(box_, index);
    view_.SetFieldsEnabled(true);
    Load(index);
}

LoginValues LoginDialogLogic::Login(const LoginFields &controls) {
    AskToSave(controls);
    WriteFile();
    LoginValues values;
    std::string worldInCoordinates; // the world box decides the world
    ParseLocation(controls.coordinates, worldInCoordinates, values.startZ, values.startX, values.startY,
                  values.startYaw);
    values.citizen = ReadDecimal(controls.citizen);
    values.privilegePassword = controls.privilegePassword;
    values.botName = controls.botName;
    values.world = controls.world;
    const UniverseAddress universe = SplitUniverse(controls.universe);
    values.universeHost = universe.host;
    values.universePort = universe.port;
    Leave();
    return values;
}

void LoginDialogLogic::CloseBox(const LoginFields &controls) {
    AskToSave(controls);
    WriteFile();
    Leave();
}

void LoginDialogLogic::AskToSave(const LoginFields &controls) {
    if (!changed_ || loadedIndex_ < 0) {
        return;
    }
    const std::string &name = box_[loadedIndex_];
    if (!view_.AskYesNo("Do you wish to save changes to '" + name + "'?")) {
        return;
    }
    if (LoginProfile *profile = store_.Find(name)) {
        CopyFields(controls, *profile);
    } else {
        view_.ShowError(kInvalidProfile);
    }
}

bool LoginDialogLogic::CopyFields(const LoginFields &controls, LoginProfile &profile) {
    const UniverseAddress universe = SplitUniverse(controls.universe);
    const std::pair<const char *, const std::string *> checked[] = {{"privilege password", &controls.privilegePassword},
                                                                    {"bot name", &controls.botName},
                                                                    {"world", &controls.world},
                                                                    {"coordinates", &controls.coordinates},
                                                                    {"universe", &universe.host}};
    for (const auto &[what, text] : checked) {
        if (const auto refusal = UnsavableFieldMessage(what, *text)) {
            view_.ShowError(*refusal + " The profile '" + profile.name + "' was not changed.");
            return false;
        }
    }
    profile.botName = controls.botName;
    profile.citizen = ReadDecimal(controls.citizen);
    profile.privilegePassword = controls.privilegePassword;
    profile.coordinates = controls.coordinates;
    profile.world = controls.world;
    profile.universeHost = universe.host;
    profile.universePort = universe.port;
    return true;
}

void LoginDialogLogic::Load(int boxIndex) {
    const LoginProfile *profile = store_.Find(box_[boxIndex]);
    if (!profile) {
        view_.ShowError(kInvalidProfile);
        return;
    }
    loadedIndex_ = boxIndex;
    changed_ = false;
    view_.ShowFields({std::to_string(profile->citizen), profile->privilegePassword, profile->botName, profile->world,
                      profile->coordinates, UniverseText(profile->universeHost, profile->universePort)});
}

void LoginDialogLogic::WriteFile() {
    // A file that exists but could not be read is kept: writing the empty list over it would lose every profile.
    if (!readOk_) {
        view_.ShowError("Cannot read \"" + path_ + "\", so it was left as it is and changes to profiles are lost.");
        return;
    }
    const FileResult written = store_.Write(path_);
    if (!written.ok) {
        view_.ShowError(written.error + " Changes to profiles are lost.");
    }
}

void LoginDialogLogic::Leave() {
    store_.Clear();
    box_.clear();
    loadedIndex_ = -1;
    changed_ = false;
}
