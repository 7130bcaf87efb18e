#include "sdk/Sdk.h"
#include "sdk/SdkCall.h"

using namespace sdk_internal;

// Handlers and their delivery: only inside SdkWait, on the caller's thread, in arrival order.

int SdkWait(int milliseconds) {
    if (!g_state)
        return kNotInitialized;
    State *state = g_state.get();
    if (state->waiting)
        return kWaitInProgress;
    Instance *instance = state->instance.get();
    if (!instance)
        return kNoInstance;
    state->waiting = true;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(0, milliseconds));
    const std::size_t limit = std::max<std::size_t>(1, g_tuning.maxDeliveriesPerWait);
    std::size_t delivered = 0;
    bool alive = true;
    std::string frame;
    instance->Service(std::chrono::milliseconds(0));
    while (alive) {
        Delivery kind = Delivery::Event;
        int number = 0, code = 0;
        const std::shared_ptr<SdkFrameHandler> tap = state->eventTap;
        while (delivered < limit && instance->TakeDelivery(kind, number, code, &frame)) {
            ++delivered;
            if (kind == Delivery::Relay) {
                const FrameReader r(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
                if (SdkFrameHandler h = instance->TakeRelayHandler(r.Header().id))
                    h(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
            } else if (kind == Delivery::Event) {
                if (tap && *tap)
                    (*tap)(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
                if (g_state.get() != state || state->instance.get() != instance) {
                    alive = false;
                    break;
                }
                if (SdkEventHandler *h = state->events[static_cast<std::size_t>(number)].get(); h && *h)
                    (*h)();
            } else if (number >= 0 && number < kCallbackCount) {
                if (SdkCallbackHandler *h = state->callbacks[static_cast<std::size_t>(number)].get(); h && *h)
                    (*h)(code);
            }
            if (g_state.get() != state || state->instance.get() != instance) {
                alive = false;
                break;
            }
        }
        if (!alive || delivered >= limit || Clock::now() >= deadline)
            break;
        instance->Service(Until(deadline));
        if (!instance->HasDeliveries() && Clock::now() >= deadline)
            break;
    }
    if (g_state.get() == state) {
        state->waiting = false;
        state->retiredEvents.clear();
        state->retiredCallbacks.clear();
        state->retiredInstances.clear();
    } else {
        g_retiredStates.clear();
    }
    return 0;
}

int SdkSetEventHandler(int event, SdkEventHandler handler) {
    if (!g_state)
        return kNotInitialized;
    if (event < 0 || event >= kEventCount)
        return kInvalidArgument;
    auto &slot = g_state->events[static_cast<std::size_t>(event)];
    if (slot && g_state->waiting)
        g_state->retiredEvents.push_back(std::move(slot));
    slot = handler ? std::make_unique<SdkEventHandler>(std::move(handler)) : nullptr;
    return 0;
}

int SdkSetCallbackHandler(int callback, SdkCallbackHandler handler) {
    if (!g_state)
        return kNotInitialized;
    if (callback < 0 || callback >= kCallbackCount)
        return kInvalidCallback;
    auto &slot = g_state->callbacks[static_cast<std::size_t>(callback)];
    if (slot && g_state->waiting)
        g_state->retiredCallbacks.push_back(std::move(slot));
    slot = handler ? std::make_unique<SdkCallbackHandler>(std::move(handler)) : nullptr;
    return 0;
}
