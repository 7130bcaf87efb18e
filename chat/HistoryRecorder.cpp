#include "chat/HistoryRecorder.h"

#include <chrono>

namespace {

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

void HistoryRecorder::SetEnabled(bool enabled) {
    if (enabled == Enabled()) {
        return;
    }
    if (!enabled) {
        writer_.reset(); // writes what waits and ends the open visits
        return;
    }
    writer_ = std::make_unique<HistoryWriter>(maxPending_);
    writer_->Start(folder_, problem_);
}

void HistoryRecorder::RecordLine(std::int64_t time, const ChatLineContext &context, std::uint32_t colour, bool bold,
                                 bool italic, bool underline, std::string_view text) {
    if (writer_) {
        writer_->Append(time, world_(), context.speaker, context.session, context.kind, colour, bold, italic, underline,
                        text);
    }
}

void HistoryRecorder::Arrive(std::string_view name, std::optional<int> citizen, int session) {
    if (writer_) {
        writer_->Arrive(NowMs(), world_(), name, citizen, session);
    }
}

void HistoryRecorder::Leave(int session) {
    if (writer_) {
        writer_->Leave(NowMs(), world_(), session);
    }
}

void HistoryRecorder::LeaveAll() {
    if (writer_) {
        writer_->LeaveAll(NowMs(), {});
    }
}
