// The load program: one gabbler-universe, N bots in one world, each a process of its own on the SDK, and public
// chat at a fixed total rate. Every bot speaks in turn and listens to all the others. It reports the connections
// held, the lines delivered per second, the latency from say to hearing, the server's CPU and memory, and per
// listener the lines lost or heard out of order.
//
//     bench_load [--bots 300] [--rate 200] [--seconds 20] [--pump-ms 20] [--spread 20] [--radius 200] [--metrics]
//                [--server PATH] [--connect HOST:PORT --server-pid PID]
//
// The bots stand on a square grid --spread metres across: by default all within 20 m, so each line is heard by
// the N - 1 others; with a wider spread a line reaches only the listeners within --radius metres of its speaker,
// and only those are expected to hear it. Each bot pumps every --pump-ms milliseconds, as a program with a timer
// does (the latency includes that wait); 0 lets each bot wait in SdkWait and take every frame as it comes.
// --metrics prints one "metric value" line per figure instead of the table. Without --connect it starts the
// gabbler-universe beside it in the build tree (or --server PATH) on a fresh store in a temporary folder.

#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Options {
    int bots = 300;
    double rate = 200;   // lines per second, all bots together
    double seconds = 20; // of chat
    int pumpMs = 20;     // 0: each bot waits in SdkWait for the next frame; else it pumps every this many ms
    double spread = 20;  // metres: the side of the square the bots stand on
    double radius = 200; // metres: the server's hearing radius
    bool metrics = false;
    std::string server;  // the executable; empty: beside this program in the build tree
    std::string connect; // HOST:PORT of a running server instead
    int serverPid = 0;   // with --connect: whose CPU and memory to report
};

constexpr const char *kWorld = "Arena";
constexpr const char *kPassword = "load";
constexpr double kDrainSeconds = 3; // after the last line, for late ones to arrive

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// ---- Shared between the bots and the parent: one anonymous shared mapping made before the fork ----------------

struct Control {
    std::atomic<int> ready{0}, failed{0}, said{0}, done{0};
    std::atomic<long long> startNs{0}; // when the first line is due; 0 until every bot is in
};

struct BotSlot {
    std::atomic<int> phase{0}; // 0 starting, 1 in the world, 2 finished speaking, 3 done, -1 failed
    int failedStep = 0, failedCode = 0;
    int said = 0, sayFailures = 0;
    int heard = 0, lost = 0, reordered = 0, duplicated = 0, unexpected = 0;
    int disconnects = 0;
    int connectedAtEnd = 0;
    int latencies = 0;        // entries used in its latency row
    double cpuSeconds = 0;    // its own CPU time during the chat
    long long finishedNs = 0; // when its last line was said
};

struct Shared {
    Control *control = nullptr;
    BotSlot *slots = nullptr;
    std::uint32_t *latency = nullptr; // per bot a row of `perBot` microsecond values
    std::size_t perBot = 0;
};

Shared MapShared(int bots, std::size_t perBot) {
    const std::size_t bytes = sizeof(Control) + sizeof(BotSlot) * static_cast<std::size_t>(bots) +
                              4 * perBot * static_cast<std::size_t>(bots);
    void *p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return {};
    auto *base = static_cast<unsigned char *>(p);
    Shared s;
    s.control = new (base) Control;
    s.slots = reinterpret_cast<BotSlot *>(base + sizeof(Control));
    for (int i = 0; i < bots; ++i)
        new (&s.slots[i]) BotSlot;
    s.latency =
        reinterpret_cast<std::uint32_t *>(base + sizeof(Control) + sizeof(BotSlot) * static_cast<std::size_t>(bots));
    s.perBot = perBot;
    return s;
}

// Where bot `index` stands, in centimetres: a square grid `spread` metres across, centred on the world's middle.
void Place(int index, int bots, double spread, int &x, int &z) {
    int side = 1;
    while (side * side < bots)
        ++side;
    const double step = side > 1 ? spread * 100 / (side - 1) : 0;
    x = static_cast<int>((index % side) * step - spread * 50);
    z = static_cast<int>((index / side) * step - spread * 50);
}

// The server's own test: within the radius, edge included.
bool InRange(int a, int b, const Options &o) {
    int ax = 0, az = 0, bx = 0, bz = 0;
    Place(a, o.bots, o.spread, ax, az);
    Place(b, o.bots, o.spread, bx, bz);
    const auto r = static_cast<long long>(o.radius * 100);
    const long long dx = static_cast<long long>(ax) - bx, dz = static_cast<long long>(az) - bz;
    return dx * dx + dz * dz <= r * r;
}

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// ---- One bot --------------------------------------------------------------------------------------------------

