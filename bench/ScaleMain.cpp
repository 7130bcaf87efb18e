// The lean load program: thousands of bots from one process, one thread, each a plain socket speaking the
// universe's wire protocol (or IRC, to load a chat server nobody here wrote with the same work). They log in at a
// paced rate, enter their worlds, and say lines at a fixed total rate, the speaker rotating; every delivery is timed
// from say to hearing and checked for loss, order and duplicates. The server's CPU and memory come from /proc.
//
//     bench_scale [--peer universe|irc|both] [--bots 1000] [--worlds 1] [--rate 200] [--seconds 10]
//                 [--size 64] [--stand] [--spread 20] [--radius 200] [--window 32] [--irc-window 4]
//                 [--timed-every 10] [--server PATH] [--ircd PATH] [--metrics]
//
// Bot b is in world (or channel) b mod --worlds. Without --stand the bots listen where entering puts them, the
// world's middle, all within hearing and unseen; with it each also stands on a square grid --spread metres across,
// which makes everyone within the radius see everyone (n² avatar events while they come in). --window is how many
// logins are in flight at once; --irc-window the same for the IRC server, which accepts slowly when many knock at
// once (its listen queue overflows and the dropped connections retry a second later). One bot in --timed-every of
// each world times what it hears the moment it comes; the others read every 50 ms, which keeps this program's reads
// few, and are only checked for loss, order and duplicates. --metrics prints one "name value" line per figure, each
// name led by the peer's.

#include "bench/ScaleIrc.h"
#include "bench/ScaleProcess.h"
#include "bench/ScaleStats.h"
#include "bench/ScaleUniverse.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct Options {
    std::string peer = "universe";
    int bots = 1000;
    int worlds = 1;
    double rate = 200;
    double seconds = 10;
    int size = 64;
    bool stand = false;
    double spread = 20;
    int radius = 200;
    int window = 32;
    int ircWindow = 4;
    int timedEvery = 10;
    std::string server, ircd = "ngircd";
    bool metrics = false;
};

constexpr double kMaxDrainSeconds = 30; // after the last line, for late deliveries while they still come
constexpr double kEntryLimitSeconds = 600;

std::string DefaultServer() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path().parent_path() / "server" / "gabbler-universe").string();
}

bool Parse(int argc, char **argv, Options &o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--metrics" || a == "--stand") {
            (a == "--metrics" ? o.metrics : o.stand) = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string v = argv[++i];
        char *end = nullptr;
        const double n = std::strtod(v.c_str(), &end);
        const bool number = end && *end == '\0' && !v.empty();
        if (a == "--peer" && (v == "universe" || v == "irc" || v == "both"))
            o.peer = v;
        else if (a == "--bots" && number && n >= 2 && n <= 100000)
            o.bots = static_cast<int>(n);
        else if (a == "--worlds" && number && n >= 1 && n <= 1000)
            o.worlds = static_cast<int>(n);
        else if (a == "--rate" && number && n > 0 && n <= 1e6)
            o.rate = n;
        else if (a == "--seconds" && number && n > 0 && n <= 3600)
            o.seconds = n;
        else if (a == "--size" && number && n >= 40 && n <= 400)
            o.size = static_cast<int>(n);
        else if (a == "--spread" && number && n >= 0 && n <= 100000)
            o.spread = n;
        else if (a == "--radius" && number && n >= 1 && n <= 200000)
            o.radius = static_cast<int>(n);
        else if (a == "--window" && number && n >= 1 && n <= 10000)
            o.window = static_cast<int>(n);
        else if (a == "--irc-window" && number && n >= 1 && n <= 10000)
            o.ircWindow = static_cast<int>(n);
        else if (a == "--timed-every" && number && n >= 1 && n <= 100000)
            o.timedEvery = static_cast<int>(n);
        else if (a == "--server")
            o.server = v;
        else if (a == "--ircd")
            o.ircd = v;
        else
            return false;
    }
    return o.worlds <= o.bots;
}

struct Metric {
    std::string name;
    double value;
    std::string unit;
};

// One run against one peer: start it, bring the bots in, chat, drain, measure.
class Run {
public:
    Run(const Options &o, bool irc) : o_(o), irc_(irc) {}

