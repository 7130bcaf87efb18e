#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MailRecipient {
    std::string address;
    std::string name; // display name, may be empty
    bool operator==(const MailRecipient &) const = default;
};

// One mail: filled by the caller, given its header by the connection just before it goes out.
class MailMessage {
public:
    void SetFrom(std::string from) { from_ = std::move(from); }
    void SetSubject(std::string subject) { subject_ = std::move(subject); }
    void SetBody(std::string body) { body_ = std::move(body); }
    const std::string &From() const { return from_; }
    const std::string &Subject() const { return subject_; }
    const std::string &Body() const { return body_; }

    // Adds the recipients of a list such as "Ann <ann@example.org>;<bob@example.org>;carl@example.org". Returns false
    // at the first piece with a "<" and no ">" after it; the pieces before it stay added.
    bool AddRecipients(std::string_view list);
    std::size_t RecipientCount() const { return recipients_.size(); }
    std::optional<MailRecipient> Recipient(std::size_t index) const;

    void SetHeader(std::string header, std::time_t date) {
        header_ = std::move(header);
        date_ = date;
    }
    const std::string &Header() const { return header_; }
    std::time_t Date() const { return date_; }

private:
    std::string from_;
    std::string subject_;
    std::string body_;
    std::string header_;
    std::time_t date_ = 0;
    std::vector<MailRecipient> recipients_;
};

// A header field value with CR and LF removed, so text from elsewhere cannot start a header line of its own.
std::string HeaderValue(std::string_view text);

// The value of the Date header for a moment, in local time, with English day and month names whatever the locale.
std::string FormatMailDate(std::time_t when);

// The body as it goes on the wire between DATA and the final ".": every line ends in CR LF (a bare CR or LF counts
// as a line end), a line that begins with "." gets one more, and lines longer than the 1000 octets a server must
// accept are broken after their last blank within the limit.
std::string EscapeMailBody(std::string_view body);
