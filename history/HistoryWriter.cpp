#include "history/HistoryWriter.h"

#include "db/Statement.h"
#include "history/HistorySchema.h"

#include <algorithm>
#include <sqlite3.h>
#include <unordered_map>

namespace {

constexpr int kBusyTimeoutMs = 60000;

std::int64_t SystemNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string Folded(std::string_view s) {
    std::string out(s);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

} // namespace

// The database side, used only by the writer's thread once Start has opened it.
class HistoryWriter::Sink {
public:
    Database db;
    std::string error; // why the store is not open, when it is not
    std::int64_t run = 0;

    bool Open(const std::string &path, std::int64_t now, std::int64_t &firstLine) {
        if (!OpenHistoryDatabase(db, path, true, error))
            return false;
        db.Exec("PRAGMA cache_size=-16000"); // 16 MB: the index's merges reread recent segments
        // Deleting much history elsewhere holds the write lock for a while; this thread can wait (the caller never
        // does), so lines are delayed rather than lost.
        db.SetBusyTimeout(kBusyTimeoutMs);
        // Visits a crash left open end when their run was last known alive.
        Transaction t(db);
        bool ok = t.Ok() && db.Exec("UPDATE visits SET departure = max(arrival, (SELECT heartbeat FROM runs "
                                    "WHERE runs.id = visits.run)) WHERE departure IS NULL");
        {
            Statement next(db, "SELECT max(coalesce((SELECT max(id) FROM lines), -1), "
                               "coalesce((SELECT max(first_line) FROM runs), -1)) + 1");
            ok = ok && next.Step() == SQLITE_ROW;
            firstLine = ok ? next.Int(0) : 0;
        }
        Statement add(db, "INSERT INTO runs(first_line, started, heartbeat) VALUES(?, ?, ?)");
        add.Bind(1, firstLine).Bind(2, now).Bind(3, now);
        ok = ok && add.Run();
        run = db.LastInsertRowid();
        if (!ok || !t.Commit()) {
            error = path + ": " + db.LastError();
            db.Close();
            return false;
        }
        Prepare();
        return true;
    }

