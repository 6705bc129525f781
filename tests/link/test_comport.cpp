// TComPort, ports.map and the link opening over scripted lines and the simulator.
#include "link/ComPort.h"
#include "link/Link.h"
#include "link/PortMap.h"
#include "sim/SimFixture.h"
#include "sim/SimLineScheme.h"
#include "TestUtil.h"

#include <gtest/gtest.h>
#include <deque>
#include <utility>

using namespace torv;
using torvtest::SimBench;

namespace {

// A line whose bytes arrive at fixed virtual times; counts the modem-line switches.
class ScriptedLine final : public SerialLine {
public:
    ScriptedLine(VirtualClock &clock, bool hasModemLines = true) : clock_(clock), hasLines_(hasModemLines) {}

    void arriveAt(qint64 ms, uint8_t b) { input_.push_back({ms, b}); }

    QString target() const override { return QStringLiteral("scripted"); }
    bool open() override { return true; }
    QString errorText() const override { return goneAt >= 0 ? QStringLiteral("scripted — линия закрыта") : QString(); }
    bool configure(const LineFormat &f) override {
        format = f;
        return true;
    }
    Switch setDtr(bool) override {
        ++switches;
        return hasLines_ ? Switch::Done : Switch::NotSupported;
    }
    Switch setRts(bool) override {
        ++switches;
        return hasLines_ ? Switch::Done : Switch::NotSupported;
    }
    ModemLines modemLines() override { return {hasLines_, true, true, false}; }
    int bytesWaiting() override {
        if (goneAt >= 0 && clock_.monotonicMs() >= goneAt)
            return -1;
        int n = 0;
        for (const auto &i : input_)
            n += i.first <= clock_.monotonicMs();
        return n;
    }
    bool outputEmpty() override { return true; }
    int takeReceiveErrors() override { return counters ? std::exchange(receiveErrors, 0) : kNoErrorCounters; }
    bool waitForData(qint64 ms) override {
        const qint64 deadline = clock_.monotonicMs() + ms;
        qint64 wake = deadline;
        if (!input_.empty())
            wake = qMin(wake, qMax(clock_.monotonicMs(), input_.front().first));
        if (goneAt >= 0)
            wake = qMin(wake, qMax(clock_.monotonicMs(), goneAt));
        clock_.advanceTo(wake);
        return bytesWaiting() > 0;
    }
    bool readByte(uint8_t &b) override {
        if (!bytesWaiting())
            return false;
        b = input_.front().second;
        input_.pop_front();
        return true;
    }
    bool writeByte(uint8_t b) override {
        written.append(char(b));
        return true;
    }
    bool waitForWritten(qint64) override { return true; }

    LineFormat format;
    int switches = 0;
    QByteArray written;
    bool counters = true;   // the driver keeps receive error counters
    int receiveErrors = 0;  // reported by the next poll
    qint64 goneAt = -1;     // the far end goes away at this virtual time

private:
    VirtualClock &clock_;
    bool hasLines_;
    std::deque<std::pair<qint64, uint8_t>> input_;
};

}  // namespace

TEST(TComPort, FailedOpenKeepsStatus256AndTimesOutWithTheStaleByte) {
    SimBench b;
    TComPort port(b.app, 7, nullptr);
    EXPECT_EQ(port.status, TComPort::StatusPortFailed);
    port.lastByte = 0x42;
    const qint64 t0 = b.clock.monotonicMs();
    EXPECT_EQ(port.ReadByte(10), 0x42);
    EXPECT_EQ(port.status, TComPort::StatusTimeout);
    EXPECT_GE(b.clock.monotonicMs() - t0, 495 + 550);  // idle wait, then 10 × 55 ms
}

TEST(TComPort, ConfigureSetsTheBaudFromTheDivisor) {
    SimBench b;
    auto line = std::make_unique<ScriptedLine>(b.clock);
    ScriptedLine *l = line.get();
    TComPort port(b.app, 1, std::move(line));
    EXPECT_EQ(l->format.baud, 9600);  // Create configures 9600 8N1
    port.Configure(1, 8, 2, 2);
    EXPECT_EQ(l->format.baud, 115200);
    EXPECT_EQ(l->format.parity, 2);
    EXPECT_EQ(l->format.stopBits, 2);
    EXPECT_EQ(port.status, TComPort::StatusClean);
}

