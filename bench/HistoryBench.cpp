// The history store: lines a second through the writer with the full-text index, the caller's cost per line in a
// flood, search in a large store beside grep -F over the same lines as a text file, and the size on disk per line.
//
//   bench_history [--size N] [benchmark options]
//
// The large store (10,000,000 lines unless --size says otherwise) is built once into the build folder's
// bench-cache and reused by later runs; building it takes a few minutes.

#include "history/HistoryReader.h"
#include "history/HistorySchema.h"
#include "history/HistoryWriter.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::int64_t g_size = 10000000;

// Chat-like lines from a fixed vocabulary with a skewed word frequency; the same lines on every run.
class LineMaker {
public:
    LineMaker() {
        static const char *kSyllables[] = {"ka", "lo", "mi", "ne", "ru", "sa", "to", "vi",  "be", "do", "fa", "gu",
                                           "hi", "jo", "ke", "la", "mo", "nu", "pe", "qua", "ri", "se", "ti", "wu"};
        static const char *kCommon[] = {"the",  "a",    "to",    "you", "i",  "is",  "it", "and", "hello", "world",
                                        "what", "here", "there", "lol", "ok", "yes", "no", "who", "where", "now"};
        for (const char *w : kCommon)
            words_.emplace_back(w);
        for (std::size_t i = 0; words_.size() < 4000; ++i) {
            std::string w = kSyllables[i % 24];
            w += kSyllables[(i / 24) % 24];
            if (i >= 576)
                w += kSyllables[(i / 576) % 24];
            words_.push_back(w);
        }
    }
    std::uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    // Roughly 40 to 70 bytes, as chat lines go.
    const std::string &Line() {
        line_.clear();
        const int count = 4 + static_cast<int>(Next() % 9);
        for (int i = 0; i < count; ++i) {
            const double u = static_cast<double>(Next() % 1000000) / 1000000.0;
            if (!line_.empty())
                line_ += ' ';
            line_ += words_[static_cast<std::size_t>(u * u * u * static_cast<double>(words_.size()))];
        }
        const auto r = Next() % 1000;
        if (r < 3)
            line_ += " meet me at the harbour";
        else if (r < 6)
            line_ += " harbourmaster";
        return line_;
    }

private:
    std::vector<std::string> words_;
    std::string line_;
    std::uint64_t state_ = 88172645463325252ull;
};

double ProcessCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::string TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "gabbler-bench-XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

void Feed(HistoryWriter &writer, LineMaker &maker, std::int64_t count, std::int64_t time, std::ofstream *text) {
    for (std::int64_t i = 0; i < count; ++i) {
        const std::string &line = maker.Line();
        writer.Append(time + i, "Town", "Speaker", 1, LineKind::Chat, 0xffffff, false, false, false, line);
        if (text)
            *text << line << '\n';
    }
}

// The large store and the same lines as a text file, built once.
struct BigStore {
    std::string folder, textFile;
    std::int64_t textBytes = 0;
    std::string error;
};

const BigStore &Big() {
    static const BigStore store = [] {
        BigStore s;
        s.folder = std::string(GABBLER_BENCH_CACHE) + "/history-" + std::to_string(g_size);
        s.textFile = s.folder + "/lines.txt";
        const std::string done = s.folder + "/complete";
        if (!fs::exists(done)) {
            std::fprintf(stderr, "building a store of %lld lines in %s ...\n", static_cast<long long>(g_size),
                         s.folder.c_str());
            fs::remove_all(s.folder);
            fs::create_directories(s.folder);
            std::ofstream text(s.textFile, std::ios::binary);
            LineMaker maker;
            HistoryWriter writer(std::size_t(1) << 21);
            writer.Start(s.folder, [&](const std::string &p) { s.error = p; });
            constexpr std::int64_t kChunk = 500000;
            for (std::int64_t at = 0; at < g_size; at += kChunk) {
                Feed(writer, maker, std::min(kChunk, g_size - at), 1'700'000'000'000 + at * 100, &text);
                writer.Flush();
            }
            writer.Stop();
            text.close();
            if (writer.DroppedLines() != 0)
                s.error = "lines were dropped while building the store";
            if (s.error.empty())
                std::ofstream(done) << "ok\n";
        }
        if (s.error.empty()) {
            // A store cached by an earlier version is brought up to date as the program's start would.
            const auto start = std::chrono::steady_clock::now();
            Database db;
            if (!OpenHistoryDatabase(db, s.folder + "/" + kHistoryFileName, true, s.error))
                return s;
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            if (took.count() > 0.1)
                std::fprintf(stderr, "bringing the store up to date took %.1f s\n", took.count());
        }
        std::error_code ignored;
        s.textBytes = static_cast<std::int64_t>(fs::file_size(s.textFile, ignored)) - g_size; // without line ends
        return s;
    }();
    return store;
}

