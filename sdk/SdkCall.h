#pragma once

// How the SDK's free functions reach the instance, and the checks on the texts they send. Internal to the SDK.

#include "sdk/SdkInstance.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace sdk_internal {

// The instance, or null with the code that says why there is none.
Instance *TheInstance(int &error);

template <class Fill> int Call(MessageType type, int callback, Fill fill) {
    int error = 0;
    Instance *instance = TheInstance(error);
    if (!instance)
        return error;
    return instance->Request(type, callback, fill);
}

// A request carrying the attributes given, as they stand in the store.
int Call(MessageType type, int callback, std::initializer_list<int> attributes);

inline bool FitsText(std::string_view text) { return text.size() <= kMaxStringLength; }

// Texts that are not UTF-8 are repaired before they are sent or stored.
std::string Repaired(std::string_view text);

} // namespace sdk_internal