TEST(TComPort, SetLinesSwitchesOnlyOnChangeAndAcceptsMissingLines) {
    SimBench b;
    for (bool hasLines : {true, false}) {
        auto line = std::make_unique<ScriptedLine>(b.clock, hasLines);
        ScriptedLine *l = line.get();
        TComPort port(b.app, 1, std::move(line));
        port.SetLines(0x300);
        port.SetLines(0x300);
        EXPECT_EQ(l->switches, 2);
        EXPECT_EQ(port.status, TComPort::StatusClean);
        EXPECT_EQ(port.QueryStatus() & 0x0300, 0x0300);
        port.SetLines(0x100);
        EXPECT_EQ(l->switches, 3);
        EXPECT_EQ(port.rtsOn, 0);
    }
}

TEST(TComPort, LongWaitCatchesALateByte) {
    SimBench b;
    auto line = std::make_unique<ScriptedLine>(b.clock);
    ScriptedLine *l = line.get();
    TComPort port(b.app, 1, std::move(line));
    const qint64 t0 = b.clock.monotonicMs();
    l->arriveAt(t0 + 3000, 'S');
    port.longWait = 1;
    EXPECT_EQ(port.ReadByte(1), 'S');
    EXPECT_EQ(port.status, TComPort::StatusClean);
    EXPECT_EQ(b.clock.monotonicMs() - t0, 3000);
    const QStringList log = b.status.lines(Role::RichEdit1);
    EXPECT_TRUE(log.contains(QStringLiteral("Begin data")));
    EXPECT_TRUE(log.contains(QStringLiteral("Data In 3005")));

    // Without the long wait the same byte is missed: 0.5 s idle plus 55 ms.
    l->arriveAt(b.clock.monotonicMs() + 3000, 'Y');
    port.longWait = 0;
    port.ReadByte(1);
    EXPECT_EQ(port.status, TComPort::StatusTimeout);
    EXPECT_EQ(b.status.text(Role::Label14), QStringLiteral("Чист"));
}

TEST(TComPort, ReadByteZeroEndsAfterTheIdleWait) {
    SimBench b;
    TComPort port(b.app, 1, std::make_unique<ScriptedLine>(b.clock));
    const qint64 t0 = b.clock.monotonicMs();
    port.ReadByte(0);
    EXPECT_EQ(port.status, TComPort::StatusTimeout);
    EXPECT_LE(b.clock.monotonicMs() - t0, 500);
}

TEST(TComPort, PanesStayShortAndEchoEveryByte) {
    SimBench b;
    auto line = std::make_unique<ScriptedLine>(b.clock);
    ScriptedLine *l = line.get();
    TComPort port(b.app, 1, std::move(line));
    for (int i = 0; i < 45; ++i)
        l->arriveAt(b.clock.monotonicMs() + 10 * i, uint8_t(i));
    for (int i = 0; i < 45; ++i) {
        EXPECT_EQ(port.ReadByte(2), uint8_t(i));
        EXPECT_LE(b.status.lines(Role::RichEdit3).size(), 20);
        EXPECT_LE(b.status.lines(Role::RichEdit1).size(), 30);
    }
    EXPECT_EQ(b.status.lines(Role::RichEdit3).last(), QStringLiteral("Out: (44)"));
    port.WriteByte(0xFE);
    EXPECT_EQ(b.status.lines(Role::RichEdit2).last(), QStringLiteral("Out: (254)"));
    EXPECT_TRUE(b.status.lines(Role::RichEdit3).isEmpty());
    EXPECT_EQ(l->written, QByteArray(1, char(0xFE)));
}

TEST(TComPort, ResetDrainsWaitingBytes) {
    SimBench b;
    auto line = std::make_unique<ScriptedLine>(b.clock);
    ScriptedLine *l = line.get();
    TComPort port(b.app, 1, std::move(line));
    l->arriveAt(b.clock.monotonicMs() + 50, 1);
    l->arriveAt(b.clock.monotonicMs() + 60, 2);
    port.Reset();
    EXPECT_EQ(l->bytesWaiting(), 0);
    EXPECT_EQ(port.dtrOn, 1);
    EXPECT_EQ(port.rtsOn, 1);
}

TEST(ReceiveErrors, CountersThatGrewGiveTheStatusBits) {
    const struct {
        ReceiveErrorCounts after;
        int bits;
    } cases[] = {
        {{10, 20, 30, 40}, 0},  // nothing new
        {{11, 20, 30, 40}, RxFraming},
        {{10, 22, 30, 40}, RxParity},
        {{10, 20, 31, 40}, RxOverrun},
        {{10, 20, 30, 41}, RxBreak},
        {{12, 21, 33, 44}, RxFraming | RxParity | RxOverrun | RxBreak},
        {{0, 0, 0, 0}, 0},  // counters started again
    };
    const ReceiveErrorCounts before{10, 20, 30, 40};
    for (const auto &c : cases)
        EXPECT_EQ(ReceiveErrorBits(before, c.after), c.bits)
            << c.after.frame << " " << c.after.parity << " " << c.after.overrun << " " << c.after.brk;
}

