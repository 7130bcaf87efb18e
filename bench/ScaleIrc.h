#pragma once

// Bots that speak IRC to a chat server: NICK, USER and JOIN sent at once, in once the server ends the channel's
// names list; then a PRIVMSG per line. Messages to the channel are reported, PINGs answered, the rest skipped.

#include "bench/ScaleFleet.h"

#include <string>

class IrcFleet : public ScaleFleet {
public:
    IrcFleet(asio::io_context &io, int count, asio::ip::tcp::endpoint server, int rooms, Heard heard, Settled settled);

    static std::string Channel(int room, int rooms);
    bool Say(int i, std::string_view text) override;

private:
    void Opened(int i) override;
    std::size_t Consume(int i, const char *data, std::size_t size, long long nowNs) override;
    void Line(int i, std::string_view line, long long nowNs);

    int rooms_;
    std::string out_; // reused for every line sent
};