    bool Execute(std::vector<Metric> &out);

private:
    bool Timed(int bot) const { return (bot / o_.worlds) % o_.timedEvery == 0; }
    bool StartServer();
    bool Enter();
    void Chat();
    void SendDue(long long nowNs);
    void Report(std::vector<Metric> &out) const;
    // Runs the loop until `done` holds or `seconds` pass.
    template <class Done> void Pump(double seconds, Done done);

    const Options &o_;
    const bool irc_;
    ServerProcess server_;
    asio::io_context io_;
    std::unique_ptr<ScaleFleet> fleet_;
    std::unique_ptr<DeliveryLedger> ledger_;
    LatencyHistogram latency_;
    bool chatting_ = false;
    int settled_ = 0, ready_ = 0, next_ = 0;
    long long lines_ = 0, nextLine_ = 0, startNs_ = 0, lastHeardNs_ = 0;
    double entrySeconds_ = 0, chatSeconds_ = 0;
    ProcessUsage idle_, entered_, before_, after_, beforeEntry_;
    double ownBefore_ = 0, ownAfter_ = 0, softirqBefore_ = 0, softirqAfter_ = 0;
};

template <class Done> void Run::Pump(double seconds, Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done() && std::chrono::steady_clock::now() < end) {
        io_.run_for(5ms);
        io_.restart();
    }
}

bool Run::StartServer() {
    bool ok = false;
    if (irc_) {
        ok = StartIrc({o_.ircd, o_.bots}, server_);
    } else {
        UniverseSetup s;
        s.executable = o_.server.empty() ? DefaultServer() : o_.server;
        for (int w = 0; w < o_.worlds; ++w)
            s.worlds.push_back(o_.worlds == 1 ? std::string("Arena") : "W" + std::to_string(w));
        s.password = "scale";
        s.connections = o_.bots;
        s.radius = o_.radius;
        s.size = static_cast<int>(o_.spread / 20) + 2; // the world must hold the whole grid
        ok = StartUniverse(s, server_);
    }
    if (!ok) {
        std::fprintf(stderr, "%s\n", server_.error.c_str());
        return false;
    }
    std::this_thread::sleep_for(300ms);
    ReadUsage(server_.pid, idle_);
    return true;
}

bool Run::Enter() {
    const asio::ip::tcp::endpoint at(asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(server_.port));
    const auto heard = [this](int listener, std::string_view text, long long nowNs) {
        long long k = 0, sent = 0;
        if (!chatting_ || !DeliveryLedger::Parse(text, k, sent)) {
            return;
        }
        ledger_->Heard(listener, k);
        if (Timed(listener))
            latency_.Add(nowNs - sent);
        lastHeardNs_ = nowNs;
    };
    const auto settled = [this](int i) {
        ++settled_;
        ready_ += fleet_->StatusOf(i) == ScaleFleet::Bot::Ready;
        if (next_ < o_.bots) {
            fleet_->Enter(next_, next_ % o_.worlds);
            ++next_;
        }
    };
    if (irc_) {
        fleet_ = std::make_unique<IrcFleet>(io_, o_.bots, at, o_.worlds, heard, settled);
    } else {
        UniverseLogin login;
        for (int w = 0; w < o_.worlds; ++w)
            login.worlds.push_back(o_.worlds == 1 ? std::string("Arena") : "W" + std::to_string(w));
        login.password = "scale";
        login.stand = o_.stand;
        login.spread = o_.spread;
        login.botsPerWorld = (o_.bots + o_.worlds - 1) / o_.worlds;
        fleet_ = std::make_unique<UniverseFleet>(io_, o_.bots, at, login, heard, settled);
    }
    ReadUsage(server_.pid, beforeEntry_);
    const auto t0 = std::chrono::steady_clock::now();
    // Logins are paced by a window: a new bot knocks only when one before it is in (or refused).
    for (; next_ < std::min(irc_ ? o_.ircWindow : o_.window, o_.bots); ++next_)
        fleet_->Enter(next_, next_ % o_.worlds);
    Pump(kEntryLimitSeconds, [this] { return settled_ == o_.bots; });
    entrySeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    // The last arrivals' events still flow for a moment; let them settle before the chat is timed.
    Pump(1.0, [] { return false; });
    ReadUsage(server_.pid, entered_);
    if (ready_ < 2) {
        std::fprintf(stderr, "only %d bots got in; first failure: %s\n", ready_, fleet_->FirstFailure().c_str());
        return false;
    }
    return true;
}

