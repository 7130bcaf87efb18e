#pragma once

#include "admin/AdminSdk.h"

#include <memory>
#include <utility>

// An SDK callback handler stays installed until the next user of its number replaces it, so it can run after the
// dialog that installed it has closed. A dialog's logic owns one guard; the handlers it wraps run their body only
// while that logic exists, and do nothing afterwards.
class CallbackGuard {
public:
    CallbackGuard() = default;
    CallbackGuard(const CallbackGuard &) = delete;
    CallbackGuard &operator=(const CallbackGuard &) = delete;

    template <class Body> AdminSdk::CallbackHandler Wrap(Body body) const {
        return [alive = std::weak_ptr<const int>(token_), body = std::move(body)](int result) {
            if (!alive.expired()) {
                body(result);
            }
        };
    }

private:
    std::shared_ptr<const int> token_ = std::make_shared<const int>(0);
};
