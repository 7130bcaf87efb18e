#pragma once

// Bots that speak the universe's wire protocol themselves: a Hello, a login as the shared citizen, entering their
// world and, if asked, standing at a spot of their own, all sent at once; then a Say per line. Chat events are
// reported; every other event is read and skipped.

#include "bench/ScaleFleet.h"

#include <cstdint>
#include <string>
#include <vector>

struct UniverseLogin {
    int citizen = 1;
    std::string password;
    std::vector<std::string> worlds; // room r is worlds[r]
    bool stand = false;              // send a position, which makes the bot seen by everyone within the radius
    double spread = 20;              // metres: the side of the square the standing bots share in each world
    int botsPerWorld = 1;
};

class UniverseFleet : public ScaleFleet {
public:
    UniverseFleet(asio::io_context &io, int count, asio::ip::tcp::endpoint server, UniverseLogin login, Heard heard,
                  Settled settled);

    bool Say(int i, std::string_view text) override;

private:
    void Opened(int i) override;
    std::size_t Consume(int i, const char *data, std::size_t size, long long nowNs) override;
    void Frame(int i, const std::uint8_t *frame, std::size_t size, long long nowNs);

    UniverseLogin login_;
    std::vector<std::uint8_t> awaiting_; // replies still due before the bot is in
    std::string frame_;                  // reused for every Say
};
