#pragma once

// Records lines and visits into history.db on a thread of its own. The caller's side costs a copy of the text into
// a buffer under a short lock: it never waits for the disk. The thread writes what has gathered in one transaction,
// at least every kCommitPeriod, so a killed program loses at most the last period.
//
// Bounded: past kMaxPendingLines lines or kMaxPendingBytes of text waiting, new lines are dropped and counted
// rather than blocking the caller or growing without end; the count is reported through the problem callback.
// A failure to write (full disk, unwritable file) is reported once through the same callback; the writer goes on
// and reports again only after writing has worked in between.

#include "history/HistoryTypes.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class HistoryWriter {
public:
    static constexpr std::size_t kMaxPendingLines = 1 << 20;
    static constexpr std::size_t kMaxPendingBytes = std::size_t(128) << 20;
    static constexpr std::size_t kWakeAtLines = 8192; // a flood is written in batches of about this size
    static constexpr std::chrono::milliseconds kCommitPeriod{250};

    // Called on the writer's thread with a sentence for the user.
    using ProblemCallback = std::function<void(const std::string &)>;
    // Milliseconds since 1970 UTC; replaceable for tests.
    using Clock = std::function<std::int64_t()>;

    explicit HistoryWriter(std::size_t maxPendingLines = kMaxPendingLines) : maxPending_(maxPendingLines) {}
    ~HistoryWriter(); // writes what is waiting, closes the visits still open and stops
    HistoryWriter(const HistoryWriter &) = delete;
    HistoryWriter &operator=(const HistoryWriter &) = delete;

    // Opens or creates folder/history.db and starts the thread. Visits a crash left open are closed at the last
    // moment their run is known to have been alive. A store that cannot be opened is reported through the
    // callback and every later line is dropped; Start still returns, so the program goes on without history.
    void Start(const std::string &folder, ProblemCallback problem, Clock clock = {});
    // Writes what is waiting and stops the thread; visits still open end now.
    void Stop();

    // One line; returns its number (the first line of this run has FirstLineNumber()). Safe from any thread.
    std::int64_t Append(std::int64_t time, std::string_view world, std::string_view speaker, std::optional<int> session,
                        LineKind kind, std::uint32_t colour, bool bold, bool italic, bool underline,
                        std::string_view text, bool timeShown = false, std::uint8_t paneFlags = 0);
    std::int64_t FirstLineNumber() const { return firstLine_.load(); }

    // A person arrived (event 0) or left (event 2); LeaveAll ends every open visit in a world (empty: in every
    // world), for an entry into another world, a lost connection or the program's end.
    void Arrive(std::int64_t time, std::string_view world, std::string_view name, std::optional<int> citizen,
                int session);
    void Leave(std::int64_t time, std::string_view world, int session);
    void LeaveAll(std::int64_t time, std::string_view world);
    // Something the bot's automation did or tried: which rule or script (source), what (action: "say", "eject",
    // ...), to whom (target, "" for nobody), with what text, and its result (0 done, else the reason code).
    void RecordAutomatic(std::int64_t time, std::string_view world, std::string_view source, std::string_view action,
                         std::string_view target, std::string_view text, int result);

    // Waits until everything appended so far is committed (or failed). For tests and the program's end.
    void Flush();

    std::uint64_t DroppedLines() const { return dropped_.load(); }
    std::uint64_t WrittenLines() const { return written_.load(); }
    // Bytes reserved by the two batch buffers (the one filling and the one being written).
    std::size_t BufferBytes();

private:
    enum class Op : std::uint8_t { Line, Arrive, Leave, LeaveAll, Automatic };
    // One thing to write; its strings live in the batch's text buffer.
    struct Entry {
        std::int64_t time;
        std::int64_t number; // the line's number, or the visitor's citizen (-1 none)
        std::uint32_t text, textSize, world, worldSize, name, nameSize;
        std::int32_t session;
        std::uint32_t colour;
        Op op;
        bool hasSession;
        std::uint8_t kind, style;
    };
    struct Batch {
        // A batch well past the usual size (a flood's) leaves its buffers that large; they are given back once a
        // batch fills less than a quarter of them, while buffers of the usual size are kept for the next batch.
        static constexpr std::size_t kKeepEntries = 4 * kWakeAtLines;
        static constexpr std::size_t kKeepTextBytes = kKeepEntries * 128;
        std::vector<Entry> entries;
        std::string text;
        void Clear() {
            if (entries.capacity() > kKeepEntries && entries.size() < entries.capacity() / 4)
                std::vector<Entry>().swap(entries);
            if (text.capacity() > kKeepTextBytes && text.size() < text.capacity() / 4)
                std::string().swap(text);
            entries.clear();
            text.clear();
        }
        std::size_t Bytes() const { return entries.capacity() * sizeof(Entry) + text.capacity(); }
    };
    class Sink; // the thread's side: the database and its statements

    std::uint32_t Put(Batch &batch, std::string_view s);
    void Push(Entry entry, std::string_view world, std::string_view name, std::string_view text);
    void Run(Sink &sink);

    const std::size_t maxPending_;
    Clock clock_;
    ProblemCallback problem_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable flushed_;
    Batch pending_;
    std::uint64_t queued_ = 0; // entries ever queued (under mutex_)
    std::uint64_t done_ = 0;   // entries ever handled by the thread (under mutex_)
    bool stopping_ = false;
    bool flushWanted_ = false;
    bool running_ = false;
    std::int64_t nextLine_ = 0; // under mutex_
    std::atomic<std::int64_t> firstLine_{0};
    std::atomic<std::uint64_t> dropped_{0};
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::size_t> writingBytes_{0}; // the thread's batch, as it was last cleared
};
