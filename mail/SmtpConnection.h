#pragma once

#include "mail/MailMessage.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// The reply reader, apart from the socket. SmtpReplyLength gives the length of the first complete reply at the front
// of received, through the line feed of its final line ("250 text" or a bare "250", after any "250-text" lines),
// or 0 while it has not all arrived. scanned is where the previous look stopped, so that a reply arriving in
// pieces is scanned once; start it at 0 for each reply.
std::size_t SmtpReplyLength(std::string_view received, std::size_t &scanned);
// The code of a complete reply: the number in the first three characters of its final line, as far as they are
// digits.
int SmtpReplyCode(std::string_view reply);

// A minimal SMTP client: one connection to a relay, any number of messages, then QUIT. Every network wait ends after
// the time-out, so a silent or stalled server gives a failure instead of a hang. Blocking: run it off the UI thread.
class SmtpConnection {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{30000};
    static constexpr const char *kMailer = "ZI Devi";

    // Does not connect yet. When cancelled is given and becomes true (from any thread), the wait in progress ends
    // within a tenth of a second as a failure.
    SmtpConnection(std::string host, int port, std::chrono::milliseconds timeout = kDefaultTimeout,
                   const std::atomic<bool> *cancelled = nullptr);
    virtual ~SmtpConnection(); // says QUIT first when still connected
    SmtpConnection(const SmtpConnection &) = delete;
    SmtpConnection &operator=(const SmtpConnection &) = delete;

    bool Connect();
    bool Send(MailMessage &message);
    bool Disconnect();

    bool Connected() const { return connected_; }
    // "OK" until a step fails; then the text of the last failure.
    const std::string &LastError() const { return lastError_; }

protected:
    // Called by Send before the transaction: checks there are recipients and builds the header.
    virtual bool PrepareMessage(MailMessage &message);
    void SetLastError(std::string text) { lastError_ = std::move(text); }

private:
    enum class Step { Greeting, Command, Data, Quit };
    enum class Wait { Ready, Failed };

    bool CheckReply(Step step);
    bool ReceiveReply(std::string &reply);
    bool SendText(std::string_view text);
    Wait WaitFor(short events, std::chrono::steady_clock::time_point deadline);
    bool OpenSocket();
    void CloseSocket();

    std::string host_;
    int port_;
    std::chrono::milliseconds timeout_;
    const std::atomic<bool> *cancelled_;
    std::string lastError_ = "OK";
    bool connected_ = false;
    int socket_ = -1;
    std::string received_; // bytes read past the end of the last reply
};
