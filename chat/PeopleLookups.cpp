#include "chat/PeopleLookups.h"

#include "chat/AvatarRoster.h"
#include "common/Ipv4.h"
#include "sdk/Attributes.h"
#include "sdk/CallbackRequest.h"
#include "sdk/ReasonText.h"
#include "sdk/Sdk.h"

namespace {

// Worlds from this build on report citizen and privilege numbers with every avatar.
constexpr int kFirstBuildWithCitizenNumbers = 28;

std::string AddressFailure(int code) {
    return "Gabbler is unable to determine the IP address (reason: " + ReasonText(code) + ").";
}

} // namespace

void PeopleLookups::GetCitNumber() {
    if (!context_.HasSelectedUser()) {
        return;
    }
    const PersonSlot &selected = context_.session.selectedUser;
    if (PeopleContext::WorldBuild() >= kFirstBuildWithCitizenNumbers) {
        const AvatarRecord *record = context_.roster.Find(selected.session);
        if (!record) {
            return;
        }
        const std::string name = PlainLine(record->name);
        if (IsBotName(record->name)) {
            context_.Green("Immigration Officer: " + name + " is using the privileges of " +
                           std::to_string(record->privilege) + ".");
        } else if (record->citizen == record->privilege) {
            context_.Green("Immigration Officer: " + name + " is citizen number " + std::to_string(record->citizen) +
                           ".");
        } else {
            context_.Green("Immigration Officer: " + name + " is citizen number " + std::to_string(record->citizen) +
                           ", and using the privileges of " + std::to_string(record->privilege) + ".");
        }
        return;
    }
    context_.Green("Immigration Officer: Looking up citizen number of " + PlainLine(selected.name) + ".");
    RequestCitizen(selected.name, false);
}

void PeopleLookups::GetHomePage() {
    if (!context_.HasSelectedUser()) {
        return;
    }
    const std::string name = context_.session.selectedUser.name;
    context_.Green("Immigration Officer: Looking up home page of " + PlainLine(name) + ".");
    RequestCitizen(name, true);
}

void PeopleLookups::RequestCitizen(const std::string &name, bool homePage) {
    // The answer is reported against the person asked about, even if another row is selected by the time it comes.
    const std::string shown = PlainLine(name);
    const auto failure = [shown, homePage] {
        return homePage ? "Immigration Officer: Unable to lookup the home page of " + shown + "."
                        : "Immigration Officer: Unable to lookup " + shown + ".";
    };
    const auto answer = guard_.Wrap([this, failure, homePage](int result) {
        SdkSetCallbackHandler(kCallbackCitizenResult, {});
        if (result != 0) {
            // A look-up that never reached the server says why; "unable to lookup" alone would suggest no such
            // citizen.
            context_.Green(IsUnanswered(result) ? WithReasonText(failure(), result) : failure());
            return;
        }
        const std::string citizenName = PlainLine(SdkGetString(kAttrCitizenName));
        if (!homePage) {
            context_.Green("Immigration Officer: " + citizenName + " has a citizen number of " +
                           std::to_string(SdkGetInt(kAttrCitizenNumber)) + ".");
            return;
        }
        const std::string address = SdkGetString(kAttrCitizenHomePage);
        context_.Green(address.empty()
                           ? citizenName + " does not have a home page set."
                           : "Immigration Officer: " + citizenName + "'s home page is  " + PlainLine(address));
    });
    SdkRequestWithCallback(kCallbackCitizenResult, answer, [&name] { return SdkCitizenByName(name); });
}

void PeopleLookups::LookupIp() {
    if (!context_.HasSelectedUser()) {
        return;
    }
    const auto answer = guard_.Wrap([this](int result) {
        SdkSetCallbackHandler(kCallbackAddressResult, {});
        if (result != 0) {
            context_.Green(AddressFailure(result));
            return;
        }
        const AvatarRecord *record = context_.roster.Find(SdkGetInt(kAttrAvatarSession));
        const std::string name = record ? PlainLine(record->name) : "That user";
        context_.Green("Immigration Officer: " + name + " has an IP of " +
                       NetworkOrderToDottedText(SdkGetInt(kAttrAvatarAddress)));
    });
    const int session = context_.session.selectedUser.session;
    SdkRequestWithCallback(kCallbackAddressResult, answer, [session] { return SdkAddressRequest(session); });
}

void PeopleLookups::OnAvatarClick() {
    if (SdkGetInt(kAttrClickedSession) != SdkSession()) {
        return;
    }
    const std::string name = SdkGetString(kAttrAvatarName);
    const int session = SdkGetInt(kAttrAvatarSession);
    if (context_.settings.showAvClicks) {
        context_.Green("Immigration Officer: " + PlainLine(name) + " just clicked on you.");
    }
    context_.Tell({PeopleEvent::Kind::Click, name, session, {}, {}});
}

void PeopleLookups::OnUrl() {
    const std::string name = SdkGetString(kAttrAvatarName);
    const std::string url = SdkGetString(kAttrUrl);
    const int session = SdkGetInt(kAttrAvatarSession);
    context_.Green("Immigration Officer: " + PlainLine(name) + " just sent you the URL: " + PlainLine(url));
    context_.Tell({PeopleEvent::Kind::Url, name, session, {}, url});
}
