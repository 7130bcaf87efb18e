#include "sdk/Sdk.h"
#include "sdk/SdkCall.h"

using namespace sdk_internal;

// The requests of chat, people and administration.

namespace {

// World attributes that SdkWorldAttributesChange sends; the server keeps the ones a caretaker may not change.
constexpr int kFirstWorldAttribute = kAttrWorldTitle;
constexpr int kLastWorldAttribute = kAttrWorldEntryPoint;

} // namespace

// ---- Chat and people --------------------------------------------------------------------------------------------

int SdkSay(std::string_view text) {
    if (!FitsText(text))
        return kStringTooLong;
    const std::string t = Repaired(text);
    return Call(MessageType::Say, kNoCallback, [&t](FrameWriter &w) { w.String(kFieldText, t); });
}

int SdkWhisper(int session, std::string_view text) {
    if (!FitsText(text))
        return kStringTooLong;
    const std::string t = Repaired(text);
    return Call(MessageType::Whisper, kNoCallback,
                [&t, session](FrameWriter &w) { w.Int(kFieldSession, session).String(kFieldText, t); });
}

int SdkConsoleMessage(int session) {
    return Call(MessageType::ConsoleMessage, kNoCallback, [session](FrameWriter &w) {
        w.Int(kFieldSession, session);
        g_state->WriteAttributes(w, {kAttrConsoleRed, kAttrConsoleGreen, kAttrConsoleBlue, kAttrConsoleBold,
                                     kAttrConsoleItalics, kAttrConsoleMessage});
    });
}

int SdkWorldList() { return Call(MessageType::WorldList, kCallbackWorldListResult, {}); }

int SdkCitizenByNumber(int number) {
    return Call(MessageType::CitizenByNumber, kCallbackCitizenResult,
                [number](FrameWriter &w) { w.Int(kFieldNumber, number); });
}

int SdkCitizenByName(std::string_view name) {
    if (!FitsText(name))
        return kStringTooLong;
    const std::string n = Repaired(name);
    return Call(MessageType::CitizenByName, kCallbackCitizenResult, [&n](FrameWriter &w) { w.String(kFieldName, n); });
}

int SdkAvatarClick(int session) {
    return Call(MessageType::AvatarClick, kNoCallback, [session](FrameWriter &w) { w.Int(kFieldSession, session); });
}

int SdkUrlSend(int session, std::string_view url, std::string_view target) {
    if (!FitsText(url) || !FitsText(target))
        return kStringTooLong;
    const std::string u = Repaired(url), t = Repaired(target);
    return Call(MessageType::UrlSend, kNoCallback, [&, session](FrameWriter &w) {
        w.Int(kFieldSession, session).String(kFieldUrl, u).String(kFieldTarget, t);
    });
}

int SdkAddressRequest(int session) {
    return Call(MessageType::AddressRequest, kCallbackAddressResult,
                [session](FrameWriter &w) { w.Int(kFieldSession, session); });
}

// ---- Administration ---------------------------------------------------------------------------------------------

int SdkTeleport(int session) {
    return Call(MessageType::Teleport, kNoCallback, [session](FrameWriter &w) {
        w.Int(kFieldSession, session);
        g_state->WriteAttributes(w, {kAttrTeleportWorld, kAttrTeleportX, kAttrTeleportY, kAttrTeleportZ,
                                     kAttrTeleportYaw, kAttrTeleportWarp});
    });
}

int SdkWorldEject() { return Call(MessageType::WorldEject, kNoCallback, {kAttrEjectSession, kAttrEjectDuration}); }

int SdkWorldAttributesChange() {
    return Call(MessageType::WorldAttributesChange, kNoCallback, [](FrameWriter &w) {
        for (int n = kFirstWorldAttribute; n <= kLastWorldAttribute; ++n)
            g_state->WriteAttribute(w, n);
    });
}

int SdkUniverseAttributesChange() {
    return Call(MessageType::UniverseAttributesChange, kNoCallback,
                {kAttrUniverseBrowserMinimum, kAttrUniverseBrowserRelease, kAttrUniverseBrowserBeta,
                 kAttrUniverseWorldMinimum, kAttrUniverseWorldStart, kAttrUniverseWelcomeMessage,
                 kAttrUniverseWorldRelease, kAttrUniverseWorldBeta, kAttrUniverseAllowTourists,
                 kAttrUniverseSearchUrl});
}

namespace {
constexpr std::initializer_list<int> kWorldEjection = {kAttrEjectionType, kAttrEjectionAddress, kAttrEjectionExpiration,
                                                       kAttrEjectionComment};
constexpr std::initializer_list<int> kUniverseEjection = {kAttrEjectionAddress, kAttrEjectionExpiration,
                                                          kAttrEjectionComment};
} // namespace

int SdkWorldEjectionAdd() { return Call(MessageType::WorldEjectionAdd, kCallbackWorldEjectionResult, kWorldEjection); }
int SdkWorldEjectionDelete() {
    return Call(MessageType::WorldEjectionDelete, kCallbackWorldEjectionResult, kWorldEjection);
}
int SdkWorldEjectionLookup() {
    return Call(MessageType::WorldEjectionLookup, kCallbackWorldEjectionLookup, kWorldEjection);
}
int SdkWorldEjectionNext() {
    return Call(MessageType::WorldEjectionNext, kCallbackWorldEjectionLookup, kWorldEjection);
}
int SdkWorldEjectionPrevious() {
    return Call(MessageType::WorldEjectionPrevious, kCallbackWorldEjectionLookup, kWorldEjection);
}

int SdkUniverseEjectionAdd() {
    return Call(MessageType::UniverseEjectionAdd, kCallbackUniverseEjectionResult, kUniverseEjection);
}
int SdkUniverseEjectionDelete(int address) {
    return Call(MessageType::UniverseEjectionDelete, kCallbackUniverseEjectionResult,
                [address](FrameWriter &w) { w.Int(kFieldNumber, address); });
}
int SdkUniverseEjectionLookup() {
    return Call(MessageType::UniverseEjectionLookup, kCallbackUniverseEjectionLookup, kUniverseEjection);
}
int SdkUniverseEjectionNext() {
    return Call(MessageType::UniverseEjectionNext, kCallbackUniverseEjectionLookup, kUniverseEjection);
}
int SdkUniverseEjectionPrevious() {
    return Call(MessageType::UniverseEjectionPrevious, kCallbackUniverseEjectionLookup, kUniverseEjection);
}

int SdkObjectAdd() {
    return Call(MessageType::ObjectAdd, kCallbackObjectResult,
                {kAttrObjectX, kAttrObjectY, kAttrObjectZ, kAttrObjectYaw, kAttrObjectModel, kAttrObjectDescription,
                 kAttrObjectAction, kAttrObjectNumber});
}

int SdkObjectLoad() {
    return Call(MessageType::ObjectLoad, kCallbackObjectResult,
                {kAttrObjectX, kAttrObjectY, kAttrObjectZ, kAttrObjectYaw, kAttrObjectModel, kAttrObjectDescription,
                 kAttrObjectAction, kAttrObjectOwner, kAttrObjectTimestamp, kAttrObjectNumber});
}