// Runs in its own process and ends with _exit: it never returns into the parent's code.
[[noreturn]] void Bot(int index, const Options &o, const std::string &host, int port, Shared shared) {
    BotSlot &me = shared.slots[index];
    Control &control = *shared.control;
    const auto fail = [&](int step, int code) {
        me.failedStep = step;
        me.failedCode = code;
        me.phase = -1;
        ++control.failed;
        std::_Exit(1);
    };
    if (const int r = SdkInit(kSdkBuild))
        fail(1, r);
    SdkTuning tuning;
    tuning.connectTimeout = 30s; // hundreds of bots knock at once
    tuning.requestTimeout = 60s;
    SdkSetTuning(tuning);
    if (const int r = SdkCreate(host, port, 0))
        fail(2, r);
    SdkSetInt(kAttrLoginCitizen, 1);
    SdkSetString(kAttrLoginPassword, kPassword);
    SdkSetString(kAttrLoginName, "Load" + std::to_string(index));
    if (const int r = SdkLogin())
        fail(3, r);
    if (const int r = SdkEnter(kWorld))
        fail(4, r);
    int x = 0, z = 0;
    Place(index, o.bots, o.spread, x, z);
    SdkSetInt(kAttrMyX, x);
    SdkSetInt(kAttrMyZ, z);
    if (const int r = SdkStateChange())
        fail(5, r);

    const int bots = o.bots;
    std::vector<std::vector<bool>> seen(static_cast<std::size_t>(bots));
    std::vector<int> highest(static_cast<std::size_t>(bots), -1);
    std::uint32_t *row = shared.latency + shared.perBot * static_cast<std::size_t>(index);
    bool measuring = false;
    SdkSetEventHandler(kEventChat, [&] {
        const long long now = NowNs();
        const std::string text = SdkGetString(kAttrChatMessage);
        int speaker = -1, line = -1;
        long long sent = 0;
        if (std::sscanf(text.c_str(), "L %d %d %lld", &speaker, &line, &sent) != 3 || speaker < 0 || speaker >= bots ||
            speaker == index || line < 0) {
            ++me.unexpected;
            return;
        }
        auto &mine = seen[static_cast<std::size_t>(speaker)];
        if (static_cast<std::size_t>(line) >= mine.size())
            mine.resize(static_cast<std::size_t>(line) + 1);
        if (!InRange(index, speaker, o))
            ++me.unexpected; // heard from beyond the radius
        if (mine[static_cast<std::size_t>(line)]) {
            ++me.duplicated;
            return;
        }
        mine[static_cast<std::size_t>(line)] = true;
        ++me.heard;
        int &top = highest[static_cast<std::size_t>(speaker)];
        if (line < top)
            ++me.reordered;
        top = std::max(top, line);
        if (measuring && static_cast<std::size_t>(me.latencies) < shared.perBot)
            row[me.latencies++] = static_cast<std::uint32_t>(std::clamp<long long>((now - sent) / 1000, 0, UINT32_MAX));
    });
    SdkSetEventHandler(kEventWorldDisconnect, [&] { ++me.disconnects; });

    me.phase = 1;
    ++control.ready;
    const auto pump = [&](long long untilNs) {
        for (long long now = NowNs(); now < untilNs; now = NowNs()) {
            const int slice = static_cast<int>(std::min<long long>((untilNs - now) / 1000000 + 1, 50));
            if (o.pumpMs > 0) {
                SdkWait(0);
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(o.pumpMs, slice)));
            } else {
                SdkWait(slice);
            }
        }
    };
    while (control.startNs.load() == 0)
        pump(NowNs() + 20'000'000);
    const long long start = control.startNs.load();
    const long long end = start + static_cast<long long>(o.seconds * 1e9);
    const double gapNs = 1e9 / o.rate;
    measuring = true;
    const double cpuBefore = CpuSeconds();
    // Line k of the whole room is due at start + k / rate and spoken by bot k mod N.
    for (long long k = index;; k += bots) {
        const long long due = start + static_cast<long long>(static_cast<double>(k) * gapNs);
        if (due >= end)
            break;
        pump(due);
        const std::string text = "L " + std::to_string(index) + " " + std::to_string(me.said + me.sayFailures) + " " +
                                 std::to_string(NowNs());
        if (SdkSay(text) == 0)
            ++me.said;
        else
            ++me.sayFailures;
    }
    me.cpuSeconds = CpuSeconds() - cpuBefore;
    me.finishedNs = NowNs();
    me.phase = 2;
    ++control.said;
    pump(end + static_cast<long long>(kDrainSeconds * 1e9));
    // Every speaker's count is final once all have finished speaking (a failed one never will).
    // A bot that died without a word would hold the others here for ever; half a minute is plenty.
    const long long giveUp = NowNs() + 30'000'000'000LL;
    while (control.said.load() + control.failed.load() < bots && NowNs() < giveUp)
        pump(NowNs() + 20'000'000);
    measuring = false;
    for (int s = 0; s < bots; ++s) {
        if (s == index || shared.slots[s].phase.load() < 2 || !InRange(index, s, o))
            continue;
        // A line whose say failed was still numbered; it counts as lost only if the server took it.
        const int expected = shared.slots[s].said;
        int got = 0;
        for (const bool b : seen[static_cast<std::size_t>(s)])
            got += b;
        me.lost += std::max(0, expected - got);
    }
    me.connectedAtEnd = SdkSession() != 0;
    me.phase = 3;
    ++control.done;
    SdkTerm();
    std::_Exit(0);
}

