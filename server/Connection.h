#pragma once

// One client's TCP connection: reads frames (checking every limit before using them), answers the version
// handshake, hands requests to the universe and writes its output with a bounded backlog.

#include "protocol/FrameBuffers.h"
#include "server/Universe.h"

#include <asio.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Connection;

// Connections with output waiting. They are written once per turn of the event loop, after the events of that turn
// are all handled, so that a burst of events for one connection leaves in one write instead of one each.
class WriteBatch {
public:
    explicit WriteBatch(asio::io_context &io) : io_(io) {}
    void Add(std::shared_ptr<Connection> connection);
    void Clear() { waiting_.clear(); }

private:
    void Flush();

    asio::io_context &io_;
    std::vector<std::shared_ptr<Connection>> waiting_;
    std::vector<std::shared_ptr<Connection>> flushing_; // kept to reuse its room
};

class Connection : public ClientLink, public std::enable_shared_from_this<Connection> {
public:
    using ClosedHandler = std::function<void(Connection *)>;

    Connection(asio::ip::tcp::socket socket, Universe &universe, const ServerOptions &options, WriteBatch &batch,
               ClosedHandler closed);
    ~Connection() override;

    void Start();
    // Closes at once, without a farewell frame: for Stop and for a dropped network.
    void Abort();

    void Send(const std::string &frames) override;
    void Close(int reason) override;
    std::uint32_t Address() const override { return address_; }
    // Writes what Send queued; the batch calls it once per loop turn.
    void Flush();

private:
    void Read();
    void Consume(std::size_t received);
    void HandleFrame(const std::uint8_t *frame, std::size_t size);
    void Write();
    void ArmTimer();
    void Finish();
    void Log(const std::string &line) const;

    asio::ip::tcp::socket socket_;
    asio::steady_timer timer_;
    Universe &universe_;
    const ServerOptions &options_;
    WriteBatch &batch_;
    ClosedHandler closed_;
    FrameInput in_;
    FrameOutput out_;
    bool batched_ = false; // in the batch, waiting for the turn's flush
    bool hello_ = false;
    bool heartbeat_ = false; // the client's Hello asked for its Pings to be answered
    bool closing_ = false;
    bool finished_ = false;
    std::uint32_t address_ = 0;
    std::string peer_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastHeard_;
};