// The large store's reader, read-only; false when the benchmark was skipped for want of it.
bool OpenBig(benchmark::State &state, HistoryReader &reader) {
    const BigStore &big = Big();
    std::string error = big.error;
    if (error.empty() && reader.Open(big.folder, false, error))
        return true;
    state.SkipWithError(error.c_str());
    return false;
}

// Lines a second from the first Append to the commit of the last, full-text index on.
void BM_IngestThroughWriter(benchmark::State &state) {
    const auto lines = state.range(0);
    LineMaker maker;
    for (auto _ : state) {
        const std::string folder = TempFolder();
        HistoryWriter writer(static_cast<std::size_t>(lines) + 1);
        writer.Start(folder, {});
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ProcessCpuSeconds();
        Feed(writer, maker, lines, 1'700'000'000'000, nullptr);
        writer.Flush();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        state.counters["lines_per_second"] = static_cast<double>(lines) / took.count();
        // Both threads' CPU: on a busy machine the wall clock also counts the time the writer waited for a core.
        state.counters["cpu_us_per_line"] = (ProcessCpuSeconds() - cpuStart) * 1e6 / static_cast<double>(lines);
        state.counters["dropped"] = static_cast<double>(writer.DroppedLines());
        writer.Stop();
        fs::remove_all(folder);
    }
}
BENCHMARK(BM_IngestThroughWriter)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The caller's side of a flood: 20,000 lines in one pump while the writer writes the previous ones.
void BM_AppendPump(benchmark::State &state) {
    constexpr int kPump = 20000;
    const std::string folder = TempFolder();
    HistoryWriter writer;
    writer.Start(folder, {});
    LineMaker maker;
    std::vector<std::string> lines;
    for (int i = 0; i < kPump; ++i)
        lines.push_back(maker.Line());
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kPump; ++i)
            writer.Append(1'700'000'000'000 + i, "Town", "Speaker", 1, LineKind::Chat, 0xffffff, false, false, false,
                          lines[static_cast<std::size_t>(i)]);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        total += took.count();
        writer.Flush(); // the disk's part is not the caller's
    }
    state.counters["ns_per_line"] = total * 1e9 / (static_cast<double>(state.iterations()) * kPump);
    state.counters["dropped"] = static_cast<double>(writer.DroppedLines());
    writer.Stop();
    fs::remove_all(folder);
}
BENCHMARK(BM_AppendPump)->Iterations(30)->UseManualTime()->Unit(benchmark::kMicrosecond);

const char *const kQueries[] = {"world", "\"meet me\"", "harb*"};
const char *const kGrep[] = {"world", "meet me", "harb"};

// The first 100 results, newest first, in the large store.
void BM_Search(benchmark::State &state) {
    HistoryReader reader;
    if (!OpenBig(state, reader))
        return;
    const char *query = kQueries[state.range(0)];
    std::size_t found = 0;
    for (auto _ : state) {
        const HistoryResult r = reader.Search(query, {}, 100);
        found = r.lines.size();
        benchmark::DoNotOptimize(found);
    }
    state.SetLabel(query);
    state.counters["results"] = static_cast<double>(found);
    state.counters["lines"] = static_cast<double>(g_size);
}
BENCHMARK(BM_Search)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// What a peer's user does today: grep -F over the lines as a text file, keeping the newest 100. (Output straight to
// /dev/null would let grep stop at the first match.)
void BM_GrepF(benchmark::State &state) {
    const BigStore &big = Big();
    const std::string command =
        std::string("grep -F -e '") + kGrep[state.range(0)] + "' '" + big.textFile + "' | tail -n 100 > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) == -1) {
            state.SkipWithError("grep did not run");
            return;
        }
    }
    state.SetLabel(kGrep[state.range(0)]);
}
BENCHMARK(BM_GrepF)->DenseRange(0, 2)->Iterations(3)->Unit(benchmark::kMillisecond);

