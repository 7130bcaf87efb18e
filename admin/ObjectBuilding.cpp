#include "admin/ObjectBuilding.h"

#include "admin/AdminText.h"
#include "chat/ChatPane.h"
#include "common/Decimal.h"
#include "places/Coordinates.h"
#include "sdk/Attributes.h"
#include "sdk/ReasonText.h"

#include <initializer_list>

namespace {

void Write(const ChatLineWriter &writeLine, const std::string &text) {
    writeLine(text, ChatColour::Teal, false, false, false, true);
}

void Build(AdminSdk &sdk, const ChatLineWriter &writeLine, const ObjectSpec &object, bool load, int owner,
           std::int64_t timestamp) {
    Write(writeLine, FormatText(load ? ObjectText::LoadAttempt : ObjectText::AddAttempt, object.model.c_str()));
    AdminSdk *handlerSdk = &sdk;
    const auto answer = [handlerSdk, writeLine, load](int result) {
        handlerSdk->SetCallbackHandler(kCallbackObjectResult, nullptr);
        if (result == 0) {
            Write(writeLine, load ? ObjectText::Loaded : ObjectText::Added);
        } else {
            Write(writeLine,
                  FormatText(load ? ObjectText::LoadFailed : ObjectText::AddFailed, ReasonText(result).c_str()));
        }
    };
    // A refused write (a text too long, say) would leave the previous request's value in place and build the
    // wrong object, so nothing is sent then; the refusal is answered like any other.
    const auto request = [&sdk, &object, load, owner, timestamp] {
        int refused = 0;
        const auto check = [&refused](int r) { refused = refused != 0 ? refused : r; };
        check(sdk.SetInt(kAttrObjectX, object.x));
        check(sdk.SetInt(kAttrObjectY, object.y));
        check(sdk.SetInt(kAttrObjectZ, object.z));
        check(sdk.SetInt(kAttrObjectYaw, object.yaw));
        check(sdk.SetString(kAttrObjectModel, object.model));
        check(sdk.SetString(kAttrObjectDescription, object.description));
        check(sdk.SetString(kAttrObjectAction, object.action));
        if (load) {
            check(sdk.SetInt(kAttrObjectOwner, owner));
            check(sdk.SetInt(kAttrObjectTimestamp, static_cast<int>(timestamp)));
        }
        check(sdk.SetInt(kAttrObjectNumber, 0));
        return refused != 0 ? refused : load ? sdk.ObjectLoad() : sdk.ObjectAdd();
    };
    sdk.Request(kCallbackObjectResult, answer, request);
}

struct LabelledText {
    const char *label;
    int attribute;
    const std::string &text;
};

// Says which text is too long for the server before anything is sent; false then.
bool TextsFit(AdminPrompt &prompt, const char *title, std::initializer_list<LabelledText> texts) {
    for (const LabelledText &t : texts) {
        if (const auto message = TooLongMessage(t.label, t.attribute, t.text)) {
            prompt.ShowError(title, *message);
            return false;
        }
    }
    return true;
}

ObjectSpec Located(const std::string &location) {
    ObjectSpec object;
    std::string ignoredWorld;
    ParseLocation(location, ignoredWorld, object.z, object.x, object.y, object.yaw);
    return object;
}

} // namespace

void AddObject(AdminSdk &sdk, const ChatLineWriter &writeLine, const ObjectSpec &object) {
    Build(sdk, writeLine, object, false, 0, 0);
}

void LoadObject(AdminSdk &sdk, const ChatLineWriter &writeLine, const ObjectSpec &object, int owner,
                std::int64_t timestamp) {
    Build(sdk, writeLine, object, true, owner, timestamp);
}

bool PlantObject(AdminSdk &sdk, AdminPrompt &prompt, const ChatLineWriter &writeLine, const std::string &coordinates,
                 const std::string &name, const std::string &description) {
    if (!TextsFit(
            prompt, ObjectText::PlanterTitle,
            {{"Object Name:", kAttrObjectModel, name}, {"Object description:", kAttrObjectDescription, description}})) {
        return false;
    }
    ObjectSpec object = Located(coordinates);
    object.model = name;
    object.description = description;
    AddObject(sdk, writeLine, object);
    return true;
}

bool BuildLoadedObject(AdminSdk &sdk, AdminPrompt &prompt, const ChatLineWriter &writeLine,
                       const LoadObjectFields &fields) {
    if (!YearFitsTimestamp(fields.year)) {
        prompt.ShowError(ObjectText::LoaderTitle, ObjectText::DateOutOfRange);
        return false;
    }
    if (!TextsFit(prompt, ObjectText::LoaderTitle,
                  {{"Object:", kAttrObjectModel, fields.object},
                   {"Description:", kAttrObjectDescription, fields.description},
                   {"Action:", kAttrObjectAction, fields.action}})) {
        return false;
    }
    // Without a name there is nothing to load; the server would only answer with an error.
    if (fields.object.find_first_not_of(" \t") == std::string::npos) {
        prompt.ShowError(ObjectText::LoaderTitle, ObjectText::NoObjectName);
        return false;
    }
    const std::int64_t timestamp =
        LocalTimestamp(fields.year, fields.month, fields.day, fields.hour, fields.minute, fields.second);
    ObjectSpec object = Located(fields.location);
    object.model = fields.object;
    object.description = fields.description;
    object.action = fields.action;
    LoadObject(sdk, writeLine, object, ReadDecimal(fields.owner), timestamp);
    return true;
}