// ---- The server ---------------------------------------------------------------------------------------------------

std::string DefaultServer() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path().parent_path() / "server" / "gabbler-universe").string();
}

bool Spawn(const std::vector<std::string> &args, int out, pid_t &pid) {
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    const int r = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return r == 0;
}

int RunQuietly(const std::vector<std::string> &args) {
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t pid = 0;
    const bool ok = Spawn(args, null, pid);
    ::close(null);
    if (!ok)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts the server on a fresh store; its port, or 0 with the reason in `error`.
int StartServer(const std::string &exe, const std::string &data, const Options &o, pid_t &pid, std::string &error) {
    // The world must hold the whole grid: it is 20 m times its size across.
    const int size = static_cast<int>(o.spread / 20) + 2;
    for (const std::vector<std::string> &admin : std::vector<std::vector<std::string>>{
             {"citizen", "add", "1", "Load", kPassword},
             {"world", "add", kWorld, "63"},
             {"world", "set", kWorld, "max_users=0", "size=" + std::to_string(size)}}) {
        std::vector<std::string> args = {exe, "--data", data};
        args.insert(args.end(), admin.begin(), admin.end());
        if (RunQuietly(args) != 0) {
            error = "cannot prepare the store with " + exe;
            return 0;
        }
    }
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error = "no pipe";
        return 0;
    }
    const bool ok = Spawn({exe, "--data", data, "--listen", "127.0.0.1:0", "--quiet", "--max-connections",
                           std::to_string(o.bots + 64), "--radius", std::to_string(static_cast<int>(o.radius))},
                          out[1], pid);
    ::close(out[1]);
    std::string line;
    const auto end = Clock::now() + 20s;
    while (ok && line.find('\n') == std::string::npos && Clock::now() < end) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char c[256];
        const ssize_t n = ::read(out[0], c, sizeof c);
        if (n <= 0)
            break;
        line.append(c, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    const auto colon = line.rfind(':');
    if (!ok || line.rfind("listening on ", 0) != 0 || colon == std::string::npos) {
        error = "the server did not start: " + exe;
        return 0;
    }
    return std::atoi(line.c_str() + colon + 1);
}

// CPU seconds used so far and resident memory, of another process.
bool ProcessUsage(pid_t pid, double &cpuSeconds, long &rssKiB, long &peakKiB) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE *f = std::fopen(path, "r");
    if (!f)
        return false;
    char buffer[1024];
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = '\0';
    // After the name in parentheses (which may hold blanks) come the fields from the third on.
    const char *p = std::strrchr(buffer, ')');
    unsigned long utime = 0, stime = 0;
    if (!p || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        return false;
    cpuSeconds = static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    if ((f = std::fopen(path, "r"))) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            std::sscanf(line, "VmRSS: %ld", &rssKiB);
            std::sscanf(line, "VmHWM: %ld", &peakKiB);
        }
        std::fclose(f);
    }
    return true;
}

// ---- Main ---------------------------------------------------------------------------------------------------------

