#include "sdk/SdkState.h"

#include "sdk/SdkInstance.h"

namespace sdk_internal {

std::unique_ptr<State> g_state;
std::vector<std::unique_ptr<State>> g_retiredStates;
SdkTuning g_tuning;

State::State() {
    for (int i = 0; i < kAttributeCount; ++i)
        attributes[static_cast<std::size_t>(i)].kind = KindOfAttribute(i);
}

State::~State() = default;

void State::RetireInstance() {
    if (instance && waiting)
        retiredInstances.push_back(std::move(instance));
    instance.reset();
}

} // namespace sdk_internal
