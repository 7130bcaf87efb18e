#include "bench/ScaleProcess.h"

#include <asio.hpp>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

using namespace std::chrono_literals;

volatile std::sig_atomic_t runningServer = 0; // the server's pid while one runs

void OnSignal(int signal) {
    if (runningServer > 0)
        ::kill(static_cast<pid_t>(runningServer), SIGTERM);
    ::_exit(128 + signal);
}

bool Spawn(const std::vector<std::string> &args, int out, pid_t &pid) {
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0) {
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out, STDERR_FILENO);
    }
    const int r = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
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

std::string MakeFolder(const char *prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

// A port nobody listens on now; the server takes it a moment later.
int FreePort() {
    asio::io_context io;
    asio::ip::tcp::acceptor a(io, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    return a.local_endpoint().port();
}

bool Accepts(int port) {
    asio::io_context io;
    asio::ip::tcp::socket s(io);
    asio::error_code ec;
    s.connect(asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)), ec);
    return !ec;
}

} // namespace

void StopServerOnSignal() {
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
}

long RaiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    return static_cast<long>(limit.rlim_cur);
}

void ServerProcess::Stop() {
    if (pid > 0) {
        runningServer = 0;
        ::kill(pid, SIGTERM);
        int status = 0;
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        pid = 0;
    }
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        folder.clear();
    }
}

bool StartUniverse(const UniverseSetup &setup, ServerProcess &server) {
    server.folder = MakeFolder("gabbler-scale");
    if (server.folder.empty()) {
        server.error = "cannot make a temporary folder";
        return false;
    }
    const std::string &exe = setup.executable;
    std::vector<std::vector<std::string>> admin = {{"citizen", "add", "1", "Scale", setup.password}};
    for (const std::string &w : setup.worlds) {
        admin.push_back({"world", "add", w, "63"});
        admin.push_back({"world", "set", w, "max_users=0", "size=" + std::to_string(setup.size)});
    }
    for (std::vector<std::string> &a : admin) {
        a.insert(a.begin(), {exe, "--data", server.folder});
        if (RunQuietly(a) != 0) {
            server.error = "cannot prepare the store with " + exe;
            return false;
        }
    }
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        server.error = "no pipe";
        return false;
    }
    const bool ok = Spawn({exe, "--data", server.folder, "--listen", "127.0.0.1:0", "--quiet", "--max-connections",
                           std::to_string(setup.connections + 64), "--idle-timeout", "3600", "--radius",
                           std::to_string(setup.radius)},
                          out[1], server.pid);
    ::close(out[1]);
    if (ok)
        runningServer = server.pid;
    std::string line;
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (ok && line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
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
        server.error = "the universe did not start: " + exe;
        return false;
    }
    server.port = std::atoi(line.c_str() + colon + 1);
    return true;
}

bool StartIrc(const IrcSetup &setup, ServerProcess &server) {
    server.folder = MakeFolder("gabbler-scale-irc");
    if (server.folder.empty()) {
        server.error = "cannot make a temporary folder";
        return false;
    }
    server.port = FreePort();
    const std::string conf = server.folder + "/ngircd.conf";
    {
        std::ofstream f(conf);
        // Loopback only, no lookups that would stall the logins, no per-address cap (every bot comes from
        // 127.0.0.1), no command penalties and relaxed flood protection for every client (user mode F: the
        // speakers' pace is the load's, not the server's), and pings far apart so that an idle bot is not dropped
        // while the others log in.
        f << "[Global]\n"
             "    Name = bench.scale.invalid\n"
             "    Info = bench_scale peer\n"
             "    Listen = 127.0.0.1\n"
             "    Ports = "
          << server.port
          << "\n"
             "    MotdPhrase = bench\n"
             "    PidFile = "
          << server.folder
          << "/ngircd.pid\n"
             "[Limits]\n"
             "    MaxConnections = "
          << setup.connections + 64
          << "\n"
             "    MaxConnectionsIP = 0\n"
             "    MaxJoins = 0\n"
             "    MaxNickLength = 16\n"
             "    MaxPenaltyTime = 0\n"
             "    PingTimeout = 3600\n"
             "    PongTimeout = 3600\n"
             "[Options]\n"
             "    DNS = no\n"
             "    Ident = no\n"
             "    PAM = no\n"
             "    DefaultUserModes = F\n"
             "    SyslogFacility = \n";
    }
    const int log = ::open((server.folder + "/ngircd.log").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const bool ok = Spawn({setup.executable, "--nodaemon", "--config", conf}, log, server.pid);
    ::close(log);
    if (ok)
        runningServer = server.pid;
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (ok && !Accepts(server.port)) {
        int status = 0;
        if (std::chrono::steady_clock::now() > end || ::waitpid(server.pid, &status, WNOHANG) == server.pid) {
            server.error = "the IRC server did not start; see " + server.folder + "/ngircd.log";
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    if (!ok)
        server.error = "cannot run " + setup.executable;
    return ok;
}

bool ReadUsage(pid_t pid, ProcessUsage &usage) {
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
    long rssPages = 0;
    if (!p ||
        std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu %*d %*d %*d %*d %*d %*d %*u %*u %ld",
                    &utime, &stime, &rssPages) != 3)
        return false;
    usage.cpuSeconds = static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    usage.rssKiB = rssPages * (::sysconf(_SC_PAGESIZE) / 1024);
    // Every thread's run-queue wait: a server that waits for a core is slowed by the machine, not by its own work.
    usage.waitSeconds = 0;
    std::error_code ec;
    for (const auto &task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream stat(task.path() / "schedstat");
        unsigned long long running = 0, waiting = 0;
        if (stat >> running >> waiting)
            usage.waitSeconds += static_cast<double>(waiting) / 1e9;
    }
    return true;
}

double OwnCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double SoftirqSeconds() {
    FILE *f = std::fopen("/proc/stat", "r");
    if (!f)
        return 0;
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0;
    const int n =
        std::fscanf(f, "cpu %llu %llu %llu %llu %llu %llu %llu", &user, &nice, &system, &idle, &iowait, &irq, &softirq);
    std::fclose(f);
    return n == 7 ? static_cast<double>(softirq) / static_cast<double>(::sysconf(_SC_CLK_TCK)) : 0;
}