    // Writes one batch and the heartbeat in one transaction; false with error set.
    bool Write(const Batch &batch, std::int64_t now, std::uint64_t &lines) {
        lines = 0;
        if (!db.IsOpen())
            return false;
        Transaction t(db);
        bool ok = t.Ok();
        blocks_.clear();
        std::int64_t firstLine = 0, lastLine = -1;
        for (const Entry &e : batch.entries) {
            if (!ok)
                break;
            const auto piece = [&](std::uint32_t at, std::uint32_t size) {
                return std::string_view(batch.text).substr(at, size);
            };
            switch (e.op) {
            case Op::Line: {
                std::int64_t world = 0, speaker = 0;
                ok = NameId(piece(e.world, e.worldSize), world) &&
                     (e.nameSize == 0 || NameId(piece(e.name, e.nameSize), speaker));
                if (!ok)
                    break;
                insertLine_->Bind(1, e.number).Bind(2, e.time).Bind(3, world);
                if (e.nameSize)
                    insertLine_->Bind(4, speaker);
                if (e.hasSession)
                    insertLine_->Bind(5, e.session);
                insertLine_->Bind(6, e.kind).Bind(7, static_cast<std::int64_t>(e.colour)).Bind(8, e.style);
                insertLine_->BindStatic(9, piece(e.text, e.textSize));
                ok = insertLine_->Run();
                insertLine_->Reset();
                NoteTime(e.number, e.time);
                if (lines++ == 0)
                    firstLine = e.number;
                lastLine = e.number;
                break;
            }
            case Op::Arrive: {
                std::int64_t world = 0, name = 0;
                ok = NameId(piece(e.world, e.worldSize), world) && NameId(piece(e.name, e.nameSize), name);
                if (!ok)
                    break;
                // A session seen arriving twice: the first visit ends here.
                ok = CloseVisit(world, e.session, e.time);
                insertVisit_->Bind(1, run).Bind(2, world).Bind(3, name);
                if (e.number >= 0)
                    insertVisit_->Bind(4, e.number);
                insertVisit_->Bind(5, e.session).Bind(6, e.time);
                ok = ok && insertVisit_->Run();
                insertVisit_->Reset();
                break;
            }
            case Op::Automatic: {
                // The text holds the action and the target before the text itself, each ended by a line break.
                std::int64_t world = 0, source = 0;
                const std::string_view all = piece(e.text, e.textSize);
                const std::size_t a = all.find('\n');
                const std::size_t b = a == std::string_view::npos ? a : all.find('\n', a + 1);
                ok = b != std::string_view::npos && NameId(piece(e.world, e.worldSize), world) &&
                     NameId(piece(e.name, e.nameSize), source);
                if (!ok)
                    break;
                insertAutomatic_->Bind(1, e.time).Bind(2, world).Bind(3, source);
                insertAutomatic_->Bind(4, all.substr(0, a)).Bind(5, all.substr(a + 1, b - a - 1));
                insertAutomatic_->Bind(6, all.substr(b + 1)).Bind(7, e.number);
                ok = insertAutomatic_->Run();
                insertAutomatic_->Reset();
                break;
            }
            case Op::Leave: {
                std::int64_t world = 0;
                ok = NameId(piece(e.world, e.worldSize), world) && CloseVisit(world, e.session, e.time);
                break;
            }
            case Op::LeaveAll: {
                std::int64_t world = 0;
                if (e.worldSize && !NameId(piece(e.world, e.worldSize), world)) {
                    ok = false;
                    break;
                }
                Statement s(db, e.worldSize ? "UPDATE visits SET departure = max(arrival, ?) "
                                              "WHERE departure IS NULL AND world = ?"
                                            : "UPDATE visits SET departure = max(arrival, ?) WHERE departure IS NULL");
                s.Bind(1, e.time);
                if (e.worldSize)
                    s.Bind(2, world);
                ok = s.Run();
                break;
            }
            }
        }
        if (ok && lines) {
            indexLines_->Bind(1, firstLine).Bind(2, lastLine);
            ok = indexLines_->Run();
            indexLines_->Reset();
        }
        for (const TimeBlock &b : blocks_) {
            if (!ok)
                break;
            widenBlock_->Bind(1, b.block).Bind(2, b.earliest).Bind(3, b.latest);
            ok = widenBlock_->Run();
            widenBlock_->Reset();
        }
        heartbeat_->Bind(1, now).Bind(2, run);
        ok = ok && heartbeat_->Run();
        heartbeat_->Reset();
        if (ok && t.Commit())
            return true;
        error = db.LastError();
        names_.clear(); // numbers given inside the failed transaction are gone
        lines = 0;
        return false;
    }

private:
    void Prepare() {
        insertLine_ = std::make_unique<Statement>(
            db, "INSERT INTO lines(id, time, world, speaker, session, kind, colour, style, text) "
                "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)");
        insertVisit_ = std::make_unique<Statement>(
            db, "INSERT INTO visits(run, world, name, citizen, session, arrival) VALUES(?, ?, ?, ?, ?, ?)");
        closeVisit_ = std::make_unique<Statement>(
            db, "UPDATE visits SET departure = max(arrival, ?) WHERE world = ? AND session = ? AND departure IS NULL");
        indexLines_ = std::make_unique<Statement>(
            db, "INSERT INTO lines_text(rowid, text) SELECT id, text FROM lines WHERE id BETWEEN ? AND ?");
        widenBlock_ = std::make_unique<Statement>(
            db, "INSERT INTO time_blocks(block, earliest, latest) VALUES(?, ?, ?) ON CONFLICT(block) DO UPDATE "
                "SET earliest = min(earliest, excluded.earliest), latest = max(latest, excluded.latest)");
        heartbeat_ = std::make_unique<Statement>(db, "UPDATE runs SET heartbeat = ? WHERE id = ?");
        insertAutomatic_ = std::make_unique<Statement>(
            db, "INSERT INTO automatic(time, world, source, action, target, text, result) VALUES(?, ?, ?, ?, ?, ?, ?)");
        findName_ = std::make_unique<Statement>(db, "SELECT id FROM names WHERE name = ?");
        addName_ = std::make_unique<Statement>(db, "INSERT INTO names(name) VALUES(?)");
    }

    // The time range of each block of line numbers the batch writes into (see time_blocks).
    void NoteTime(std::int64_t number, std::int64_t time) {
        const std::int64_t block = number >> kTimeBlockShift;
        if (blocks_.empty() || blocks_.back().block != block) {
            blocks_.push_back({block, time, time});
            return;
        }
        blocks_.back().earliest = std::min(blocks_.back().earliest, time);
        blocks_.back().latest = std::max(blocks_.back().latest, time);
    }

