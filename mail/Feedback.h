#pragma once

#include "common/Version.h"

#include "mail/MailRelay.h"
#include "mail/SmtpConnection.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

enum class FeedbackKind { BugReport, Suggestion };

// What the subject says about the sender: the universe of the current login and the citizen behind the bot.
struct FeedbackSender {
    std::string universeHost;
    int universePort = 0;
    int citizenNumber = 0;
    std::string ownerName; // the name found at login, or "<number>"
};

inline constexpr std::uint32_t kFeedbackSentColour = 0x006F6F; // teal

std::string FeedbackSubject(FeedbackKind kind, const FeedbackSender &sender);
std::string FeedbackSentLine(FeedbackKind kind);
// Nothing but blanks and line ends counts as blank.
bool FeedbackIsBlank(std::string_view text);

// The message box of a failed send: the relay's own error first, then which relay was asked and where it is set,
// since the usual mend is to name another relay.
std::string FeedbackFailureText(const std::string &error, const MailRelay &relay, const std::string &settingsFile);

struct FeedbackResult {
    bool ok = false;
    std::string error; // the message box text when !ok
};

// Connects to the relay, sends one mail to the feedback address and says QUIT; stops at the first failure. Blocks
// for as long as the relay takes, each wait bounded by the time-out: call it off the UI thread.
FeedbackResult SendFeedback(const MailRelay &relay, const std::string &subject, const std::string &body,
                            std::chrono::milliseconds timeout = SmtpConnection::kDefaultTimeout,
                            const std::atomic<bool> *cancelled = nullptr);
