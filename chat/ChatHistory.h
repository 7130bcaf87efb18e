#pragma once

#include "chat/ChatLog.h"
#include "history/HistoryTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a line of the chat pane is, as the handler that writes it knows: the pane itself only sees text and colour.
struct ChatLineContext {
    LineKind kind = LineKind::Notice; // the program's own line unless a handler says otherwise
    std::string speaker;
    std::optional<int> session;
    std::uint8_t flags = 0; // ChatLineFlag: what the pane's view filters know the line by, beyond its kind
};

// Where the pane's lines and the people's visits are recorded, and where the pane reads back the lines it no longer
// keeps in memory. Called on the UI thread; an implementation must not wait for the disk when recording.
class ChatHistory : public ChatLogBacking {
public:
    // One line of the pane, as it ended, with its number in the log; every line is handed over once, in order,
    // whether or not it is recorded. time is milliseconds since 1970 UTC; text is the line without its timestamp
    // prefix (timeShown says whether it had one), in the format of its first run after that prefix.
    // flags are the line's ChatLineFlag, read back with it.
    virtual void RecordLine(std::uint64_t number, std::int64_t time, const ChatLineContext &context,
                            std::uint32_t colour, bool bold, bool italic, bool underline, bool timeShown,
                            std::uint8_t flags, std::string_view text) = 0;
    // The visitor ledger: an arrival, a departure, and the end of every visit still open (an entry into a world,
    // a lost connection).
    virtual void Arrive(std::string_view name, std::optional<int> citizen, int session) = 0;
    virtual void Leave(int session) = 0;
    virtual void LeaveAll() = 0;

    // Lines were deleted from the store. Returns the newest line of the log among them, if any: from then on no line
    // up to it is read back, nor said to be stored.
    virtual std::optional<std::uint64_t> ForgetDeleted(const std::vector<DeletedLines> &deleted) = 0;
};
