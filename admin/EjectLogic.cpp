#include "admin/EjectLogic.h"

#include "admin/AdminText.h"
#include "chat/ChatPane.h"
#include "common/Ipv4.h"
#include "sdk/Attributes.h"
#include "sdk/ReasonText.h"

namespace {
constexpr int kAddressBuild = 21; // world servers before it cannot tell an address
constexpr int kDurations[] = {300, 3600, 86400};
} // namespace

EjectLogic::EjectLogic(AdminSdk &sdk, EjectView &view, ChatLineWriter writeLine, AdminPerson person)
    : sdk_(sdk), view_(view), writeLine_(std::move(writeLine)), person_(std::move(person)) {}

int EjectLogic::DurationSeconds(int choice) {
    return choice >= 0 && choice < static_cast<int>(std::size(kDurations)) ? kDurations[choice] : kDurations[0];
}

void EjectLogic::Show(std::string text) {
    address_ = std::move(text);
    view_.ShowAddress(address_);
}

void EjectLogic::Open() {
    if (sdk_.GetInt(kAttrWorldBuildNumber) < kAddressBuild) {
        Show(EjectText::TooOld);
        return;
    }
    Show(EjectText::Querying);
    sdk_.Request(kCallbackAddressResult, guard_.Wrap([this](int result) { AddressResult(result); }),
                 [this] { return sdk_.AddressRequest(person_.session); });
}

void EjectLogic::AddressResult(int result) {
    if (result != 0) {
        Show(FormatText(EjectText::AddressError, ReasonText(result).c_str()));
        return;
    }
    // The people menu's Lookup IP uses the same callback, so the answer to a request made before this dialog
    // opened can arrive here: it is someone else's address.
    if (sdk_.GetInt(kAttrAvatarSession) != person_.session) {
        return;
    }
    Show(NetworkOrderToDottedText(sdk_.GetInt(kAttrAvatarAddress)));
}

void EjectLogic::Ok(int durationChoice) {
    sdk_.SetInt(kAttrEjectSession, person_.session);
    sdk_.SetInt(kAttrEjectDuration, DurationSeconds(durationChoice));
    sdk_.WorldEject();
    writeLine_(FormatText(EjectText::Attempt, person_.name.c_str(), sdk_.GetInt(kAttrEjectDuration) / 60),
               ChatColour::Teal, false, false, false, true);
}
