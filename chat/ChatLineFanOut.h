#pragma once

#include "chat/ChatHistory.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

// One line of the chat pane as it ended, as the pane hands it to its history.
struct EndedChatLine {
    std::uint64_t number = 0;
    std::int64_t time = 0; // milliseconds since 1970 UTC
    const ChatLineContext &context;
    ChatFormat format;
    bool timeShown = false;
    std::uint8_t flags = 0; // ChatLineFlag
    std::string_view text;  // without the timestamp prefix
};

// Stands between the chat pane and its history: everything goes on to the history (none when null), and every
// ended line is also handed to each listener, in order. So the pane keeps one history while anyone else (a
// terminal, an attached window) hears the same lines.
class ChatLineFanOut : public ChatHistory {
public:
    using Listener = std::function<void(const EndedChatLine &line)>;

    explicit ChatLineFanOut(ChatHistory *history = nullptr) : history_(history) {}

    void SetHistory(ChatHistory *history) { history_ = history; }
    // Listeners are called on the pane's thread, inside the append that ended the line; they must not append.
    void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }

    void RecordLine(std::uint64_t number, std::int64_t time, const ChatLineContext &context, std::uint32_t colour,
                    bool bold, bool italic, bool underline, bool timeShown, std::uint8_t flags,
                    std::string_view text) override;
    void Arrive(std::string_view name, std::optional<int> citizen, int session) override;
    void Leave(int session) override;
    void LeaveAll() override;
    Kept LineKept(std::uint64_t number) override;
    void ReadLines(std::uint64_t first, std::size_t count, std::vector<StoredLine> &out) override;
    std::optional<std::uint64_t> ForgetDeleted(const std::vector<DeletedLines> &deleted) override;

private:
    ChatHistory *history_;
    std::vector<Listener> listeners_;
};
