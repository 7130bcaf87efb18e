#include "server/WorldAttributes.h"

#include "sdk/Attributes.h"
#include "server/ResultCodes.h"
#include "server/Universe.h"

bool IsWritableUniverseAttribute(int n) {
    switch (n) {
    case kAttrUniverseBrowserMinimum:
    case kAttrUniverseBrowserRelease:
    case kAttrUniverseBrowserBeta:
    case kAttrUniverseWorldMinimum:
    case kAttrUniverseWorldStart:
    case kAttrUniverseWelcomeMessage:
    case kAttrUniverseWorldRelease:
    case kAttrUniverseWorldBeta:
    case kAttrUniverseAllowTourists:
    case kAttrUniverseSearchUrl:
        return true;
    default:
        return false;
    }
}

int ReadAttribute(const WireAttribute &a, AttrValue &out) {
    switch (KindOfAttribute(a.number)) {
    case AttributeKind::Int:
        if (a.tag != AttributeTag::Int)
            return kResultTypeMismatch;
        out = a.intValue;
        return 0;
    case AttributeKind::Bool:
        if (a.tag != AttributeTag::Bool)
            return kResultTypeMismatch;
        out = a.intValue != 0;
        return 0;
    case AttributeKind::String:
        if (a.tag != AttributeTag::String)
            return kResultTypeMismatch;
        if (a.text.size() > AttributeMaxLength(a.number))
            return kResultStringTooLong;
        out = std::string(a.text);
        return 0;
    default:
        return kResultInvalidArgument;
    }
}

void WriteAttribute(FrameWriter &w, int number, const AttrValue &v) {
    if (const auto *n = std::get_if<std::int32_t>(&v))
        w.Int(static_cast<std::uint16_t>(number), *n);
    else if (const auto *b = std::get_if<bool>(&v))
        w.Bool(static_cast<std::uint16_t>(number), *b);
    else
        w.String(static_cast<std::uint16_t>(number), std::get<std::string>(v));
}

std::string StringOf(const AttrMap &m, int number) {
    const auto it = m.find(number);
    if (it == m.end())
        return {};
    if (const auto *s = std::get_if<std::string>(&it->second))
        return *s;
    return {};
}

bool IsWritableWorldAttribute(int n) {
    switch (n) {
    case kAttrWorldTitle:
    case kAttrWorldBackdrop:
    case kAttrWorldGround:
    case kAttrWorldObjectPath:
    case kAttrWorldObjectRefresh:
    case kAttrWorldBuildRight:
    case kAttrWorldEminentDomainRight:
    case kAttrWorldEnterRight:
    case kAttrWorldSpecialObjectsRight:
    case kAttrWorldBackdropRed:
    case kAttrWorldBackdropGreen:
    case kAttrWorldBackdropBlue:
    case kAttrWorldRestrictedRadius:
    case kAttrWorldPublicSpeakerRight:
    case kAttrWorldHomePage:
    case kAttrWorldDisableCreateUrl:
    case kAttrWorldRating:
    case kAttrWorldWelcomeMessage:
    case kAttrWorldEjectRight:
    case kAttrWorldCellLimit:
    case kAttrWorldAllowPassThrough:
    case kAttrWorldAllowFlying:
    case kAttrWorldAllowTeleport:
    case kAttrWorldAllowObjectSelect:
    case kAttrWorldBotsRight:
    case kAttrWorldSpeechRight:
    case kAttrWorldAllowTouristWhisper:
    case kAttrWorldAvatarCollision:
    case kAttrWorldSpecialCommandsRight:
    case kAttrWorldMaxLightRadius:
    case kAttrWorldSkybox:
    case kAttrWorldMinimumVisibility:
    case kAttrWorldRepeatingGround:
    case kAttrWorldKeywords:
    case kAttrWorldEnableTerrain:
    case kAttrWorldRotation:
    case kAttrWorldEntryPoint:
        return true;
    default:
        return false;
    }
}

AttrMap DefaultWorldAttributes(const std::string &name) {
    AttrMap a;
    const auto s = [&](int n, std::string v) { a[n] = std::move(v); };
    const auto i = [&](int n, std::int32_t v) { a[n] = v; };
    const auto b = [&](int n, bool v) { a[n] = v; };
    s(kAttrWorldTitle, name);
    s(kAttrWorldBackdrop, "");
    s(kAttrWorldGround, "");
    s(kAttrWorldObjectPath, "");
    i(kAttrWorldObjectRefresh, 0);
    s(kAttrWorldBuildRight, "");
    s(kAttrWorldEminentDomainRight, "");
    s(kAttrWorldEnterRight, "*");
    s(kAttrWorldSpecialObjectsRight, "");
    i(kAttrWorldBackdropRed, 0);
    i(kAttrWorldBackdropGreen, 0);
    i(kAttrWorldBackdropBlue, 0);
    i(kAttrWorldRestrictedRadius, 0);
    s(kAttrWorldPublicSpeakerRight, "");
    s(kAttrWorldHomePage, "");
    b(kAttrWorldDisableCreateUrl, false);
    i(kAttrWorldRating, 0);
    s(kAttrWorldWelcomeMessage, "");
    s(kAttrWorldEjectRight, "");
    i(kAttrWorldCellLimit, 1500);
    b(kAttrWorldAllowPassThrough, true);
    b(kAttrWorldAllowFlying, true);
    b(kAttrWorldAllowTeleport, true);
    b(kAttrWorldAllowObjectSelect, true);
    s(kAttrWorldBotsRight, "*");
    s(kAttrWorldSpeechRight, "*");
    b(kAttrWorldAllowTouristWhisper, false);
    b(kAttrWorldAvatarCollision, false);
    s(kAttrWorldSpecialCommandsRight, "");
    i(kAttrWorldMaxLightRadius, 0);
    s(kAttrWorldSkybox, "");
    i(kAttrWorldMinimumVisibility, 0);
    b(kAttrWorldRepeatingGround, false);
    s(kAttrWorldKeywords, "");
    b(kAttrWorldEnableTerrain, false);
    b(kAttrWorldRotation, false);
    s(kAttrWorldEntryPoint, "");
    return a;
}

AttrMap DefaultUniverseAttributes() {
    AttrMap a;
    a[kAttrUniverseBrowserMinimum] = std::int32_t{0};
    a[kAttrUniverseBrowserRelease] = std::int32_t{0};
    a[kAttrUniverseBrowserBeta] = std::int32_t{0};
    a[kAttrUniverseWorldMinimum] = std::int32_t{0};
    a[kAttrUniverseWorldStart] = std::string();
    a[kAttrUniverseRegistrationRequired] = false;
    a[kAttrUniverseBuild] = std::int32_t{kUniverseBuild};
    a[kAttrUniverseWelcomeMessage] = std::string();
    a[kAttrUniverseWorldRelease] = std::int32_t{0};
    a[kAttrUniverseWorldBeta] = std::int32_t{0};
    a[kAttrUniverseAllowTourists] = true;
    a[kAttrUniverseSearchUrl] = std::string();
    return a;
}