// What the line reports at the poll that finds the byte is the status after the read; a line
// without counters reads as clean and is named once in the log.
TEST(TComPort, ReceiveErrorsReachTheStatusAfterARead) {
    const struct {
        bool counters;
        int errors;
        uint16_t status;
    } cases[] = {{true, 0, 0},
                 {true, RxFraming, 8},
                 {true, RxParity | RxOverrun, 6},
                 {true, RxBreak, 16},
                 {false, SerialLine::kNoErrorCounters, 0}};
    SimBench b;
    for (const auto &c : cases) {
        auto line = std::make_unique<ScriptedLine>(b.clock);
        ScriptedLine *l = line.get();
        l->counters = c.counters;
        TComPort port(b.app, 1, std::move(line));
        l->arriveAt(b.clock.monotonicMs() + 5, 0x42);
        l->receiveErrors = c.counters ? c.errors : 0;
        EXPECT_EQ(port.ReadByte(10), 0x42);
        EXPECT_EQ(port.status, c.status) << c.errors;
    }
    const QStringList log = b.status.lines(Role::RichEdit1);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const QString &l) { return l.contains(QStringLiteral("нет счётчиков ошибок приёма")); }),
              1)
        << log.join('\n').toStdString();
}

TEST(TComPort, ALineThatGoesAwayStaysFailedAndIsNotWaitedOn) {
    SimBench b;
    auto line = std::make_unique<ScriptedLine>(b.clock);
    ScriptedLine *l = line.get();
    TComPort port(b.app, 2, std::move(line));
    const qint64 t0 = b.clock.monotonicMs();
    l->arriveAt(t0 + 10, 'S');
    l->goneAt = t0 + 100;
    EXPECT_EQ(port.ReadByte(10), 'S');
    EXPECT_EQ(port.status, TComPort::StatusClean);
    port.longWait = 1;
    port.ReadByte(10);  // the line goes while the read waits
    EXPECT_EQ(port.status, TComPort::StatusPortFailed);
    EXPECT_LE(b.clock.monotonicMs() - t0, 100 + 5);
    port.WriteByte(0x53);
    EXPECT_EQ(port.status, TComPort::StatusPortFailed);
    EXPECT_TRUE(l->written.isEmpty());
    port.ReadByte(10);
    EXPECT_EQ(port.status, TComPort::StatusPortFailed);
    port.Configure(12, 8, 0, 1);
    EXPECT_EQ(port.status, TComPort::StatusPortFailed);
    EXPECT_LE(b.clock.monotonicMs() - t0, 100 + 5);
    EXPECT_TRUE(port.lineLost());
    EXPECT_EQ(port.lostReason(), QStringLiteral("Связь по порту COM2 потеряна: scripted — линия закрыта"));
    EXPECT_EQ(b.status.lines(Role::RichEdit1).count(port.lostReason()), 1);
}

