#include "mail/Feedback.h"

#include "mail/MailMessage.h"

std::string FeedbackSubject(FeedbackKind kind, const FeedbackSender &sender) {
    return std::string(kind == FeedbackKind::BugReport ? "Bug report" : "Suggestion") + " (Gabbler Build " +
           std::to_string(kGabblerBuild) + ")(" + sender.universeHost + ":" + std::to_string(sender.universePort) +
           " " + std::to_string(sender.citizenNumber) + " " + sender.ownerName + ")";
}

std::string FeedbackSentLine(FeedbackKind kind) {
    return kind == FeedbackKind::BugReport ? "Bug report sent successfully.  Thanks for your input."
                                           : "Suggestion sent successfully.  Thanks for your input.";
}

bool FeedbackIsBlank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

FeedbackResult SendFeedback(const MailRelay &relay, const std::string &subject, const std::string &body,
                            std::chrono::milliseconds timeout, const std::atomic<bool> *cancelled) {
    MailMessage message;
    message.SetFrom(relay.sender);
    message.SetSubject(subject);
    message.SetBody(body);
    // A hand-edited address that cannot be read must not send the report to half of it.
    if (!message.AddRecipients(relay.feedbackAddress)) {
        return {false, "The feedback address \"" + relay.feedbackAddress + "\" in gabbler.ini is not valid."};
    }
    SmtpConnection connection(relay.host, relay.port, timeout, cancelled);
    if (!connection.Connect() || !connection.Send(message) || !connection.Disconnect()) {
        return {false, connection.LastError()};
    }
    return {true, {}};
}

std::string FeedbackFailureText(const std::string &error, const MailRelay &relay, const std::string &settingsFile) {
    return error + "\n\nGabbler sends reports through the mail relay " + relay.host + ":" + std::to_string(relay.port) +
           ", which is set by Host and Port in the [Feedback] section of " + settingsFile +
           " (read when Gabbler starts). Your report is kept: press Send to try again.";
}
