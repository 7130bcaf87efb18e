#pragma once

#include "admin/AdminSdk.h"

#include <string>

namespace SendUrlText {
inline constexpr const char *Title = "Send URL";
inline constexpr const char *DefaultUrl = "http://";
inline constexpr const char *Target3d = "3d_window";
inline constexpr const char *TooLong = "The URL is too long: the server takes at most %zu bytes.";
} // namespace SendUrlText

// "Send URL": makes one person's browser open an address.
class SendUrlLogic {
public:
    SendUrlLogic(AdminSdk &sdk, AdminPrompt &prompt, AdminPerson person);

    const std::string &Name() const { return person_.name; }

    // "&Send": true when the dialog closes. The result of the request is not reported.
    bool Send(const std::string &url, bool to3dWindow);

private:
    AdminSdk &sdk_;
    AdminPrompt &prompt_;
    AdminPerson person_;
};
