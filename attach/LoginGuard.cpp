#include "attach/LoginGuard.h"

#include <algorithm>

bool ConstantTimeEquals(std::string_view a, std::string_view b) {
    // Every byte of the longer text is looked at, whatever differs first.
    const std::size_t n = std::max(a.size(), b.size());
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        diff = static_cast<unsigned char>(diff | (x ^ y));
    }
    return diff == 0;
}

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