    bool CloseVisit(std::int64_t world, int session, std::int64_t time) {
        closeVisit_->Bind(1, time).Bind(2, world).Bind(3, session);
        const bool ok = closeVisit_->Run();
        closeVisit_->Reset();
        return ok;
    }

    bool NameId(std::string_view name, std::int64_t &id) {
        std::string key = Folded(name);
        if (const auto it = names_.find(key); it != names_.end()) {
            id = it->second;
            return true;
        }
        findName_->BindStatic(1, name);
        const int code = findName_->Step();
        if (code == SQLITE_ROW)
            id = findName_->Int(0);
        findName_->Reset();
        if (code == SQLITE_DONE) {
            addName_->BindStatic(1, name);
            const bool added = addName_->Run();
            addName_->Reset();
            if (!added)
                return false;
            id = db.LastInsertRowid();
        } else if (code != SQLITE_ROW) {
            return false;
        }
        names_.emplace(std::move(key), id);
        return true;
    }

    struct TimeBlock {
        std::int64_t block, earliest, latest;
    };
    std::vector<TimeBlock> blocks_;
    std::unordered_map<std::string, std::int64_t> names_;
    std::unique_ptr<Statement> insertLine_, indexLines_, widenBlock_, insertVisit_, closeVisit_, heartbeat_,
        insertAutomatic_, findName_, addName_;
};

HistoryWriter::~HistoryWriter() { Stop(); }

void HistoryWriter::Start(const std::string &folder, ProblemCallback problem, Clock clock) {
    Stop();
    clock_ = clock ? std::move(clock) : Clock(SystemNow);
    problem_ = std::move(problem);
    auto sink = std::make_shared<Sink>();
    std::int64_t first = 0;
    const bool opened = sink->Open(folder + "/" + kHistoryFileName, clock_(), first);
    {
        std::lock_guard lock(mutex_);
        nextLine_ = first;
        firstLine_ = first;
        stopping_ = false;
        running_ = true;
    }
    if (!opened && problem_)
        problem_("The history is not recorded: " + sink->error);
    thread_ = std::thread([this, sink] { Run(*sink); });
}

void HistoryWriter::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (!running_)
            return;
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    std::lock_guard lock(mutex_);
    running_ = false;
}

std::uint32_t HistoryWriter::Put(Batch &batch, std::string_view s) {
    const auto at = static_cast<std::uint32_t>(batch.text.size());
    batch.text.append(s);
    return at;
}

void HistoryWriter::Push(Entry e, std::string_view world, std::string_view name, std::string_view text) {
    e.world = Put(pending_, world);
    e.worldSize = static_cast<std::uint32_t>(world.size());
    e.name = Put(pending_, name);
    e.nameSize = static_cast<std::uint32_t>(name.size());
    e.text = Put(pending_, text);
    e.textSize = static_cast<std::uint32_t>(text.size());
    pending_.entries.push_back(e);
    ++queued_;
}

std::int64_t HistoryWriter::Append(std::int64_t time, std::string_view world, std::string_view speaker,
                                   std::optional<int> session, LineKind kind, std::uint32_t colour, bool bold,
                                   bool italic, bool underline, std::string_view text, bool timeShown,
                                   std::uint8_t paneFlags) {
    Entry e{};
    e.op = Op::Line;
    e.time = time;
    e.hasSession = session.has_value();
    e.session = session.value_or(0);
    e.kind = static_cast<std::uint8_t>(kind);
    e.colour = colour;
    e.style = static_cast<std::uint8_t>((bold ? 1 : 0) | (italic ? 2 : 0) | (underline ? 4 : 0) | (timeShown ? 8 : 0) |
                                        (paneFlags & 7) << 4);
    bool wake = false;
    std::int64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        number = nextLine_++;
        if (!running_ || pending_.entries.size() >= maxPending_ ||
            pending_.text.size() + world.size() + speaker.size() + text.size() > kMaxPendingBytes) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return number;
        }
        e.number = number;
        Push(e, world, speaker, text);
        wake = pending_.entries.size() == kWakeAtLines;
    }
    if (wake)
        wake_.notify_one();
    return number;
}

