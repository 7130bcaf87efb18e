#pragma once

#include "admin/AdminSdk.h"

#include <cstdint>
#include <string>

namespace ObjectText {
inline constexpr const char *AddAttempt = "Attempting to add object %s.";
inline constexpr const char *LoadAttempt = "Attempting to load object %s.";
inline constexpr const char *Added = "Object successfully added.";
inline constexpr const char *Loaded = "Object successfully loaded.";
inline constexpr const char *AddFailed = "Building Inspector: Unable to add object (reason: %s).";
inline constexpr const char *LoadFailed = "Building Inspector: Unable to load object (reason: %s).";
inline constexpr const char *PlanterTitle = "Planter";
inline constexpr const char *PlanterHint = "(e.g. \"40N 50W 2a 180\")";
inline constexpr const char *LoaderTitle = "Gabbler Object Loader";
inline constexpr const char *LoaderIntro = "This feature allows you to load an object in a world with a specific time, "
                                           "date, and owner.  This feature requires eminent domain.";
inline constexpr const char *DateOutOfRange = "You must build objects dated between 1/1/1970 and 12/31/2037.";
inline constexpr const char *NoObjectName = "Please enter the name of the object to load.";
inline constexpr const char *DefaultLocation = "0n 0e 0a";
inline constexpr const char *DefaultOwner = "1";
} // namespace ObjectText

struct ObjectSpec {
    int x = 0, y = 0, z = 0, yaw = 0;
    std::string model;
    std::string description;
    std::string action;
};

// Builds an object in the bot's name, or with a chosen owner and creation time. The outcome arrives later through
// the object result callback, after the dialog that asked has closed, so the handler holds its own copies of what
// it needs: sdk and writeLine must stay valid while the SDK can still deliver callbacks.
void AddObject(AdminSdk &sdk, const ChatLineWriter &writeLine, const ObjectSpec &object);
void LoadObject(AdminSdk &sdk, const ChatLineWriter &writeLine, const ObjectSpec &object, int owner,
                std::int64_t timestamp);

// Planter's "Build it!" with its three fields: true when the dialog closes (false, after a message, for a text
// too long for the server).
bool PlantObject(AdminSdk &sdk, AdminPrompt &prompt, const ChatLineWriter &writeLine, const std::string &coordinates,
                 const std::string &name, const std::string &description);

// The Load Object dialog's fields as read; month is 1 to 12.
struct LoadObjectFields {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    std::string object;
    std::string owner = ObjectText::DefaultOwner;
    std::string location = ObjectText::DefaultLocation;
    std::string description;
    std::string action;
};

// Load Object's "Build": true when the dialog closes; a date the timestamp cannot hold, or a text too long for the
// server, is refused with a message.
bool BuildLoadedObject(AdminSdk &sdk, AdminPrompt &prompt, const ChatLineWriter &writeLine,
                       const LoadObjectFields &fields);
