#include "app/TerminateSignal.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The signal handler only writes a byte; the event loop does the rest.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

std::function<void()> &Handler() {
    static auto *handler = new std::function<void()>; // lives as long as the process, as the signals do
    return *handler;
}

} // namespace

void OnTerminateSignal(std::function<void()> handler) {
    if (signalPipe[0] < 0) {
        if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            return;
        }
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
    }
    Handler() = std::move(handler);
    // The notifier belongs to the application object and goes with it.
    static QPointer<QSocketNotifier> notifier;
    if (!notifier) {
        notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, [] {
            char byte = 0;
            while (::read(signalPipe[0], &byte, 1) > 0) {
            }
            if (Handler()) {
                Handler()();
            }
        });
    }
}
