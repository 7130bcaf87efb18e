#include "login/ProfileLogin.h"

#include "login/ProfileStore.h"
#include "places/Coordinates.h"

LoginValues LoginValuesOf(const LoginProfile &profile) {
    LoginValues values;
    std::string worldInCoordinates; // the profile's world decides the world
    ParseLocation(profile.coordinates, worldInCoordinates, values.startZ, values.startX, values.startY,
                  values.startYaw);
    values.citizen = profile.citizen;
    values.privilegePassword = profile.privilegePassword;
    values.botName = profile.botName;
    values.world = profile.world;
    values.universeHost = profile.universeHost;
    values.universePort = profile.universePort;
    return values;
}

std::optional<LoginValues> ReadProfileLogin(const std::string &path, std::string_view name, std::string &error) {
    ProfileStore store;
    if (!store.Read(path)) {
        error = "Unable to read " + path + ".";
        return std::nullopt;
    }
    const LoginProfile *profile = store.Find(name);
    if (!profile) {
        error = "There is no profile named \"" + std::string(name) + "\" in " + path + ".";
        return std::nullopt;
    }
    return LoginValuesOf(*profile);
}
