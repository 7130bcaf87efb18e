#pragma once

#include <string>

// Where feedback mail goes: the relay that takes it and the two addresses on it. Read from the Feedback section of
// gabbler.ini (keys Host, Port, Sender, FeedbackAddress); the defaults suit a machine running its own mail server.
struct MailRelay {
    std::string host = "localhost";
    int port = 25;
    std::string sender = "gabbler@localhost";
    std::string feedbackAddress = "feedback@localhost";
};
