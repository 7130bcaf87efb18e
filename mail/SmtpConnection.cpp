#include "mail/SmtpConnection.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A reply longer than this is not SMTP; stop reading rather than grow without bound.
constexpr std::size_t kLongestReply = 64 * 1024;
constexpr std::size_t kReceiveBuffer = 1024;
constexpr std::size_t kLongestHostName = 80;
// How often a wait looks at the cancel flag.
constexpr std::chrono::milliseconds kCancelPoll{100};

struct ReplyRule {
    int code;
    const char *error;
};

std::string LocalHostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    std::string text = HeaderValue(std::string_view(name).substr(0, kLongestHostName));
    return text.empty() ? "localhost" : text;
}

// The number in the first three characters, as far as they are digits.
int ReplyCode(std::string_view line) {
    int code = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(3, line.size()) && line[i] >= '0' && line[i] <= '9'; ++i) {
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

} // namespace

std::size_t SmtpReplyLength(std::string_view received, std::size_t &scanned) {
    for (std::size_t end; (end = received.find('\n', scanned)) != std::string_view::npos;) {
        const std::string_view line = received.substr(scanned, end - scanned);
        scanned = end + 1;
        if (line.size() < 4 || line[3] != '-') {
            return scanned;
        }
    }
    return 0;
}

int SmtpReplyCode(std::string_view reply) {
    // The final line carries the code; in a well-formed reply every line has the same one.
    std::string_view last(reply);
    if (last.ends_with('\n')) {
        last.remove_suffix(1);
    }
    const std::size_t lastStart = last.rfind('\n');
    return ReplyCode(lastStart == std::string_view::npos ? last : last.substr(lastStart + 1));
}

SmtpConnection::SmtpConnection(std::string host, int port, std::chrono::milliseconds timeout,
                               const std::atomic<bool> *cancelled)
    : host_(std::move(host)), port_(port), timeout_(timeout), cancelled_(cancelled) {}

SmtpConnection::~SmtpConnection() {
    if (connected_) {
        Disconnect();
    }
    CloseSocket();
}

bool SmtpConnection::Connect() {
    if (connected_) {
        return true;
    }
    if (!OpenSocket()) {
        return false;
    }
    if (!CheckReply(Step::Greeting)) {
        lastError_ = "Server didn't respond.";
        CloseSocket();
        return false;
    }
    if (!SendText("HELO " + LocalHostName() + "\r\n") || !CheckReply(Step::Command)) {
        CloseSocket();
        return false;
    }
    connected_ = true;
    return true;
}

bool SmtpConnection::OpenSocket() {
    if (port_ < 1 || port_ > 65535) {
        lastError_ = "Unable to connect to server";
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *addresses = nullptr;
    if (::getaddrinfo(host_.c_str(), std::to_string(port_).c_str(), &hints, &addresses) != 0) {
        lastError_ = "Unable to connect to server";
        return false;
    }
    // "localhost" often names ::1 before 127.0.0.1 and a relay may listen on one only: try each in turn, all
    // within one time-out.
    const auto deadline = Clock::now() + timeout_;
    bool created = false;
    for (addrinfo *address = addresses; address != nullptr && socket_ < 0; address = address->ai_next) {
        const int fd =
            ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address->ai_protocol);
        if (fd < 0) {
            continue;
        }
        created = true;
        socket_ = fd;
        bool connected = ::connect(fd, address->ai_addr, address->ai_addrlen) == 0;
        if (!connected && errno == EINPROGRESS && WaitFor(POLLOUT, deadline) == Wait::Ready) {
            int error = 0;
            socklen_t length = sizeof error;
            connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        if (!connected) {
            CloseSocket();
        }
    }
    ::freeaddrinfo(addresses);
    if (socket_ < 0) {
        lastError_ = created ? "Unable to connect to server" : "Unable to create the socket.";
        return false;
    }
    return true;
}

void SmtpConnection::CloseSocket() {
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
    connected_ = false;
    received_.clear();
}

SmtpConnection::Wait SmtpConnection::WaitFor(short events, Clock::time_point deadline) {
    while (true) {
        if (cancelled_ != nullptr && cancelled_->load()) {
            return Wait::Failed;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return Wait::Failed;
        }
        pollfd entry{socket_, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min(left, kCancelPoll).count()));
        if (ready > 0) {
            // An error or hang-up is reported as ready: the following call finds out which.
            return Wait::Ready;
        }
        if (ready < 0 && errno != EINTR) {
            return Wait::Failed;
        }
    }
}