bool Parse(int argc, char **argv, Options &o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--metrics") {
            o.metrics = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string v = argv[++i];
        char *end = nullptr;
        const double number = std::strtod(v.c_str(), &end);
        const bool isNumber = end && *end == '\0' && !v.empty();
        if (a == "--bots" && isNumber && number >= 2 && number <= 5000)
            o.bots = static_cast<int>(number);
        else if (a == "--rate" && isNumber && number > 0 && number <= 100000)
            o.rate = number;
        else if (a == "--seconds" && isNumber && number > 0 && number <= 3600)
            o.seconds = number;
        else if (a == "--pump-ms" && isNumber && number >= 0 && number <= 1000)
            o.pumpMs = static_cast<int>(number);
        else if (a == "--spread" && isNumber && number >= 0 && number <= 100000)
            o.spread = number;
        else if (a == "--radius" && isNumber && number >= 1 && number <= 200000)
            o.radius = number;
        else if (a == "--server")
            o.server = v;
        else if (a == "--connect")
            o.connect = v;
        else if (a == "--server-pid" && isNumber)
            o.serverPid = static_cast<int>(number);
        else
            return false;
    }
    return true;
}

double Percentile(const std::vector<std::uint32_t> &sorted, double p) {
    if (sorted.empty())
        return 0;
    const auto at = static_cast<std::size_t>(p / 100 * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(at, sorted.size() - 1)] / 1000.0;
}

} // namespace