// One UTC day of the large store (2023-11-15, half a million lines): what Export and Delete History with a date
// range go through.
constexpr std::int64_t kDayFrom = 1'700'006'400'000;
constexpr std::int64_t kDayTo = kDayFrom + 86'400'000;

HistoryFilter Day() {
    HistoryFilter day;
    day.from = kDayFrom;
    day.to = kDayTo;
    return day;
}

// Every line of the day, oldest first, as an export reads them.
void BM_ExportDay(benchmark::State &state) {
    HistoryReader reader;
    if (!OpenBig(state, reader))
        return;
    const HistoryFilter day = Day();
    std::string error;
    std::int64_t count = 0;
    for (auto _ : state) {
        count = 0;
        if (!reader.ForEach(
                "", day,
                [&](const HistoryLine &line) {
                    benchmark::DoNotOptimize(line.text.data());
                    ++count;
                    return true;
                },
                error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.counters["lines"] = static_cast<double>(count);
}
BENCHMARK(BM_ExportDay)->Iterations(3)->Unit(benchmark::kMillisecond);

// The first 100 results for a word inside that day, newest first.
void BM_SearchDay(benchmark::State &state) {
    HistoryReader reader;
    if (!OpenBig(state, reader))
        return;
    const HistoryFilter day = Day();
    std::size_t found = 0;
    for (auto _ : state) {
        found = reader.Search("world", day, 100).lines.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["results"] = static_cast<double>(found);
}
BENCHMARK(BM_SearchDay)->Unit(benchmark::kMillisecond);

// Deleting that day's lines and visits, in a copy of the store made beforehand (not timed).
void BM_DeleteDay(benchmark::State &state) {
    const BigStore &big = Big();
    if (!big.error.empty()) {
        state.SkipWithError(big.error.c_str());
        return;
    }
    const std::string copy = TempFolder();
    for (auto _ : state) {
        state.PauseTiming();
        for (const char *suffix : {"", "-wal"}) {
            std::error_code missing;
            fs::copy_file(big.folder + "/" + kHistoryFileName + suffix, copy + "/" + kHistoryFileName + suffix,
                          fs::copy_options::overwrite_existing, missing);
        }
        HistoryReader reader;
        std::string error;
        if (!reader.Open(copy, true, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.ResumeTiming();
        if (!reader.Delete(kDayFrom, kDayTo, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    fs::remove_all(copy);
}
BENCHMARK(BM_DeleteDay)->Iterations(1)->Unit(benchmark::kMillisecond);

// Bytes on disk per line against the bytes of its text.
void BM_SizeOnDisk(benchmark::State &state) {
    const BigStore &big = Big();
    std::int64_t bytes = 0;
    for (const char *suffix : {"", "-wal"}) {
        std::error_code missing;
        const auto size = fs::file_size(big.folder + "/" + kHistoryFileName + suffix, missing);
        bytes += missing ? 0 : static_cast<std::int64_t>(size);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(bytes);
    state.counters["bytes_per_line"] = static_cast<double>(bytes) / static_cast<double>(g_size);
    state.counters["text_bytes_per_line"] = static_cast<double>(big.textBytes) / static_cast<double>(g_size);
    state.counters["ratio_to_text"] = static_cast<double>(bytes) / static_cast<double>(big.textBytes);
}
BENCHMARK(BM_SizeOnDisk)->Iterations(1);

} // namespace

int main(int argc, char **argv) {
    // --size N is ours; the rest belongs to the benchmark library.
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            g_size = std::max<std::int64_t>(1000, std::atoll(argv[++i]));
        } else if (std::strncmp(argv[i], "--size=", 7) == 0) {
            g_size = std::max<std::int64_t>(1000, std::atoll(argv[i] + 7));
        } else {
            rest.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    if (benchmark::ReportUnrecognizedArguments(count, rest.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
