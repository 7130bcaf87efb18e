#pragma once

#include "chat/ChatHistory.h"
#include "history/HistoryWriter.h"

#include <functional>
#include <memory>
#include <string>

// Records the chat pane's lines and the people's visits into history.db in the data folder, through a writer
// thread of its own; while off it records nothing and holds no file open.
class HistoryRecorder : public ChatHistory {
public:
    // Called on the writer's thread with a sentence for the user, once for each new problem.
    using Problem = std::function<void(const std::string &)>;
    // The world the bot is in at the moment of a line or visit ("" before the first entry).
    using WorldName = std::function<std::string()>;

    HistoryRecorder(std::string folder, Problem problem, WorldName world,
                    std::size_t maxPendingLines = HistoryWriter::kMaxPendingLines)
        : folder_(std::move(folder)), problem_(std::move(problem)), world_(std::move(world)),
          maxPending_(maxPendingLines) {}

    // Turning it off writes what is waiting and ends the visits still open; turning it on starts a new run.
    void SetEnabled(bool enabled);
    bool Enabled() const { return writer_ != nullptr; }
    // Null while off. For tests and the program's end.
    HistoryWriter *Writer() { return writer_.get(); }

    void RecordLine(std::int64_t time, const ChatLineContext &context, std::uint32_t colour, bool bold, bool italic,
                    bool underline, std::string_view text) override;
    void Arrive(std::string_view name, std::optional<int> citizen, int session) override;
    void Leave(int session) override;
    void LeaveAll() override;

private:
    std::string folder_;
    Problem problem_;
    WorldName world_;
    std::size_t maxPending_;
    std::unique_ptr<HistoryWriter> writer_;
};
