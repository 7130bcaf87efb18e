#include "attach/LoginGuard.h"

#include "crypto/ConstantTime.h"

#include <algorithm>

bool LoginGuard::Check(std::string_view password, std::chrono::milliseconds &delay) {
    // An empty password never opens the door, whatever was configured.
    if (!password_.empty() && ConstantTimeEquals(password, password_)) {
        failures_ = 0;
        delay = std::chrono::milliseconds(0);
        return true;
    }
    ++failures_;
    auto d = firstDelay_;
    for (int i = 1; i < failures_ && d < maxDelay_; ++i)
        d *= 2;
    delay = std::min(d, maxDelay_);
    return false;
}