bool SmtpConnection::SendText(std::string_view text) {
    while (!text.empty()) {
        // The time-out counts from the last progress, so a long body on a slow link still gets through.
        if (WaitFor(POLLOUT, Clock::now() + timeout_) != Wait::Ready) {
            break;
        }
        const ssize_t sent = ::send(socket_, text.data(), text.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            text.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            continue;
        } else {
            break;
        }
    }
    if (!text.empty()) {
        lastError_ = "Socket Error";
        CloseSocket();
        return false;
    }
    return true;
}

bool SmtpConnection::ReceiveReply(std::string &reply) {
    const auto deadline = Clock::now() + timeout_;
    std::size_t scanned = 0;
    while (true) {
        if (const std::size_t length = SmtpReplyLength(received_, scanned)) {
            reply = received_.substr(0, length);
            received_.erase(0, length);
            return true;
        }
        if (received_.size() > kLongestReply || WaitFor(POLLIN, deadline) != Wait::Ready) {
            return false;
        }
        char buffer[kReceiveBuffer];
        const ssize_t got = ::recv(socket_, buffer, sizeof buffer, 0);
        if (got > 0) {
            received_.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            return false;
        }
    }
}

bool SmtpConnection::CheckReply(Step step) {
    static constexpr ReplyRule rules[] = {
        {220, "SMTP server not available"},
        {250, "SMTP server error"},
        {354, "SMTP server not ready for data"},
        {221, "SMTP server didn't terminate session"},
    };
    const ReplyRule &rule = rules[static_cast<int>(step)];
    std::string reply;
    if (socket_ < 0 || !ReceiveReply(reply)) {
        lastError_ = "Socket Error";
        // After a lost or stalled reply the session is in an unknown state: do not talk to it again.
        CloseSocket();
        return false;
    }
    const int code = SmtpReplyCode(reply);
    if (code != rule.code) {
        lastError_ = std::to_string(code) + ":" + rule.error;
        return false;
    }
    return true;
}

bool SmtpConnection::PrepareMessage(MailMessage &message) {
    if (message.RecipientCount() == 0) {
        lastError_ = "No Recipients";
        return false;
    }
    std::string to;
    for (std::size_t i = 0; i < message.RecipientCount(); ++i) {
        const MailRecipient recipient = *message.Recipient(i);
        if (i > 0) {
            to += ',';
        }
        to += recipient.name + "<" + recipient.address + ">";
    }
    const std::time_t now = std::time(nullptr);
    std::string header = "Date: " + HeaderValue(FormatMailDate(now)) + "\r\n";
    header += "From: " + HeaderValue(message.From()) + "\r\n";
    header += "To: " + HeaderValue(to) + "\r\n";
    header += "Subject: " + HeaderValue(message.Subject()) + "\r\n";
    header += std::string("X-Mailer: <") + kMailer + ">\r\n\r\n";
    message.SetHeader(std::move(header), now);
    return true;
}

bool SmtpConnection::Send(MailMessage &message) {
    if (!connected_) {
        lastError_ = "Must be connected";
        return false;
    }
    if (!PrepareMessage(message)) {
        return false;
    }
    // Addresses go into command lines too: a CR or LF there would start a command of its own.
    if (!SendText("MAIL From: <" + HeaderValue(message.From()) + ">\r\n") || !CheckReply(Step::Command)) {
        return false;
    }
    for (std::size_t i = 0; i < message.RecipientCount(); ++i) {
        // A refused recipient is noted and the others still get the mail; a lost connection ends it.
        if (!SendText("RCPT TO: <" + HeaderValue(message.Recipient(i)->address) + ">\r\n") ||
            (!CheckReply(Step::Command) && socket_ < 0)) {
            return false;
        }
    }
    if (!SendText("DATA\r\n") || !CheckReply(Step::Data)) {
        return false;
    }
    // The escaped body ends in CR LF already, which is the first half of the end-of-data mark.
    return SendText(message.Header()) && SendText(EscapeMailBody(message.Body())) && SendText(".\r\n") &&
           CheckReply(Step::Command);
}

bool SmtpConnection::Disconnect() {
    if (!connected_) {
        return true;
    }
    const bool ok = SendText("QUIT\r\n") && CheckReply(Step::Quit);
    CloseSocket();
    return ok;
}
