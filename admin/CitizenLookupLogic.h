#pragma once

#include "admin/AdminSdk.h"
#include "admin/CallbackGuard.h"

#include <string>

namespace CitizenLookupText {
inline constexpr const char *LookingUpName = "Looking up citizen name...";
inline constexpr const char *LookingUpNumber = "Looking up citizen number...";
inline constexpr const char *NameFound = "Citizen #%d is %s.";
inline constexpr const char *NoSuchNumber = "No such citizen number %d.";
inline constexpr const char *NumberFound = "Citizen %s is #%d.";
inline constexpr const char *NoSuchName = "No such citizen named %s.";
inline constexpr const char *Refused = "Unable to look up the citizen (reason: %s).";
} // namespace CitizenLookupText

class CitizenLookupView {
public:
    virtual ~CitizenLookupView() = default;
    virtual void ShowNameAnswer(const std::string &text) = 0;   // the first box
    virtual void ShowNumberAnswer(const std::string &text) = 0; // the second box
    virtual void SetButtonsEnabled(bool enabled) = 0;
};

// "Citizen Database Lookup": a citizen's name by number, or number by name. One request at a time; its answer
// reaches this logic only while it exists.
class CitizenLookupLogic {
public:
    CitizenLookupLogic(AdminSdk &sdk, CitizenLookupView &view);
    CitizenLookupLogic(const CitizenLookupLogic &) = delete;
    CitizenLookupLogic &operator=(const CitizenLookupLogic &) = delete;

    // "Retrieve citizen name" with the number edit's text.
    void RetrieveName(const std::string &numberText);
    // "Retrieve citizen number" with the name edit's text.
    void RetrieveNumber(const std::string &name);
    bool Busy() const { return busy_; }

private:
    void Begin();
    void Finish();

    AdminSdk &sdk_;
    CitizenLookupView &view_;
    bool busy_ = false;
    CallbackGuard guard_;
};
