#include "chat/HistoryRecorder.h"

#include "chat/ChatPane.h"

#include <algorithm>
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
        writer_->Stop(); // writes what waits and ends the open visits
        CloseSpan();
        writer_.reset();
        return;
    }
    troubled_ = false;
    writer_ = std::make_unique<HistoryWriter>(maxPending_);
    writer_->Start(folder_, [this](const std::string &text) {
        if (!troubled_.exchange(true)) {
            troubleEnd_ = writer_->FirstLineNumber() + static_cast<std::int64_t>(writer_->WrittenLines());
        }
        if (problem_) {
            problem_(text);
        }
    });
}

void HistoryRecorder::CloseSpan() {
    if (spans_.empty() || !spans_.back().open) {
        return;
    }
    Span &span = spans_.back();
    span.open = false;
    span.readableEnd = troubled_ ? troubleEnd_.load()
                                 : writer_->FirstLineNumber() + static_cast<std::int64_t>(writer_->WrittenLines());
}

void HistoryRecorder::RecordLine(std::uint64_t number, std::int64_t time, const ChatLineContext &context,
                                 std::uint32_t colour, bool bold, bool italic, bool underline, bool timeShown,
                                 std::uint8_t flags, std::string_view text) {
    handedEnd_ = number + 1;
    if (!writer_) {
        return;
    }
    const std::int64_t id = writer_->Append(time, world_(), context.speaker, context.session, context.kind, colour,
                                            bold, italic, underline, text, timeShown, flags);
    const std::int64_t offset = id - static_cast<std::int64_t>(number);
    if (spans_.empty() || !spans_.back().open || spans_.back().offset != offset || spans_.back().end != number) {
        CloseSpan();
        spans_.push_back({number, number + 1, offset, 0, true});
    } else {
        spans_.back().end = number + 1;
    }
}

std::optional<std::uint64_t> HistoryRecorder::ForgetDeleted(const std::vector<DeletedLines> &deleted) {
    std::optional<std::uint64_t> newest;
    for (const Span &span : spans_) {
        const std::int64_t first = static_cast<std::int64_t>(span.first) + span.offset;
        const std::int64_t last = static_cast<std::int64_t>(span.end) - 1 + span.offset;
        for (const DeletedLines &range : deleted) {
            if (range.first <= last && range.last >= first) {
                const auto number = static_cast<std::uint64_t>(std::min(range.last, last) - span.offset);
                newest = std::max(newest.value_or(0), number);
            }
        }
    }
    if (!newest) {
        return std::nullopt;
    }
    // The pane shows its lines without gaps, so the older ones go too, even those still stored.
    forgottenEnd_ = std::max(forgottenEnd_, *newest + 1);
    for (Span &span : spans_) {
        span.first = std::max(span.first, std::min(forgottenEnd_, span.end));
    }
    std::erase_if(spans_, [](const Span &span) { return span.first == span.end && !span.open; });
    return newest;
}

ChatLogBacking::Kept HistoryRecorder::LineKept(std::uint64_t number) {
    if (number < forgottenEnd_) {
        return Kept::Never;
    }
    if (number >= handedEnd_) {
        return writer_ ? Kept::Pending : Kept::Never; // recorded when it ends, if recording is still on
    }
    // Spans are in order; the newest are asked about.
    for (auto span = spans_.rbegin(); span != spans_.rend(); ++span) {
        if (number >= span->end) {
            return Kept::Never;
        }
        if (number < span->first) {
            continue;
        }
        const std::int64_t id = static_cast<std::int64_t>(number) + span->offset;
        if (!span->open) {
            return id < span->readableEnd ? Kept::Stored : Kept::Never;
        }
        if (troubled_) {
            return id < troubleEnd_.load() ? Kept::Stored : Kept::Never;
        }
        const std::int64_t written = writer_->FirstLineNumber() + static_cast<std::int64_t>(writer_->WrittenLines());
        return id < written ? Kept::Stored : Kept::Pending;
    }
    return Kept::Never;
}

void HistoryRecorder::ReadLines(std::uint64_t first, std::size_t count, std::vector<StoredLine> &out) {
    out.clear();
    if (!reader_) {
        auto reader = std::make_unique<HistoryReader>();
        std::string error;
        if (!reader->Open(folder_, false, error)) {
            return; // tried again at the next page
        }
        reader_ = std::move(reader);
    }
    const std::uint64_t end = first + count;
    first = std::max(first, forgottenEnd_);
    for (const Span &span : spans_) {
        const std::uint64_t from = std::max(first, span.first);
        const std::uint64_t to = std::min(end, span.end);
        if (from >= to) {
            continue;
        }
        const HistoryResult result =
            reader_->Range(static_cast<std::int64_t>(from) + span.offset, static_cast<int>(to - from));
        for (const HistoryLine &line : result.lines) {
            StoredLine stored;
            stored.number = static_cast<std::uint64_t>(line.id - span.offset);
            if (line.timeShown) {
                stored.prefix = ChatPane::TimestampPrefix(static_cast<std::time_t>(line.time / 1000));
            }
            stored.format = {line.colour, line.bold, line.italic, line.underline};
            stored.flags = line.paneFlags;
            stored.text = line.text;
            out.push_back(std::move(stored));
        }
    }
    // A page is read now and then, a few at a time: a cache kept between them would only grow with the store.
    reader_->ReleaseMemory();
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