void Run::SendDue(long long nowNs) {
    const double gapNs = 1e9 / o_.rate;
    for (; nextLine_ < lines_; ++nextLine_) {
        if (startNs_ + static_cast<long long>(static_cast<double>(nextLine_) * gapNs) > nowNs)
            break;
        const int speaker = static_cast<int>(nextLine_ % o_.bots);
        const std::string text = DeliveryLedger::Text(nextLine_, NowNs(), static_cast<std::size_t>(o_.size));
        if (fleet_->Say(speaker, text))
            ledger_->Said(nextLine_);
    }
}

void Run::Chat() {
    lines_ = static_cast<long long>(o_.rate * o_.seconds);
    ledger_ = std::make_unique<DeliveryLedger>(o_.bots, o_.worlds, lines_);
    for (int b = 0; b < o_.bots; ++b) {
        if (fleet_->StatusOf(b) != ScaleFleet::Bot::Ready)
            ledger_->Absent(b);
        fleet_->SetLazy(b, !Timed(b));
    }
    chatting_ = true;
    startNs_ = NowNs();
    ReadUsage(server_.pid, before_);
    ownBefore_ = OwnCpuSeconds();
    softirqBefore_ = SoftirqSeconds();
    // One timer tick a millisecond sends the lines that are due; reads are served in between.
    asio::steady_timer tick(io_);
    std::function<void()> arm = [&] {
        tick.expires_after(1ms);
        tick.async_wait([&](const asio::error_code &ec) {
            if (ec)
                return;
            SendDue(NowNs());
            if (nextLine_ < lines_)
                arm();
        });
    };
    SendDue(startNs_);
    arm();
    Pump(o_.seconds + 5, [this] { return nextLine_ >= lines_; });
    const long long sentAll = NowNs();
    // Draining: until every delivery due has come, or none has for two seconds, or the limit.
    Pump(kMaxDrainSeconds, [&] {
        const long long now = NowNs();
        return ledger_->Heard() >= ledger_->Expected() || now - std::max(lastHeardNs_, sentAll) > 2'000'000'000LL;
    });
    ReadUsage(server_.pid, after_);
    ownAfter_ = OwnCpuSeconds();
    softirqAfter_ = SoftirqSeconds();
    chatSeconds_ = static_cast<double>(std::max(lastHeardNs_, sentAll) - startNs_) / 1e9;
    for (int b = 0; b < o_.bots; ++b)
        if (fleet_->StatusOf(b) != ScaleFleet::Bot::Ready)
            ledger_->Absent(b); // put out during the chat: its losses are the drop, counted apart
}

