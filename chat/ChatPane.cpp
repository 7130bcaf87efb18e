#include "chat/ChatPane.h"

#include "common/AtomicFile.h"

#include <algorithm>
#include <chrono>

namespace {

std::string Format(const char *format, const std::tm &tm) {
    char text[256];
    const std::size_t n = std::strftime(text, sizeof text, format, &tm);
    return std::string(text, n);
}

} // namespace

ChatPane::ChatPane(std::size_t scrollbackLines) : log_(scrollbackLines) {}

void ChatPane::Changed() {
    if (view_) {
        view_->ChatChanged();
        view_->FollowChatEnd();
    }
}

void ChatPane::AppendChatLine(std::string_view text, std::uint32_t colour, bool bold, bool italic, bool underline,
                              bool newline) {
    Append(text, {colour, bold, italic, underline}, newline, false);
    if (log_.LinesLost() != 0 && !lossReported_ && !log_.LastLineOpen()) {
        lossReported_ = true;
        Append(LinesLostMessage(log_.LineLimit()), {ChatColour::Red, true, false, false}, true, false);
    }
    Changed();
}

void ChatPane::Append(std::string_view text, ChatFormat format, bool newline, bool prefix) {
    const std::uint8_t flags = context_.flags | (context_.kind == LineKind::Whisper ? ChatLineFlag::Whisper : 0);
    if (!history_) {
        log_.Append(text, format, newline, flags);
        return;
    }
    const bool continued = log_.LastLineOpen();
    if (!continued) {
        using namespace std::chrono;
        lineTime_ = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
        prefixBytes_ = 0;
    }
    const std::uint64_t from = continued ? log_.EndLineNumber() - 1 : log_.EndLineNumber();
    log_.Append(text, format, newline, flags);
    if (prefix && !continued && log_.LineCount() > 0) {
        prefixBytes_ = log_.Line(log_.LineCount() - 1).Text().size();
    }
    Record(from, log_.EndLineNumber() - (log_.LastLineOpen() ? 1 : 0));
}

void ChatPane::Record(std::uint64_t from, std::uint64_t to) {
    // Without a history, a text with more line breaks than the pane keeps would have pushed its first lines out.
    for (std::uint64_t n = std::max(from, log_.MemoryFirstLineNumber()); n < to; ++n) {
        const std::size_t index = static_cast<std::size_t>(n - log_.FirstLineNumber());
        const ChatLine line = log_.Line(index);
        // Only the first line of an append can carry the prefix; the lines its breaks start have none.
        const std::size_t skip = n == from ? std::min(prefixBytes_, line.Text().size()) : 0;
        ChatFormat format;
        for (std::size_t k = 0; k < line.RunCount(); ++k) {
            const ChatRun run = line.Run(k);
            if (run.offset + run.text.size() > skip) {
                format = run.format;
                break;
            }
        }
        history_->RecordLine(n, lineTime_, context_, format.colour, format.bold, format.italic, format.underline,
                             skip != 0, log_.LineFlags(index), line.Text().substr(skip));
        prefixBytes_ = 0;
    }
}

std::string ChatPane::TimestampPrefix(std::time_t now) {
    std::tm local{};
    if (!::localtime_r(&now, &local)) {
        return "[] ";
    }
    return "[" + Format("%c", local) + "] ";
}

void ChatPane::AppendTimestampPrefix(std::time_t now) {
    if (now != prefixTime_) {
        prefixText_ = TimestampPrefix(now);
        prefixTime_ = now;
    }
    Append(prefixText_, {ChatColour::Black, false, false, false}, false, true);
    Changed();
}

std::string ChatPane::ClockText(std::time_t now, std::int64_t universeTimeOffset, bool universeTimeKnown,
                                bool use12HourTime) {
    // UTC minus two hours read straight from UTC: going through local time with today's daylight-saving flag
    // would be an hour off around the changes.
    std::int64_t shown = 0;
    bool ok = !__builtin_sub_overflow(static_cast<std::int64_t>(now), std::int64_t{7200}, &shown);
    if (ok && universeTimeKnown) {
        std::int64_t corrected = 0;
        // An offset that leaves the calendar is a server's nonsense; the local reckoning is the better clock.
        if (!__builtin_sub_overflow(shown, universeTimeOffset, &corrected)) {
            const std::time_t t = static_cast<std::time_t>(corrected);
            std::tm check{};
            if (::gmtime_r(&t, &check)) {
                shown = corrected;
            }
        }
    }
    const std::time_t t = static_cast<std::time_t>(shown);
    std::tm tm{};
    if (!ok || !::gmtime_r(&t, &tm)) {
        return std::string(ChatPaneText::ClockInitial);
    }
    if (!use12HourTime) {
        return Format("%A, %H:%M:%S VRT", tm);
    }
    // Some locales have no AM/PM words; a 12-hour time without them would be ambiguous.
    std::string marker = Format("%p", tm);
    if (marker.empty()) {
        marker = tm.tm_hour < 12 ? "AM" : "PM";
    }
    return Format("%A, %I:%M:%S ", tm) + marker + " VRT";
}

void ChatPane::ClearBuffer() {
    log_.Clear();
    Changed();
}

void ChatPane::HistoryDeleted(const std::vector<DeletedLines> &deleted) {
    if (!history_) {
        return;
    }
    if (const std::optional<std::uint64_t> newest = history_->ForgetDeleted(deleted)) {
        log_.ForgetBefore(*newest + 1);
        if (view_) {
            view_->ChatChanged();
        }
    }
}

FileResult ChatPane::SaveLog(const std::string &path, const RtfFont &font) const {
    AtomicFileStream file(path);
    RtfWriter(font).Write(log_, [&file](std::string_view piece) { return file.Write(piece); });
    return file.Commit();
}
