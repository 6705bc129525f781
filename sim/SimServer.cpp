#include "sim/SimServer.h"

#include "sim/Simulator.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace torv {

namespace {

constexpr qint64 kIdlePollUs = 100'000;
constexpr useconds_t kCloseDelayUs = 100'000;

qint64 NowUs() {
    using namespace std::chrono;
    static const auto origin = steady_clock::now();
    return duration_cast<microseconds>(steady_clock::now() - origin).count();
}

bool WriteAll(int fd, const uint8_t *p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w > 0) {
            p += w;
            n -= size_t(w);
        } else if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd pfd{fd, POLLOUT, 0};
            ::poll(&pfd, 1, 10);
        } else {
            return false;
        }
    }
    return true;
}

enum class PumpEnd { Stopped, PeerGone, Closing };

// Moves bytes between fd and the simulator until the peer goes away, `stop`, or the device has
// sent closeAfterBytes bytes (when >= 0).
PumpEnd Pump(Torv2Simulator &sim, int fd, const std::atomic<bool> &stop, qint64 closeAfterBytes) {
    std::vector<uint8_t> due;
    uint8_t buf[512];
    while (!stop) {
        qint64 now = NowUs();
        sim.advance(now);
        due.clear();
        uint8_t b;
        const qint64 sent = sim.counters().bytesOut;
        while ((closeAfterBytes < 0 || sent + qint64(due.size()) < closeAfterBytes) && sim.takeByte(b, now))
            due.push_back(b);
        if (!due.empty() && !WriteAll(fd, due.data(), due.size()))
            return PumpEnd::PeerGone;
        if (closeAfterBytes >= 0 && sim.counters().bytesOut >= closeAfterBytes) {
            ::usleep(kCloseDelayUs);  // the bytes already sent reach the far end first
            return PumpEnd::Closing;
        }
        const qint64 next = sim.nextEventUs();
        qint64 waitUs = next < 0 ? kIdlePollUs : qBound<qint64>(0, next - NowUs(), kIdlePollUs);
        pollfd pfd{fd, POLLIN, 0};
        timespec ts{time_t(waitUs / 1'000'000), long(waitUs % 1'000'000) * 1000};
        const int r = ::ppoll(&pfd, 1, &ts, nullptr);
        if (r < 0 && errno != EINTR)
            return PumpEnd::PeerGone;
        if (r > 0 && (pfd.revents & POLLIN)) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n == 0)
                return PumpEnd::PeerGone;
            if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
                return PumpEnd::PeerGone;
            now = NowUs();
            for (ssize_t i = 0; i < n; ++i)
                sim.receive(buf[i], now);
        } else if (r > 0 && (pfd.revents & (POLLHUP | POLLERR))) {
            return PumpEnd::PeerGone;
        }
    }
    return PumpEnd::Stopped;
}

std::atomic<bool> *g_stop = nullptr;  // the signal handler's only way back
void OnSignal(int) {
    if (g_stop)
        g_stop->store(true);
}

}  // namespace

void StopOnSignals(std::atomic<bool> &stop) {
    g_stop = &stop;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: ppoll returns at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int ServePty(Torv2Simulator &sim, const QString &linkPath, const std::function<void(const QString &)> &announce,
             const std::atomic<bool> &stop, qint64 closeAfterBytes) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("torv2-sim: pseudo-terminal");
        return 1;
    }
    const char *slaveName = ::ptsname(master);
    if (!slaveName) {
        std::perror("torv2-sim: ptsname");
        return 1;
    }
    const QString slave = QString::fromLocal8Bit(slaveName);
    // Holding the slave side open keeps the master readable while the program reopens its port.
    const int keep = ::open(slaveName, O_RDWR | O_NOCTTY);
    if (keep >= 0) {
        termios t{};
        if (::tcgetattr(keep, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(keep, TCSANOW, &t);
        }
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    QByteArray link;
    if (!linkPath.isEmpty()) {
        link = linkPath.toLocal8Bit();
        struct stat st {};
        if (::lstat(link.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(link.constData());
        if (::symlink(slaveName, link.constData()) != 0) {
            std::perror("torv2-sim: symlink");
            return 1;
        }
    }
    announce(slave);
    while (!stop) {
        const PumpEnd end = Pump(sim, master, stop, closeAfterBytes);
        if (end == PumpEnd::Closing)
            break;  // the master closes below: the program's side hangs up
        if (end == PumpEnd::PeerGone)
            ::usleep(10'000);  // nobody on the slave side for a moment
    }
    if (!link.isEmpty())
        ::unlink(link.constData());
    if (keep >= 0)
        ::close(keep);
    ::close(master);
    return 0;
}

int ServeTcp(Torv2Simulator &sim, const QString &host, quint16 port,
             const std::function<void(const QString &)> &announce, const std::atomic<bool> &stop,
             qint64 closeAfterBytes) {
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    if (server < 0) {
        std::perror("torv2-sim: socket");
        return 1;
    }
    const int one = 1;
    ::setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.toLatin1().constData(), &addr.sin_addr) != 1) {
        std::fprintf(stderr, "torv2-sim: bad address %s\n", qPrintable(host));
        return 1;
    }
    if (::bind(server, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(server, 1) != 0) {
        std::perror("torv2-sim: bind");
        return 1;
    }
    socklen_t len = sizeof addr;
    ::getsockname(server, reinterpret_cast<sockaddr *>(&addr), &len);
    announce(QStringLiteral("tcp:%1:%2").arg(host).arg(ntohs(addr.sin_port)));
    while (!stop) {
        pollfd pfd{server, POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0)
            continue;
        const int client = ::accept(server, nullptr, nullptr);
        if (client < 0)
            continue;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ::fcntl(client, F_SETFL, ::fcntl(client, F_GETFL) | O_NONBLOCK);
        const PumpEnd end = Pump(sim, client, stop, closeAfterBytes);
        if (end == PumpEnd::Closing) {
            const linger reset{1, 0};  // close with a reset, as a converter that loses power
            ::setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            ::close(client);
            break;
        }
        ::close(client);
    }
    ::close(server);
    return 0;
}

}  // namespace torv