void Run::Report(std::vector<Metric> &out) const {
    const std::string p = irc_ ? "irc_" : "universe_";
    const auto add = [&](const std::string &name, double value, const std::string &unit) {
        out.push_back({p + name, value, unit});
    };
    int held = 0;
    for (int b = 0; b < o_.bots; ++b)
        held += fleet_->StatusOf(b) == ScaleFleet::Bot::Ready;
    const double delivered = static_cast<double>(ledger_->Heard());
    const double serverCpu = after_.cpuSeconds - before_.cpuSeconds;
    const double ownCpu = ownAfter_ - ownBefore_;
    add("bots", o_.bots, "bots");
    add("worlds", o_.worlds, irc_ ? "channels" : "worlds");
    add("bots_failed", o_.bots - ready_, "bots that did not get in");
    add("entry_seconds", entrySeconds_, "s for all to connect, log in and enter");
    add("entry_server_cpu_seconds", entered_.cpuSeconds - beforeEntry_.cpuSeconds, "s of server CPU to let them in");
    add("connections_held", held, "bots still in at the end");
    add("rate", o_.rate, "lines/s asked");
    add("lines_said", static_cast<double>(ledger_->SaidCount()), "lines sent");
    add("lines_refused", static_cast<double>(fleet_->Refused()), "lines the server refused");
    add("chat_seconds", chatSeconds_, "s from the first line to the last delivery");
    add("deliveries", delivered, "lines heard, all listeners");
    add("deliveries_per_second", chatSeconds_ > 0 ? delivered / chatSeconds_ : 0, "lines/s heard");
    add("latency_samples", static_cast<double>(latency_.Count()), "deliveries timed");
    add("latency_p50_ms", latency_.PercentileMs(50), "ms say to hearing");
    add("latency_p99_ms", latency_.PercentileMs(99), "ms");
    add("latency_p999_ms", latency_.PercentileMs(99.9), "ms");
    add("latency_max_ms", latency_.MaxMs(), "ms");
    add("lost", static_cast<double>(ledger_->Lost()), "deliveries due that never came");
    add("reordered", static_cast<double>(ledger_->Reordered()), "lines heard after a later one of their speaker");
    add("duplicated", static_cast<double>(ledger_->Duplicated()), "lines heard twice");
    add("unexpected", static_cast<double>(ledger_->Unexpected()), "lines heard by one who should not");
    add("server_cpu_percent", chatSeconds_ > 0 ? 100 * serverCpu / chatSeconds_ : 0, "% of a core during the chat");
    add("server_cpu_wait_percent",
        chatSeconds_ > 0 ? 100 * (after_.waitSeconds - before_.waitSeconds) / chatSeconds_ : 0,
        "% of the chat the server was ready to run but waited for a core");
    add("server_cpu_us_per_delivery", delivered > 0 ? serverCpu / delivered * 1e6 : 0, "µs of server CPU per line");
    add("server_idle_rss_mib", static_cast<double>(idle_.rssKiB) / 1024, "MiB resident before any bot");
    add("server_rss_mib", static_cast<double>(entered_.rssKiB) / 1024, "MiB resident with all bots in");
    add("server_kib_per_connection", static_cast<double>(entered_.rssKiB - idle_.rssKiB) / o_.bots,
        "KiB resident per bot");
    add("generator_cpu_percent", chatSeconds_ > 0 ? 100 * ownCpu / chatSeconds_ : 0, "% of a core, this program");
    add("generator_cpu_us_per_delivery", delivered > 0 ? ownCpu / delivered * 1e6 : 0, "µs per line heard");
    add("softirq_cpu_percent", chatSeconds_ > 0 ? 100 * (softirqAfter_ - softirqBefore_) / chatSeconds_ : 0,
        "% of a core in soft interrupts, whole machine");
}

bool Run::Execute(std::vector<Metric> &out) {
    if (!StartServer())
        return false;
    if (!Enter()) {
        server_.Stop();
        return false;
    }
    Chat();
    server_.Stop();
    Report(out);
    if (!fleet_->FirstFailure().empty() && !o_.metrics)
        std::fprintf(stderr, "first failure: %s\n", fleet_->FirstFailure().c_str());
    return true;
}

} // namespace

int main(int argc, char **argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: %s [--peer universe|irc|both] [--bots N] [--worlds N] [--rate LINES_PER_SECOND]\n"
                     "       [--seconds S] [--size BYTES] [--stand] [--spread METRES] [--radius METRES]\n"
                     "       [--window LOGINS] [--irc-window LOGINS] [--timed-every N] [--server PATH] [--ircd PATH] "
                     "[--metrics]\n",
                     argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    StopServerOnSignal();
    const long limit = RaiseDescriptorLimit();
    if (limit > 0 && limit < o.bots + 64) {
        std::fprintf(stderr, "%d bots need %d descriptors; the limit is %ld\n", o.bots, o.bots + 64, limit);
        return 1;
    }
    bool ok = true;
    for (const bool irc : {false, true}) {
        if (o.peer != "both" && (o.peer == "irc") != irc)
            continue;
        std::vector<Metric> metrics;
        Run run(o, irc);
        const bool ran = run.Execute(metrics);
        ok = ok && ran;
        if (!o.metrics)
            std::printf("%s: %d bots in %d %s, %.0f lines/s of %d bytes for %.0f s%s\n",
                        irc ? "IRC server" : "universe", o.bots, o.worlds, irc ? "channels" : "worlds", o.rate, o.size,
                        o.seconds, o.stand && !irc ? ", standing" : "");
        for (const Metric &m : metrics) {
            if (o.metrics)
                std::printf("%s %.4f\n", m.name.c_str(), m.value);
            else
                std::printf("  %-36s %12.3f  %s\n", m.name.c_str(), m.value, m.unit.c_str());
        }
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
