// The platform lines in real time against torv2-sim: a far end that goes away (pseudo-terminal
// closed, TCP connection reset) is a lost line, a pseudo-terminal has no receive error counters,
// and a TCP server that does not answer is given up at the connect limit.
#include "link/ComPort.h"
#include "link/PortMap.h"
#include "link/SerialPortLine.h"
#include "protocol/BlockRead.h"
#include "sim/Simulator.h"
#include "sim/SimProcess.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace torv;
using torvtest::RealBench;
using torvtest::StartSim;

namespace {

int LinesWith(const QStringList &lines, const QString &piece) {
    return int(std::count_if(lines.begin(), lines.end(), [&](const QString &l) { return l.contains(piece); }));
}

struct FarEndCase {
    bool pty;
    const char *lostText;    // how the loss is named
    const char *reopenText;  // why the port does not open again
};

class FarEndGoesAway : public ::testing::TestWithParam<FarEndCase> {};

}  // namespace

// The device's line dies in the middle of its handshake answer (after 10 of 17 bytes).
TEST_P(FarEndGoesAway, IsALostLineThatStaysLost) {
    const FarEndCase &c = GetParam();
    RealBench b;
    QProcess sim;
    const QString link = b.dir.filePath(QStringLiteral("ttyTORV"));
    const QString announced = StartSim(sim, c.pty ? QStringList{"--pty", link, "--close-after", "10"}
                                                  : QStringList{"--tcp", "127.0.0.1:0", "--close-after", "10"});
    ASSERT_FALSE(announced.isEmpty());
    const QString target = c.pty ? link : announced;
    ASSERT_TRUE(torvtest::WriteAll(PortMap::Path(b.app.programDir()), ("COM3=" + target + "\n").toUtf8()));

    auto opened = std::make_unique<TComPort>(b.app, 3);
    TComPort &port = *opened;
    ASSERT_EQ(port.status, TComPort::StatusClean) << port.openError().toStdString();
    for (char ch : QByteArray("SYS"))
        port.WriteByte(uint8_t(ch));
    int read = 0;
    for (port.longWait = 1; read < 17; port.longWait = 0) {
        port.ReadByte(10);
        if (port.status != TComPort::StatusClean)
            break;
        ++read;
    }
    EXPECT_EQ(read, 10);
    EXPECT_EQ(port.status, TComPort::StatusPortFailed);
    EXPECT_TRUE(port.lineLost());

    // Gone for good: nothing waits on the line any more, and the status stays 256.
    QElapsedTimer t;
    t.start();
    port.longWait = 1;
    port.ReadByte(10);
    EXPECT_EQ(port.status, TComPort::StatusPortFailed);
    port.WriteByte('S');
    EXPECT_EQ(port.status, TComPort::StatusPortFailed);
    EXPECT_LT(t.elapsed(), 300);
    const QStringList log = b.status.lines(Role::RichEdit1);
    EXPECT_EQ(LinesWith(log, QStringLiteral("Связь по порту COM3 потеряна: ") + target + QStringLiteral(" — ")), 1)
        << log.join('\n').toStdString();
    EXPECT_TRUE(port.lostReason().contains(QString::fromUtf8(c.lostText))) << port.lostReason().toStdString();

    // The device does not come back: a new port in its place does not open, and says why.
    ASSERT_TRUE(sim.waitForFinished(5000));
    opened.reset();
    TComPort again(b.app, 3);
    EXPECT_EQ(again.status, TComPort::StatusPortFailed);
    EXPECT_EQ(again.openError().toStdString(), (QStringLiteral("Порт COM3 не открыт: ") + target +
                                                QStringLiteral(" — ") + QString::fromUtf8(c.reopenText))
                                                   .toStdString());
}

INSTANTIATE_TEST_SUITE_P(Lines, FarEndGoesAway,
                         ::testing::Values(FarEndCase{true, "закрыта на другом конце", "нет такого устройства"},
                                           FarEndCase{false, "сервер закрыл соединение",
                                                      "сервер отказал в соединении"}),
                         [](const auto &info) { return std::string(info.param.pty ? "PseudoTerminal" : "Tcp"); });

// A pseudo-terminal reports no receive errors at all: that is said once a run, and its quiet
// error word reads as a clean status.
TEST(PseudoTerminal, HasNoErrorCountersSaidOncePerRun) {
    RealBench b;
    QStringList log;  // the whole log: the pane itself is emptied as it fills
    QObject::connect(&b.status, &LinkStatus::lineAdded, [&log](int pane, const QString &line) {
        if (pane == int(Role::RichEdit1))
            log << line;
    });
    QProcess sim;
    const QString link = b.dir.filePath(QStringLiteral("ttyTORV"));
    ASSERT_FALSE(StartSim(sim, {"--pty", link, "--seed", "9"}).isEmpty());
    ASSERT_TRUE(torvtest::WriteAll(PortMap::Path(b.app.programDir()), ("COM3=" + link + "\n").toUtf8()));
    OpenLink(b.app);
    ASSERT_EQ(b.app.link.linkOpen, 1);
    QByteArray bytes;
    ReadFLASH(b.app, bytes, 0, 0, 16);
    EXPECT_EQ(b.app.abortState.load(), AbortRunning);
    EXPECT_EQ(b.app.link.port->status, TComPort::StatusClean);
    EXPECT_EQ(b.app.link.port->checkErrors, 0);
    b.app.link.releasePort();
    OpenLink(b.app);  // a new port on the same line
    ReadFLASH(b.app, bytes, 0, 16, 16);
    CloseLink(b.app);
    sim.terminate();
    sim.waitForFinished(5000);
    const QString said = QStringLiteral("Порт COM3 (") + link +
                         QStringLiteral(
                             "): у линии нет счётчиков ошибок приёма, ошибки кадра, чётности, "
                             "переполнения и обрыва не видны");
    EXPECT_EQ(LinesWith(log, said), 1) << log.join('\n').toStdString();
}

// A server whose connection queue is full never answers the connect: the line gives up at its
// limit and names it.
TEST(TcpLine, ConnectNobodyAnswersEndsAtTheLimit) {
    QTcpServer server;
    server.setListenBacklogSize(0);
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    std::vector<std::unique_ptr<QTcpSocket>> queue;  // fill the queue until a connect hangs
    bool hangs = false;
    while (!hangs && queue.size() < 8) {
        queue.push_back(std::make_unique<QTcpSocket>());
        queue.back()->connectToHost(QHostAddress::LocalHost, server.serverPort());
        hangs = !queue.back()->waitForConnected(200);
    }
    if (!hangs)
        GTEST_SKIP() << "this system completes every connect";
    TcpSerialLine line(QStringLiteral("127.0.0.1"), server.serverPort(), 300);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(line.open());
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_EQ(line.errorText(),
              QStringLiteral("tcp:127.0.0.1:%1 — сервер не ответил за 0.3 с").arg(server.serverPort()));
}
