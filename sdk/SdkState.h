#pragma once

// What the SDK keeps for the process: the attribute store, the handlers, the one instance, and the tuning. Internal
// to the SDK.

#include "protocol/Frame.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"
#include "sdk/SdkRelay.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace sdk_internal {

struct Slot {
    AttributeKind kind = AttributeKind::None;
    std::int32_t number = 0; // Int and Bool
    std::string text;
};

class Instance;

struct State {
    std::array<Slot, kAttributeCount> attributes;
    std::array<std::unique_ptr<SdkEventHandler>, kEventCount> events;
    std::array<std::unique_ptr<SdkCallbackHandler>, kCallbackCount> callbacks;
    std::unique_ptr<Instance> instance;
    std::shared_ptr<SdkFrameHandler> eventTap;
    bool waiting = false; // SdkWait is on the stack

    // What a handler replaces or destroys stays alive until SdkWait returns, so that a handler may remove itself
    // or destroy the instance whose events it is handling.
    std::vector<std::unique_ptr<SdkEventHandler>> retiredEvents;
    std::vector<std::unique_ptr<SdkCallbackHandler>> retiredCallbacks;
    std::vector<std::unique_ptr<Instance>> retiredInstances;

    // Out of line, where Instance is complete.
    State();
    ~State();

    // Writes a frame's attributes into the store. Values of the wrong kind (a confused or hostile server) are
    // ignored; fields above the attribute numbers are the protocol's own.
    void Apply(const FrameReader &reader) {
        FrameReader r = reader;
        WireAttribute a;
        while (r.Next(a)) {
            if (a.number >= kAttributeCount)
                continue;
            Slot &slot = attributes[a.number];
            if (slot.kind == AttributeKind::String) {
                if (a.tag == AttributeTag::String) {
                    // Callers may rely on the attribute's limit whoever filled it, so a longer text from the server
                    // is cut, at a character boundary (the frame has been checked to be UTF-8).
                    std::size_t n = std::min(a.text.size(), AttributeMaxLength(a.number));
                    while (n > 0 && n < a.text.size() && (static_cast<unsigned char>(a.text[n]) & 0xc0) == 0x80)
                        --n;
                    slot.text.assign(a.text.data(), n);
                }
            } else if ((slot.kind == AttributeKind::Int && a.tag == AttributeTag::Int) ||
                       (slot.kind == AttributeKind::Bool && a.tag == AttributeTag::Bool)) {
                slot.number = a.intValue;
            }
        }
    }

    void RetireInstance();

    void WriteAttribute(FrameWriter &w, int n) const {
        const Slot &slot = attributes[static_cast<std::size_t>(n)];
        switch (slot.kind) {
        case AttributeKind::Int:
            w.Int(static_cast<std::uint16_t>(n), slot.number);
            break;
        case AttributeKind::Bool:
            w.Bool(static_cast<std::uint16_t>(n), slot.number != 0);
            break;
        case AttributeKind::String:
            w.String(static_cast<std::uint16_t>(n), slot.text);
            break;
        case AttributeKind::None:
            break;
        }
    }

    void WriteAttributes(FrameWriter &w, std::initializer_list<int> numbers) const {
        for (const int n : numbers)
            WriteAttribute(w, n);
    }

    bool HasCallback(int callback) const {
        return callback >= 0 && callback < kCallbackCount && callbacks[static_cast<std::size_t>(callback)] &&
               *callbacks[static_cast<std::size_t>(callback)];
    }
};

extern std::unique_ptr<State> g_state;
// States ended by SdkTerm inside SdkWait, kept until it returns.
extern std::vector<std::unique_ptr<State>> g_retiredStates;
extern SdkTuning g_tuning;

} // namespace sdk_internal
