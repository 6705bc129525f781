// POSIX signals reach the event loop through a pipe written by the handler.
#include "app/UnixSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace torv {

namespace {
int g_fds[2] = {-1, -1};  // the handler may touch only async-signal-safe state

void handler(int) {
    char c = 1;
    if (g_fds[0] >= 0) [[maybe_unused]]
        auto n = ::write(g_fds[0], &c, 1);
}
}  // namespace

QuitSignals::QuitSignals(std::function<void()> onSignal, QObject *parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_fds) != 0)
        return;
    ::fcntl(g_fds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(g_fds[1], F_SETFL, O_NONBLOCK);
    auto *notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(g_fds[1], buf, sizeof buf) > 0) {}
        if (onSignal_)
            onSignal_();
    });
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

QuitSignals::~QuitSignals() {
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    if (g_fds[0] >= 0) {
        ::close(g_fds[0]);
        ::close(g_fds[1]);
        g_fds[0] = g_fds[1] = -1;
    }
}

}  // namespace torv
