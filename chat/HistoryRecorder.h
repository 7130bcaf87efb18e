#pragma once

#include "chat/ChatHistory.h"
#include "history/HistoryReader.h"
#include "history/HistoryWriter.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Records the chat pane's lines and the people's visits into history.db in the data folder, through a writer
// thread of its own, and reads back the lines the pane no longer keeps in memory. While off it records nothing and
// opens the file only to read back what was recorded before.
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
    ~HistoryRecorder() override { SetEnabled(false); }

    // Turning it off writes what is waiting and ends the visits still open; turning it on starts a new run.
    void SetEnabled(bool enabled);
    bool Enabled() const { return writer_ != nullptr; }
    // Null while off. For tests and the program's end.
    HistoryWriter *Writer() { return writer_.get(); }

    void RecordLine(std::uint64_t number, std::int64_t time, const ChatLineContext &context, std::uint32_t colour,
                    bool bold, bool italic, bool underline, bool timeShown, std::uint8_t flags,
                    std::string_view text) override;
    void Arrive(std::string_view name, std::optional<int> citizen, int session) override;
    void Leave(int session) override;
    void LeaveAll() override;

    std::optional<std::uint64_t> ForgetDeleted(const std::vector<DeletedLines> &deleted) override;

    Kept LineKept(std::uint64_t number) override;
    void ReadLines(std::uint64_t first, std::size_t count, std::vector<StoredLine> &out) override;

private:
    // Pane lines first .. end - 1 were recorded in one run of the writer, line n as number n + offset.
    struct Span {
        std::uint64_t first = 0;
        std::uint64_t end = 0;
        std::int64_t offset = 0;
        std::int64_t readableEnd = 0; // the store's numbers below this can be read back, once the run has ended
        bool open = true;
    };
    void CloseSpan();

    std::string folder_;
    Problem problem_;
    WorldName world_;
    std::size_t maxPending_;
    std::unique_ptr<HistoryWriter> writer_;
    std::vector<Span> spans_;
    std::uint64_t handedEnd_ = 0;    // the pane's next line to be handed over
    std::uint64_t forgottenEnd_ = 0; // the pane's lines before this one were deleted, or older than one that was
    // Set on the writer's thread when writing failed or lines were dropped: after that, only what was written
    // before counts as readable.
    std::atomic<bool> troubled_{false};
    std::atomic<std::int64_t> troubleEnd_{0};
    std::unique_ptr<HistoryReader> reader_;
};
