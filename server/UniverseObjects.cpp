// Objects built in or loaded into a world.

#include "sdk/Attributes.h"
#include "server/ResultCodes.h"
#include "server/UniverseState.h"

#include <cstdlib>

int Universe::ObjectRequest(Session &s, bool load, const FrameReader &r, Reply &reply) {
    World &w = *s.world;
    if (load) {
        if (w.record.build < kBuildObjectLoad)
            return kResultNotAvailable;
        if (!s.rights.eminentDomain)
            return kResultUnauthorized;
    } else if (!s.rights.build) {
        return kResultNoRightToBuild;
    }
    ObjectRecord o;
    o.world = w.record.name;
    std::string_view model, description, action;
    r.FindInt(kAttrObjectX, o.x);
    r.FindInt(kAttrObjectY, o.y);
    r.FindInt(kAttrObjectZ, o.z);
    r.FindInt(kAttrObjectYaw, o.yaw);
    r.FindString(kAttrObjectModel, model);
    r.FindString(kAttrObjectDescription, description);
    r.FindString(kAttrObjectAction, action);
    if (!TextLength(model, kMaxStringLength) || !TextLength(description, kMaxStringLength) ||
        !TextLength(action, kMaxStringLength))
        return kResultStringTooLong;
    if (model.empty())
        return kResultObjectTypeInvalid;
    if (w.record.size > 0) {
        // The world is 20 * size metres square around its centre.
        const std::int64_t half = static_cast<std::int64_t>(w.record.size) * 1000;
        if (std::abs(static_cast<std::int64_t>(o.x)) > half || std::abs(static_cast<std::int64_t>(o.z)) > half)
            return kResultOutOfBounds;
    }
    o.model = model;
    o.description = description;
    o.action = action;
    o.owner = s.citizen;
    o.timestamp = Now();
    if (load) {
        std::int32_t owner = 0, timestamp = 0;
        r.FindInt(kAttrObjectOwner, owner);
        r.FindInt(kAttrObjectTimestamp, timestamp);
        o.owner = owner;
        o.timestamp = timestamp;
    }
    const std::int64_t number = store_.AddObject(o);
    if (number <= 0)
        return kResultUnableToStore;
    ++w.objectCount;
    reply.Int(kAttrObjectNumber, Clamp32(number));
    reply.Int(kAttrWorldObjectCount, w.objectCount);
    return 0;
}
