#pragma once

#include "admin/AdminSdk.h"
#include "admin/CallbackGuard.h"

#include <array>
#include <string>

namespace EjectText {
inline constexpr const char *TooOld = "World server too old";
inline constexpr const char *Querying = "Querying...";
inline constexpr const char *AddressError = "Error: %s.";
inline constexpr const char *Attempt = "Immigration Officer: Attempting to eject %s for %d minutes.";
inline constexpr std::array<const char *, 3> Durations = {"5 Minutes", "1 Hour", "1 Day"};
} // namespace EjectText

class EjectView {
public:
    virtual ~EjectView() = default;
    // The "IP:" field.
    virtual void ShowAddress(const std::string &text) = 0;
};

// "Eject": throws one person out of the world for a chosen time. Opening asks the world for the person's
// address; the answer reaches this logic only while it exists.
class EjectLogic {
public:
    EjectLogic(AdminSdk &sdk, EjectView &view, ChatLineWriter writeLine, AdminPerson person);
    EjectLogic(const EjectLogic &) = delete;
    EjectLogic &operator=(const EjectLogic &) = delete;

    // Shows the name and the address state, and asks for the address on world servers that can tell it.
    void Open();
    const std::string &Name() const { return person_.name; }
    const std::string &AddressText() const { return address_; }

    // OK with the duration choice (0 "5 Minutes", 1 "1 Hour", 2 "1 Day"; anything else counts as 0).
    void Ok(int durationChoice);

    static int DurationSeconds(int choice);

private:
    void AddressResult(int result);
    void Show(std::string text);

    AdminSdk &sdk_;
    EjectView &view_;
    ChatLineWriter writeLine_;
    AdminPerson person_;
    std::string address_;
    CallbackGuard guard_;
};