int main(int argc, char **argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: %s [--bots N] [--rate LINES_PER_SECOND] [--seconds S] [--pump-ms MS] [--spread METRES]\n"
                     "       [--radius METRES] [--metrics] [--server PATH] [--connect HOST:PORT [--server-pid PID]]\n",
                     argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::string host = "127.0.0.1", error;
    int port = 0;
    pid_t server = 0;
    std::filesystem::path data;
    if (!o.connect.empty()) {
        const auto colon = o.connect.rfind(':');
        if (colon == std::string::npos) {
            std::fprintf(stderr, "--connect needs HOST:PORT\n");
            return 2;
        }
        host = o.connect.substr(0, colon);
        port = std::atoi(o.connect.c_str() + colon + 1);
        server = o.serverPid;
    } else {
        char pattern[] = "/tmp/gabbler-load-XXXXXX";
        if (!::mkdtemp(pattern)) {
            std::fprintf(stderr, "cannot make a temporary folder\n");
            return 1;
        }
        data = pattern;
        port = StartServer(o.server.empty() ? DefaultServer() : o.server, data.string(), o, server, error);
        if (port == 0) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::filesystem::remove_all(data);
            return 1;
        }
    }

    const auto linesPerBot = static_cast<std::size_t>(o.rate * o.seconds / o.bots + 2);
    const Shared shared = MapShared(o.bots, linesPerBot * static_cast<std::size_t>(o.bots));
    if (!shared.control) {
        std::fprintf(stderr, "cannot map the shared results\n");
        return 1;
    }
    std::vector<pid_t> children;
    const auto entering = Clock::now();
    for (int i = 0; i < o.bots; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0)
            Bot(i, o, host, port, shared);
        if (pid < 0) {
            std::fprintf(stderr, "fork failed after %d bots: %s\n", i, std::strerror(errno));
            break;
        }
        children.push_back(pid);
    }
    const int started = static_cast<int>(children.size());
    Control &control = *shared.control;
    // Bots that die on the way in (a crash rather than a refusal, which they report) count as failed too.
    while (control.ready.load() + control.failed.load() < started && Clock::now() - entering < 300s) {
        int status = 0;
        const pid_t gone = ::waitpid(-1, &status, WNOHANG);
        if (gone > 0) {
            const auto at = std::find(children.begin(), children.end(), gone) - children.begin();
            if (at < started && shared.slots[at].phase.load() >= 0 && shared.slots[at].phase.load() < 2) {
                shared.slots[at].phase = -1;
                ++control.failed;
            }
            continue;
        }
        std::this_thread::sleep_for(20ms);
    }
    const double entrySeconds = std::chrono::duration<double>(Clock::now() - entering).count();

    double serverCpu0 = 0, serverCpu1 = 0;
    long rss = 0, peak = 0;
    if (server)
        ProcessUsage(server, serverCpu0, rss, peak);
    control.startNs = NowNs() + 500'000'000;
    const auto chatStart = Clock::now() + 500ms;
    std::this_thread::sleep_until(chatStart + std::chrono::duration<double>(o.seconds));
    if (server)
        ProcessUsage(server, serverCpu1, rss, peak);

    for (const pid_t pid : children) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (server && o.connect.empty()) {
        ::kill(server, SIGTERM);
        int status = 0;
        ::waitpid(server, &status, 0);
        std::filesystem::remove_all(data);
    }

    int held = 0, failed = 0, said = 0, sayFailures = 0, disconnects = 0;
    long long heard = 0, lost = 0, reordered = 0, duplicated = 0, unexpected = 0;
    int worstLost = 0;
    double botsCpu = 0;
    long long lastLine = control.startNs.load();
    std::vector<std::uint32_t> latencies;
    for (int i = 0; i < started; ++i) {
        const BotSlot &b = shared.slots[i];
        if (b.phase.load() != 3) {
            ++failed;
            if (!o.metrics && b.phase.load() < 0)
                std::fprintf(stderr, "bot %d failed at step %d with %d\n", i, b.failedStep, b.failedCode);
            continue;
        }
        held += b.disconnects == 0 && b.connectedAtEnd;
        said += b.said;
        sayFailures += b.sayFailures;
        disconnects += b.disconnects;
        heard += b.heard;
        lost += b.lost;
        worstLost = std::max(worstLost, b.lost);
        reordered += b.reordered;
        duplicated += b.duplicated;
        unexpected += b.unexpected;
        botsCpu += b.cpuSeconds;
        lastLine = std::max(lastLine, b.finishedNs);
        const std::uint32_t *row = shared.latency + shared.perBot * static_cast<std::size_t>(i);
        latencies.insert(latencies.end(), row, row + b.latencies);
    }
    std::sort(latencies.begin(), latencies.end());
    // An overloaded machine stretches the schedule; rates are over the time the lines really took.
    const double chatSeconds = std::max(o.seconds, static_cast<double>(lastLine - control.startNs.load()) / 1e9);
    const double serverCpuPercent = 100 * (serverCpu1 - serverCpu0) / o.seconds;
    struct Metric {
        const char *name;
        double value;
        const char *unit;
    };
    const Metric metrics[] = {
        {"load_bots", static_cast<double>(o.bots), "bots started"},
        {"load_bots_failed", static_cast<double>(failed), "bots that did not get in or did not finish"},
        {"load_entry_seconds", entrySeconds, "s for all to log in, enter and stand"},
        {"load_connections_held", static_cast<double>(held), "bots connected throughout"},
        {"load_disconnections", static_cast<double>(disconnects), "event 13 seen by the bots"},
        {"load_lines_said", static_cast<double>(said), "lines confirmed by the server"},
        {"load_say_failures", static_cast<double>(sayFailures), "says that returned an error"},
        {"load_chat_seconds", chatSeconds, "s from the first line due to the last said"},
        {"load_lines_per_second", said / chatSeconds, "lines/s said"},
        {"load_deliveries_per_second", static_cast<double>(heard) / chatSeconds, "lines/s heard, all listeners"},
        {"load_latency_p50_ms", Percentile(latencies, 50), "ms say to hearing"},
        {"load_latency_p90_ms", Percentile(latencies, 90), "ms"},
        {"load_latency_p99_ms", Percentile(latencies, 99), "ms"},
        {"load_latency_p999_ms", Percentile(latencies, 99.9), "ms"},
        {"load_latency_max_ms", latencies.empty() ? 0 : latencies.back() / 1000.0, "ms"},
        {"load_lost", static_cast<double>(lost), "lines a listener in range never heard, all listeners"},
        {"load_lost_worst_listener", static_cast<double>(worstLost), "lines, the listener that lost most"},
        {"load_reordered", static_cast<double>(reordered), "lines heard after a later one of the same speaker"},
        {"load_duplicated", static_cast<double>(duplicated), "lines heard twice"},
        {"load_server_cpu_percent", server ? serverCpuPercent : -1, "% of one core during the chat"},
        {"load_server_rss_mib", server ? rss / 1024.0 : -1, "MiB resident at the end of the chat"},
        {"load_server_peak_rss_mib", server ? peak / 1024.0 : -1, "MiB resident at most"},
        {"load_bots_cpu_percent", 100 * botsCpu / o.seconds, "% of one core, all bots together"},
    };
    if (!o.metrics)
        std::printf("%d bots in one world on %.0f m, hearing %.0f m, %.0f lines/s for %.0f s, pump %s\n", o.bots,
                    o.spread, o.radius, o.rate, o.seconds,
                    o.pumpMs ? (std::to_string(o.pumpMs) + " ms").c_str() : "on arrival");
    for (const Metric &m : metrics) {
        if (o.metrics)
            std::printf("%s %.3f\n", m.name, m.value);
        else
            std::printf("  %-28s %12.3f  %s\n", m.name, m.value, m.unit);
    }
    if (unexpected && !o.metrics)
        std::printf("  (%lld lines not in the load's form or from beyond the radius were heard)\n", unexpected);
    return failed == 0 ? 0 : 1;
}
