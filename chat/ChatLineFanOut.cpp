#include "chat/ChatLineFanOut.h"

void ChatLineFanOut::RecordLine(std::uint64_t number, std::int64_t time, const ChatLineContext &context,
                                std::uint32_t colour, bool bold, bool italic, bool underline, bool timeShown,
                                std::uint8_t flags, std::string_view text) {
    if (history_) {
        history_->RecordLine(number, time, context, colour, bold, italic, underline, timeShown, flags, text);
    }
    const EndedChatLine line{number,    time,  context, ChatFormat{colour, bold, italic, underline},
                             timeShown, flags, text};
    for (const Listener &listener : listeners_) {
        listener(line);
    }
}

void ChatLineFanOut::Arrive(std::string_view name, std::optional<int> citizen, int session) {
    if (history_) {
        history_->Arrive(name, citizen, session);
    }
}

void ChatLineFanOut::Leave(int session) {
    if (history_) {
        history_->Leave(session);
    }
}

void ChatLineFanOut::LeaveAll() {
    if (history_) {
        history_->LeaveAll();
    }
}

ChatLogBacking::Kept ChatLineFanOut::LineKept(std::uint64_t number) {
    return history_ ? history_->LineKept(number) : Kept::Never;
}

void ChatLineFanOut::ReadLines(std::uint64_t first, std::size_t count, std::vector<StoredLine> &out) {
    if (history_) {
        history_->ReadLines(first, count, out);
    }
}

std::optional<std::uint64_t> ChatLineFanOut::ForgetDeleted(const std::vector<DeletedLines> &deleted) {
    return history_ ? history_->ForgetDeleted(deleted) : std::nullopt;
}
