#pragma once

// Checks an attaching window's password, in constant time, and makes each failed attempt wait longer than the one
// before, so that guessing costs time; one success resets the wait.

#include <chrono>
#include <string>
#include <string_view>

class LoginGuard {
public:
    using Clock = std::chrono::steady_clock;

    LoginGuard(std::string password, std::chrono::milliseconds firstDelay, std::chrono::milliseconds maxDelay)
        : password_(std::move(password)), firstDelay_(firstDelay), maxDelay_(maxDelay) {}

    // True when the password is right. Otherwise `delay` is how long to hold the refusal back.
    bool Check(std::string_view password, std::chrono::milliseconds &delay);
    int Failures() const { return failures_; }

private:
    std::string password_;
    std::chrono::milliseconds firstDelay_;
    std::chrono::milliseconds maxDelay_;
    int failures_ = 0;
};
