#include "server/DemoContent.h"

#include "sdk/Attributes.h"
#include "server/PasswordHash.h"
#include "server/Universe.h"

#include <string_view>

bool FillDemoContent(Store &store, int passwordIterations, std::string &error) {
    for (const DemoCitizen &c : kDemoCitizens) {
        CitizenRecord record{c.number, c.name, HashPassword(c.password, passwordIterations), c.homePage};
        if (record.passwordHash.empty()) {
            error = "no random numbers for password salts";
            return false;
        }
        if (!store.AddCitizen(record)) {
            error = store.LastError();
            return false;
        }
    }
    int rating = 0;
    for (const DemoWorld &d : kDemoWorlds) {
        WorldRecord w;
        w.name = d.name;
        w.build = d.build;
        w.status = d.status;
        w.caretakers = "1";
        w.maxUsers = 200;
        w.size = 64;
        w.attributes = DefaultWorldAttributes(w.name);
        w.attributes[kAttrWorldWelcomeMessage] = std::string(d.welcome);
        w.attributes[kAttrWorldHomePage] = "http://localhost/" + std::string(d.name);
        w.attributes[kAttrWorldRating] = std::int32_t{rating++ % 4};
        w.attributes[kAttrWorldEminentDomainRight] = std::string("1");
        w.attributes[kAttrWorldBackdropBlue] = std::int32_t{160};
        if (std::string_view(d.name) == "Town") {
            w.attributes[kAttrWorldBuildRight] = std::string("2");
            w.attributes[kAttrWorldPublicSpeakerRight] = std::string("100");
            w.attributes[kAttrWorldEnableTerrain] = true;
            w.expiration = 0;
        }
        if (d.status == 2)
            w.attributes[kAttrWorldEnterRight] = std::string("1 2");
        if (!store.AddWorld(w)) {
            error = store.LastError();
            return false;
        }
    }
    AttrMap universe = DefaultUniverseAttributes();
    universe[kAttrUniverseWorldStart] = std::string(kDemoStartWorld);
    universe[kAttrUniverseWelcomeMessage] = std::string("Welcome to the Gabbler demo universe.");
    if (!store.SaveUniverseAttributes(universe)) {
        error = store.LastError();
        return false;
    }
    return true;
}