void HistoryWriter::Arrive(std::int64_t time, std::string_view world, std::string_view name, std::optional<int> citizen,
                           int session) {
    Entry e{};
    e.op = Op::Arrive;
    e.time = time;
    e.number = citizen.value_or(-1);
    e.session = session;
    std::lock_guard lock(mutex_);
    // Visits are few and the ledger needs every one; they are bounded only against a runaway caller.
    if (running_ && pending_.entries.size() < 2 * maxPending_)
        Push(e, world, name, {});
}

void HistoryWriter::RecordAutomatic(std::int64_t time, std::string_view world, std::string_view source,
                                    std::string_view action, std::string_view target, std::string_view text,
                                    int result) {
    std::string packed;
    for (const std::string_view part : {action, target}) {
        for (const char c : part) {
            packed += c == '\n' ? ' ' : c;
        }
        packed += '\n';
    }
    packed += text;
    Entry e{};
    e.op = Op::Automatic;
    e.time = time;
    e.number = result;
    std::lock_guard lock(mutex_);
    // The guard keeps these few; bounded like the visits against a runaway caller.
    if (running_ && pending_.entries.size() < 2 * maxPending_)
        Push(e, world, source, packed);
}

void HistoryWriter::Leave(std::int64_t time, std::string_view world, int session) {
    Entry e{};
    e.op = Op::Leave;
    e.time = time;
    e.session = session;
    std::lock_guard lock(mutex_);
    if (running_ && pending_.entries.size() < 2 * maxPending_)
        Push(e, world, {}, {});
}

void HistoryWriter::LeaveAll(std::int64_t time, std::string_view world) {
    Entry e{};
    e.op = Op::LeaveAll;
    e.time = time;
    std::lock_guard lock(mutex_);
    if (running_ && pending_.entries.size() < 2 * maxPending_)
        Push(e, world, {}, {});
}

void HistoryWriter::Flush() {
    std::unique_lock lock(mutex_);
    if (!running_)
        return;
    const std::uint64_t target = queued_;
    flushWanted_ = true;
    wake_.notify_one();
    flushed_.wait(lock, [&] { return done_ >= target; });
}

std::size_t HistoryWriter::BufferBytes() {
    std::lock_guard lock(mutex_);
    return pending_.Bytes() + writingBytes_.load();
}

void HistoryWriter::Run(Sink &sink) {
    Batch batch;
    bool failing = false;
    std::uint64_t droppedReported = 0;
    std::int64_t lastHeartbeat = 0;
    for (;;) {
        bool stop = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, kCommitPeriod,
                           [&] { return stopping_ || flushWanted_ || pending_.entries.size() >= kWakeAtLines; });
            flushWanted_ = false;
            stop = stopping_;
            std::swap(batch, pending_);
        }
        const std::int64_t now = clock_();
        if (stop) {
            Entry e{};
            e.op = Op::LeaveAll;
            e.time = now;
            batch.entries.push_back(e);
        }
        const std::size_t count = batch.entries.size();
        if (count || now - lastHeartbeat >= 1000 || stop) {
            std::uint64_t lines = 0;
            if (sink.Write(batch, now, lines)) {
                written_.fetch_add(lines, std::memory_order_relaxed);
                failing = false;
                lastHeartbeat = now;
            } else if (sink.db.IsOpen() && !failing) {
                failing = true;
                if (problem_)
                    problem_("The history could not be written, and lines are being lost: " + sink.error);
            }
        }
        if (count == 0 && sink.db.IsOpen()) {
            // A period without lines: the page cache a flood filled is given back rather than kept at its largest
            // for as long as the bot runs. The next flood fills it again from the system's file cache.
            sqlite3_db_release_memory(sink.db.Handle());
        }
        const std::uint64_t dropped = dropped_.load();
        if (dropped > droppedReported && sink.db.IsOpen() && !failing) {
            if (problem_)
                problem_(std::to_string(dropped - droppedReported) +
                         " lines came faster than the history could write them and were not recorded.");
            droppedReported = dropped;
        }
        batch.Clear();
        writingBytes_ = batch.Bytes();
        {
            std::lock_guard lock(mutex_);
            done_ += stop && count ? count - 1 : count;
        }
        flushed_.notify_all();
        if (stop)
            break;
    }
    sink.db.Close();
}