TEST(PortMap, EntriesCommentsAndDefaults) {
    const QString map = QStringLiteral(
        "# test bench\n"
        "COM1=/dev/ttyUSB0\n"
        "  com12 = tcp:127.0.0.1:7001  \n"
        "; COM2=/dev/nothing\n"
        "COM3=\n"
        "COM4=sim:gas4\n");
    EXPECT_EQ(PortMap::Lookup(map, 1), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(PortMap::Lookup(map, 12), QStringLiteral("tcp:127.0.0.1:7001"));
    EXPECT_EQ(PortMap::Lookup(map, 2), QString());
    EXPECT_EQ(PortMap::Lookup(map, 3), QString());
    EXPECT_EQ(PortMap::Lookup(map, 4), QStringLiteral("sim:gas4"));
    EXPECT_EQ(PortMap::DefaultTarget(1), QStringLiteral("/dev/ttyS0"));

    QTemporaryDir dir;
    EXPECT_EQ(PortMap::Resolve(dir.path(), 5), QStringLiteral("/dev/ttyS4"));
    ASSERT_TRUE(torvtest::WriteAll(PortMap::Path(dir.path()), map.toUtf8()));
    EXPECT_EQ(PortMap::Resolve(dir.path(), 12), QStringLiteral("tcp:127.0.0.1:7001"));
    EXPECT_EQ(PortMap::Resolve(dir.path(), 3), QStringLiteral("/dev/ttyS2"));
}

TEST(OpenLink, HealthyPortIsKeptAndAMissingPortFails) {
    SimBench b;
    OpenLink(b.app);
    ASSERT_TRUE(b.app.link.port);
    EXPECT_EQ(b.app.link.linkOpen, 1);
    EXPECT_EQ(b.port().answerTimeUnit, 50);
    TComPort *first = b.app.link.port.get();
    b.port().commandAllowance = 17;
    OpenLink(b.app);
    EXPECT_EQ(b.app.link.port.get(), first);
    EXPECT_EQ(b.port().commandAllowance, 17);

    // A broken port is replaced.
    b.port().status = TComPort::StatusTimeout;
    OpenLink(b.app);
    EXPECT_EQ(b.port().commandAllowance, 0);
    EXPECT_EQ(b.app.link.linkOpen, 1);

    // Through ports.map to a device that does not exist.
    b.app.link.lineFactory = nullptr;
    ASSERT_TRUE(torvtest::WriteAll(PortMap::Path(b.app.programDir()), "COM1=/nonexistent/ttyTORV\n"));
    b.port().status = TComPort::StatusTimeout;
    OpenLink(b.app);
    ASSERT_TRUE(b.app.link.port);
    EXPECT_EQ(b.port().status, TComPort::StatusPortFailed);
    EXPECT_EQ(b.app.link.linkOpen, 0);
}

// A port that does not open names its target and the reason, in the log and to the caller; a
// ports.map that cannot be read opens nothing in place of the entry it may hold.
TEST(OpenLink, APortThatDoesNotOpenSaysWhy) {
    SimBench b;
    b.app.link.lineFactory = nullptr;
    const QString dir = b.dir.filePath(QStringLiteral("serial"));
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString passwd = b.dir.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(torvtest::WriteAll(passwd, "text\n"));
    const struct {
        QString target;
        QString reason;
    } cases[] = {
        {dir, dir + QStringLiteral(" — это каталог, а не последовательный порт")},
        {QStringLiteral("/nonexistent/ttyTORV"), QStringLiteral("/nonexistent/ttyTORV — нет такого устройства")},
        {passwd, passwd + QStringLiteral(" — это не последовательный порт")},
        {QStringLiteral("tcp:127.0.0.1"), QStringLiteral("tcp:127.0.0.1:0 — неверный адрес: нужен tcp:АДРЕС:ПОРТ")},
        {QStringLiteral("sim:nosuch"), QStringLiteral("sim:nosuch — нет такого сценария симулятора")},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(torvtest::WriteAll(PortMap::Path(b.app.programDir()), ("COM1=" + c.target + "\n").toUtf8()));
        b.app.link.releasePort();
        OpenLink(b.app);
        ASSERT_TRUE(b.app.link.port);
        EXPECT_EQ(b.port().status, TComPort::StatusPortFailed);
        EXPECT_EQ(b.app.link.linkOpen, 0);
        const QString said = QStringLiteral("Порт COM1 не открыт: ") + c.reason;
        EXPECT_EQ(b.port().openError(), said);
        EXPECT_TRUE(b.status.lines(Role::RichEdit1).contains(said)) << said.toStdString();
    }

    // ports.map itself a directory: COM1 is not quietly taken for /dev/ttyS0.
    ASSERT_TRUE(QFile::remove(PortMap::Path(b.app.programDir())));
    ASSERT_TRUE(QDir().mkpath(PortMap::Path(b.app.programDir())));
    QString problem;
    EXPECT_EQ(PortMap::Resolve(b.app.programDir(), 1, &problem), QString());
    EXPECT_EQ(problem, PortMap::Path(b.app.programDir()) + QStringLiteral(" не читается (это каталог, а не файл)"));
    b.app.link.releasePort();
    OpenLink(b.app);
    EXPECT_EQ(b.port().status, TComPort::StatusPortFailed);
    EXPECT_EQ(b.port().openError(), QStringLiteral("Порт COM1 не открыт: ") + problem);
}

TEST(OpenLink, SimulatorNamedInPortsMap) {
    SimBench b;
    b.app.link.lineFactory = nullptr;
    const auto scheme = RegisterSimulatorScheme(b.app.link);
    ASSERT_TRUE(torvtest::WriteAll(PortMap::Path(b.app.programDir()), "COM1=sim:gas4\n"));
    OpenLink(b.app);
    ASSERT_TRUE(b.app.link.port);
    EXPECT_EQ(b.port().lineTarget(), QStringLiteral("sim:gas4"));
    EXPECT_EQ(b.app.link.linkOpen, 1);
    EXPECT_TRUE(scheme->simulator(QStringLiteral("gas4")));
    CloseLink(b.app);
    EXPECT_FALSE(b.app.link.port);

    // Without the registration the link does not know the scheme and says so.
    b.app.link.schemes.clear();
    OpenLink(b.app);
    EXPECT_EQ(b.port().status, TComPort::StatusPortFailed);
    EXPECT_TRUE(b.port().openError().contains(QStringLiteral("симулятор прибора в этой программе не подключен")))
        << b.port().openError().toStdString();
}
