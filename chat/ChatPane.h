#pragma once

#include "chat/ChatHistory.h"
#include "chat/ChatLog.h"
#include "chat/RtfWriter.h"
#include "common/AtomicFile.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// The fixed palette of the chat pane, as 0xRRGGBB. Every caller passes its colour explicitly.
namespace ChatColour {
inline constexpr std::uint32_t Black = 0x000000;
inline constexpr std::uint32_t Green = 0x1F8F1F;
inline constexpr std::uint32_t Teal = 0x006F6F;
inline constexpr std::uint32_t Blue = 0x0000FF;
inline constexpr std::uint32_t Red = 0xFF0000;
inline constexpr std::uint32_t Grey = 0x6F6F6F;
inline constexpr std::uint32_t Rose = 0xDE3C3C;
} // namespace ChatColour

// Texts of the Log menu's dialogs, for the window that shows them.
namespace ChatPaneText {
inline constexpr std::string_view ClearQuestion = "Are you sure you wish to clear the chat buffer?";
inline constexpr std::string_view ClearTitle = "Gabbler";
inline constexpr std::string_view SaveTitle = "Save chatlog to:";
inline constexpr std::string_view SaveFileName = "chatlog.rtf";
// Qt's form of the filter "RichTextFormat files (*.rtf)|*.rtf|All Files(*.*)|*.*||". The second pattern is "*",
// since "*.*" would hide names without a dot here. No default suffix may be set: a name is used as typed.
inline constexpr std::string_view SaveFilter = "RichTextFormat files (*.rtf);;All Files(*.*) (*)";
inline constexpr std::string_view SavedTitle = "Saved Log";
inline constexpr std::string_view ClockInitial = "VRT Clock";
} // namespace ChatPaneText

// What the pane needs from the widget that shows it.
class ChatPaneView {
public:
    virtual ~ChatPaneView() = default;
    // The log changed (lines appended, dropped or cleared); repaint at the next chance, not now.
    virtual void ChatChanged() = 0;
    // Show the end of the log, even if the user had scrolled away.
    virtual void FollowChatEnd() = 0;
};

// The chat pane's behaviour: the one way text enters it, its timestamps, its clock text, and Save Log.
class ChatPane {
public:
    explicit ChatPane(std::size_t scrollbackLines = ChatLog::kDefaultLineLimit);

    void SetView(ChatPaneView *view) { view_ = view; }
    // Every line that ends from now on is also handed to history (none when null), with the context a handler set.
    // The lines past ScrollbackLines leave memory and are read back from it when the view asks for them.
    void SetHistory(ChatHistory *history) {
        history_ = history;
        log_.SetBacking(history);
    }
    ChatHistory *History() const { return history_; }

    // Says what the lines appended while it lives are (a chat line, a whisper, ...); the program's own line again
    // once it ends. Handlers set it around the appends of one event.
    class LineContextScope {
    public:
        LineContextScope(ChatPane &pane, ChatLineContext context) : pane_(pane) {
            pane_.context_ = std::move(context);
        }
        ~LineContextScope() { pane_.context_ = ChatLineContext{}; }
        LineContextScope(const LineContextScope &) = delete;
        LineContextScope &operator=(const LineContextScope &) = delete;

    private:
        ChatPane &pane_;
    };
    const ChatLog &Log() const { return log_; }

    // The ScrollbackLines setting: how many lines are kept in memory, the oldest leaving first (to the history, or
    // out of the pane when the history does not have them). 0 keeps everything.
    void SetScrollbackLines(std::size_t lines) { log_.SetLineLimit(lines); }

    // Appends text in the given colour and emphasis, ended by a line break when newline is set; text without
    // newline is continued on the same line by the next append. The view then shows the end.
    void AppendChatLine(std::string_view text, std::uint32_t colour, bool bold, bool italic, bool underline,
                        bool newline);
    // The short form: one flag for both bold and italic, no underline, with newline.
    void AppendChatLine(std::string_view text, std::uint32_t colour, bool emphasis) {
        AppendChatLine(text, colour, emphasis, emphasis, false, true);
    }

    // The black "[date and time] " run that callers put before a line when TimestampMsgs is set. It always uses
    // the locale's full date and time, whatever Use12HourTime says.
    void AppendTimestampPrefix() { AppendTimestampPrefix(std::time(nullptr)); }
    void AppendTimestampPrefix(std::time_t now);
    static std::string TimestampPrefix(std::time_t now);

    // The clock label's text at now: UTC minus two hours, less the universe time offset (local clock minus the
    // universe's clock, in seconds) once the universe time is known.
    static std::string ClockText(std::time_t now, std::int64_t universeTimeOffset, bool universeTimeKnown,
                                 bool use12HourTime);

    // Clear Buffer after the user confirmed.
    void ClearBuffer();
    // Lines were deleted from the history: those no longer in memory leave the pane, and with them every older one,
    // so that it never shows a line that is gone.
    void HistoryDeleted(const std::vector<DeletedLines> &deleted);

    // Writes the whole log to path as Rich Text Format, atomically; the path is used exactly as given. On failure
    // the result's error names the file.
    FileResult SaveLog(const std::string &path, const RtfFont &font = {}) const;
    static std::string SavedLogMessage(const std::string &path) { return "Chat log saved to " + path + "."; }
    // Said once, the first time a line leaves the pane because the history does not have it.
    static std::string LinesLostMessage(std::size_t kept) {
        return "The chat pane keeps its last " + std::to_string(kept) +
               " lines, and older lines that are not in the history are no longer shown.";
    }

private:
    void Changed();
    void Append(std::string_view text, ChatFormat format, bool newline, bool prefix);
    void Record(std::uint64_t from, std::uint64_t to);

    ChatLog log_;
    ChatPaneView *view_ = nullptr;
    ChatHistory *history_ = nullptr;
    ChatLineContext context_;
    // The line still open: when it began (ms UTC) and how many of its bytes are the timestamp prefix.
    std::int64_t lineTime_ = 0;
    std::size_t prefixBytes_ = 0;
    bool lossReported_ = false;
    // The prefix changes once a second, while lines may arrive by the thousand.
    std::time_t prefixTime_ = -1;
    std::string prefixText_;
};
