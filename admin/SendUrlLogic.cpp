#include "admin/SendUrlLogic.h"

#include "admin/AdminText.h"
#include "sdk/Attributes.h"

SendUrlLogic::SendUrlLogic(AdminSdk &sdk, AdminPrompt &prompt, AdminPerson person)
    : sdk_(sdk), prompt_(prompt), person_(std::move(person)) {}

bool SendUrlLogic::Send(const std::string &url, bool to3dWindow) {
    // The SDK refuses a longer address, and the refusal would go unseen.
    if (url.size() > kMaxStringLength) {
        prompt_.ShowError(SendUrlText::Title, FormatText(SendUrlText::TooLong, kMaxStringLength));
        return false;
    }
    sdk_.UrlSend(person_.session, url, to3dWindow ? SendUrlText::Target3d : "");
    return true;
}
