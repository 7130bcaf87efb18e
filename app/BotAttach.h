#pragma once

// A bot that windows may attach to: the attach listener and hub built around a Bot, on the bot's thread. A
// window's entry is answered from the bot's state, its backlog from the bot's history, what it says goes into the
// bot's pane as the bot's own line, and a window asking for another world sends the bot's session there.

#include "attach/AttachHub.h"
#include "attach/AttachListener.h"

#include <QTimer>

#include <memory>
#include <string>

class Bot;

struct BotAttachOptions {
    AttachListenerOptions listen;
    std::string password;                              // what a window must give; empty lets nobody in
    std::size_t maxBacklogLines = 5000;                // the newest lines of a longer backlog
    std::chrono::milliseconds pumpInterval{50};        // how often the windows' requests are looked at
    std::chrono::milliseconds firstFailureDelay{1000}; // a wrong password's answer waits, doubling each time
};

class BotAttach {
public:
    // Build it after Bot::Plug and before Bot::Start, so that it sees the people of the bot's first entry.
    BotAttach(Bot &bot, BotAttachOptions options);
    ~BotAttach();
    BotAttach(const BotAttach &) = delete;
    BotAttach &operator=(const BotAttach &) = delete;

    // Starts listening; false with error a sentence.
    bool Start(std::string &error);
    int Port() const { return listener_.Port(); }

private:
    std::vector<PaneLine> Backlog(std::int64_t since);
    void OwnLine(const PaneLine &line);

    Bot &bot_;
    BotAttachOptions options_;
    AttachListener listener_;
    std::unique_ptr<AttachHub> hub_;
    QTimer pump_;
};
