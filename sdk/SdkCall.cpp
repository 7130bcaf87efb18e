#include "sdk/SdkCall.h"

namespace sdk_internal {

Instance *TheInstance(int &error) {
    if (!g_state) {
        error = kNotInitialized;
        return nullptr;
    }
    if (!g_state->instance) {
        error = kNoInstance;
        return nullptr;
    }
    return g_state->instance.get();
}

int Call(MessageType type, int callback, std::initializer_list<int> attributes) {
    return Call(type, callback, [attributes](FrameWriter &w) { g_state->WriteAttributes(w, attributes); });
}

std::string Repaired(std::string_view text) { return IsValidUtf8(text) ? std::string(text) : RepairUtf8(text); }

} // namespace sdk_internal
