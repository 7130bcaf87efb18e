#include "chat/ChatPane.h"

#include "chat/AtomicFileStream.h"

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
    log_.Append(text, {colour, bold, italic, underline}, newline);
    Changed();
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
    AppendChatLine(prefixText_, ChatColour::Black, false, false, false, false);
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

FileResult ChatPane::SaveLog(const std::string &path, const RtfFont &font) const {
    AtomicFileStream file(path);
    RtfWriter(font).Write(log_, [&file](std::string_view piece) { return file.Write(piece); });
    return file.Commit();
}
