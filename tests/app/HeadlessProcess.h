#pragma once

// The real gabbler executable run as `gabbler --headless` in a child process with no display: no DISPLAY,
// WAYLAND_DISPLAY or QT_QPA_PLATFORM in its environment, standard output and standard error read through pipes.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

class HeadlessProcess {
public:
    HeadlessProcess() = default;
    ~HeadlessProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Reap(true);
        }
        for (int fd : {out_, err_})
            if (fd >= 0)
                ::close(fd);
    }
    HeadlessProcess(const HeadlessProcess &) = delete;
    HeadlessProcess &operator=(const HeadlessProcess &) = delete;

    bool Start(const std::vector<std::string> &options) {
        std::vector<std::string> args = {GABBLER_EXECUTABLE, "--headless"};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char *> env;
        for (char **e = environ; *e; ++e) {
            const std::string_view entry = *e;
            if (entry.starts_with("DISPLAY=") || entry.starts_with("WAYLAND_DISPLAY=") ||
                entry.starts_with("QT_QPA_PLATFORM="))
                continue;
            env.push_back(*e);
        }
        env.push_back(nullptr);
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        // The test's own sockets (the universe's listening one, say) must not live on in the child.
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
        const int r = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), env.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
        if (r != 0)
            pid_ = 0;
        return r == 0;
    }

    // Reads until a line of standard output contains text; false when none did within the time.
    bool WaitForLine(std::string_view text, std::chrono::milliseconds within = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + within;
        while (!HasLine(text)) {
            if (std::chrono::steady_clock::now() >= end || !Read(std::chrono::milliseconds(50)))
                return HasLine(text);
        }
        return true;
    }

    bool HasLine(std::string_view text) const { return out_text_.find(text) != std::string::npos; }

    // The same for standard error, where the program says what it does besides the chat pane.
    bool WaitForErrorLine(std::string_view text, std::chrono::milliseconds within = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + within;
        while (err_text_.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() >= end || !Read(std::chrono::milliseconds(50)))
                return err_text_.find(text) != std::string::npos;
        }
        return true;
    }

    void Signal(int signal) {
        if (pid_ > 0)
            ::kill(pid_, signal);
    }

    // The exit status once the process ended within the time (what it wrote is read to the end); nothing when it
    // was still running or ended by a signal.
    std::optional<int> WaitExit(std::chrono::milliseconds within = std::chrono::seconds(30)) {
        const auto end = std::chrono::steady_clock::now() + within;
        while (!Reap(false)) {
            if (std::chrono::steady_clock::now() >= end)
                return std::nullopt;
            if (!Read(std::chrono::milliseconds(50)))
                ::usleep(10000);
        }
        // The pipes end with the process; what is still in them is read.
        for (int i = 0; i < 100 && (out_ >= 0 || err_ >= 0); ++i)
            Read(std::chrono::milliseconds(50));
        return status_;
    }

    std::vector<std::string> OutLines() const {
        std::vector<std::string> lines;
        std::size_t at = 0;
        while (at < out_text_.size()) {
            const std::size_t end = out_text_.find('\n', at);
            if (end == std::string::npos)
                break;
            lines.push_back(out_text_.substr(at, end - at));
            at = end + 1;
        }
        return lines;
    }
    const std::string &Out() const { return out_text_; }
    const std::string &Err() const { return err_text_; }

private:
    // False when both pipes have ended.
    bool Read(std::chrono::milliseconds wait) {
        pollfd p[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        int open = 0;
        for (pollfd &f : p)
            open += f.fd >= 0;
        if (open == 0)
            return false;
        if (::poll(p, 2, static_cast<int>(wait.count())) <= 0)
            return true;
        Drain(p[0], out_, out_text_);
        Drain(p[1], err_, err_text_);
        return true;
    }
    static void Drain(const pollfd &p, int &fd, std::string &into) {
        if (fd < 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR)))
            return;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(fd);
            fd = -1;
        }
    }
    bool Reap(bool block) {
        int status = 0;
        pid_t r;
        while ((r = ::waitpid(pid_, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
        }
        if (r != pid_)
            return false;
        pid_ = 0;
        if (WIFEXITED(status))
            status_ = WEXITSTATUS(status);
        return true;
    }

    pid_t pid_ = 0;
    int out_ = -1, err_ = -1;
    std::string out_text_, err_text_;
    std::optional<int> status_;
};
