#include "sdk/Sdk.h"
#include "sdk/SdkCall.h"

using namespace sdk_internal;

// The typed attribute store as callers see it.

namespace {

Slot *SlotOf(int attribute, int &error) {
    if (!g_state) {
        error = kNotInitialized;
        return nullptr;
    }
    if (attribute < 0 || attribute >= kAttributeCount ||
        g_state->attributes[static_cast<std::size_t>(attribute)].kind == AttributeKind::None) {
        error = kInvalidAttribute;
        return nullptr;
    }
    return &g_state->attributes[static_cast<std::size_t>(attribute)];
}

const Slot *ReadSlot(int attribute, AttributeKind kind) {
    int error = 0;
    const Slot *slot = SlotOf(attribute, error);
    return slot && slot->kind == kind ? slot : nullptr;
}

} // namespace

int SdkGetInt(int attribute) {
    const Slot *slot = ReadSlot(attribute, AttributeKind::Int);
    return slot ? slot->number : 0;
}

bool SdkGetBool(int attribute) {
    const Slot *slot = ReadSlot(attribute, AttributeKind::Bool);
    return slot && slot->number != 0;
}

std::string SdkGetString(int attribute) {
    const Slot *slot = ReadSlot(attribute, AttributeKind::String);
    return slot ? slot->text : std::string();
}

int SdkSetInt(int attribute, int value) {
    int error = 0;
    Slot *slot = SlotOf(attribute, error);
    if (!slot)
        return error;
    if (slot->kind != AttributeKind::Int)
        return kTypeMismatch;
    slot->number = value;
    return 0;
}

int SdkSetBool(int attribute, bool value) {
    int error = 0;
    Slot *slot = SlotOf(attribute, error);
    if (!slot)
        return error;
    if (slot->kind != AttributeKind::Bool)
        return kTypeMismatch;
    slot->number = value ? 1 : 0;
    return 0;
}

int SdkSetString(int attribute, std::string_view value) {
    int error = 0;
    Slot *slot = SlotOf(attribute, error);
    if (!slot)
        return error;
    if (slot->kind != AttributeKind::String)
        return kTypeMismatch;
    if (value.size() > AttributeMaxLength(attribute))
        return kStringTooLong;
    std::string text = Repaired(value);
    if (text.size() > AttributeMaxLength(attribute))
        return kStringTooLong;
    slot->text = std::move(text);
    return 0;
}
