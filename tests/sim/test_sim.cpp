// The simulator itself: scenarios, pacing and reproducible faults (in-process, virtual time),
// and the torv2-sim executable end to end over a pseudo-terminal and TCP in real time.
#include "link/Link.h"
#include "link/PortMap.h"
#include "protocol/BlockRead.h"
#include "protocol/Handshake.h"
#include "sim/SimFixture.h"
#include "sim/SimProcess.h"
#include "TestUtil.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace torv;
using torvtest::SimBench;

TEST(Scenario, Gas4ImageAndUnknownNames) {
    auto model = BuildScenario(QStringLiteral("gas4"), 1);
    ASSERT_TRUE(model);
    const QByteArray img = model->configurationImage();
    ASSERT_EQ(img.size(), kImageSize);
    EXPECT_EQ(img.mid(73, 1) + img.mid(137, 1) + img.mid(201, 1) + img.mid(265, 1), QByteArray("VDBA"));
    EXPECT_EQ(model->usedChannels(), (std::vector<int>{1, 2, 3, 4}));
    QByteArray sector;
    model->fillFlashSector(0, sector, QDateTime());
    EXPECT_EQ(sector.mid(kImageAddress, kImageSize), img);
    QByteArray other;
    model->fillFlashSector(1, other, QDateTime());
    EXPECT_NE(other.left(256), sector.left(256));
    EXPECT_FALSE(BuildScenario(QStringLiteral("nosuch"), 1));
    EXPECT_TRUE(ScenarioNames().contains(QStringLiteral("gas4")));

    SimOptions o;
    o.scenario = QStringLiteral("nosuch");
    SimBench b(o);
    OpenLink(b.app);
    EXPECT_EQ(b.port().status, TComPort::StatusPortFailed);
}

TEST(Simulator, RepliesArePacedAtTheBaudRate) {
    SimBench b;
    Handshake(b.app, 249);
    const qint64 t0 = b.clock.monotonicMs();
    QByteArray buf;
    ReadFLASH(b.app, buf, 0, 0, 256);
    const qint64 spent = b.clock.monotonicMs() - t0;
    // 12 request bytes and 258 reply bytes at 10 bits each, 9600 baud: 281 ms.
    EXPECT_GE(spent, 281);
    EXPECT_LE(spent, 300);
}

TEST(Simulator, CurrentValuesPacketPerChannel) {
    SimBench b;
    OpenLink(b.app);
    for (int expected : {1, 2, 3, 4, 1}) {
        b.port().WriteByte('n');
        QByteArray packet;
        for (int i = 0; i < 48; ++i)
            packet.append(char(b.port().ReadByte(10)));
        EXPECT_EQ(b.port().status, TComPort::StatusClean);
        EXPECT_EQ(uint8_t(packet[0]), 0xC9);
        EXPECT_EQ((uint8_t(packet[4]) >> 4 & 3) + 1, expected);
    }
}

TEST(Simulator, FaultsAreReproducibleFromTheSeed) {
    auto run = [](uint32_t seed) {
        SimOptions o;
        o.seed = seed;
        o.faults.corruptRate = 0.05;
        o.faults.dropRate = 0.05;
        Torv2Simulator sim(o, [] { return QDateTime(QDate(2020, 1, 1), QTime(0, 0)); });
        for (char c : QByteArray("SYS"))
            sim.receive(uint8_t(c), 0);
        sim.receive(10, 100'000);
        for (uint8_t b : {0xFE, 0x01, 0xB9, 0x46, 0xFF, 0x00, 0xFF, 0x00, 0xFE, 0x01, 0xFF, 0x00})
            sim.receive(b, 200'000);
        QByteArray out;
        uint8_t b;
        while (sim.takeByte(b, 10'000'000))
            out.append(char(b));
        return out;
    };
    EXPECT_EQ(run(5), run(5));
    EXPECT_NE(run(5), run(6));
    EXPECT_LT(run(5).size(), 17 + 258);  // some bytes were dropped
}

namespace {

// Bytes from the program, 2 ms apart, from `at` on; returns the time after the last.
qint64 SendRaw(Torv2Simulator &sim, const QByteArray &bytes, qint64 at) {
    for (char c : bytes) {
        sim.receive(uint8_t(c), at);
        at += 2000;
    }
    return at;
}

// A request frame: every byte preceded by its complement.
QByteArray Paired(const QByteArray &frame) {
    QByteArray out;
    for (char c : frame)
        out.append(char(~uint8_t(c))).append(c);
    return out;
}

}  // namespace

// The byte after the device's identification tells it how many requests follow: it answers that
// many and then waits for the next "SYS", whatever count the program keeps for itself.
TEST(Simulator, AnswersAsManyRequestsAsTheAllowanceSays) {
    for (int allowance : {0, 1, 3, 249}) {
        Torv2Simulator sim(SimOptions{}, [] { return QDateTime(QDate(2020, 1, 1), QTime(0, 0)); });
        qint64 at = SendRaw(sim, "SYS", 0) + 100'000;
        at = SendRaw(sim, QByteArray(1, char(allowance)), at);
        const QByteArray read =
            Paired(QByteArray("\x01"
                              "F"
                              "\x00\x00\x00\x04",
                              6));
        for (int i = 0; i < allowance + 2; ++i)
            at = SendRaw(sim, read, at + 100'000);
        EXPECT_EQ(sim.counters().readRequests, allowance);
        EXPECT_EQ(sim.counters().ignoredRequests, 2);
        at = SendRaw(sim, "SYS", at + 100'000);  // woken again, it answers again
        at = SendRaw(sim, QByteArray(1, char(1)), at + 100'000);
        SendRaw(sim, read, at + 100'000);
        EXPECT_EQ(sim.counters().readRequests, allowance + 1);
    }
}

// --- the executable ---------------------------------------------------------------------------

namespace {

using torvtest::RealBench;
using torvtest::StartSim;

QDateTime ClockFromRegisters(const QByteArray &r) {
    auto d = [&](int i) { return (uint8_t(r[i]) >> 4) * 10 + (uint8_t(r[i]) & 15); };
    return QDateTime(QDate(2000 + d(9), d(8), d(7)), QTime(d(4), d(2), d(0)));
}

}  // namespace

TEST(EndToEnd, ImageAndClockOverAPseudoTerminal) {
    RealBench b;
    const QString link = b.dir.filePath(QStringLiteral("ttyTORV"));
    QProcess sim;
    // A negative history keeps the scenario's own start of work, so the image is the model's.
    const QString slave = StartSim(sim, {QStringLiteral("--pty"), link, QStringLiteral("--seed"), QStringLiteral("9"),
                                         QStringLiteral("--history-days"), QStringLiteral("-1")});
    ASSERT_TRUE(slave.startsWith(QStringLiteral("/dev/"))) << slave.toStdString();
    ASSERT_TRUE(QFileInfo(link).isSymLink());
    ASSERT_TRUE(torvtest::WriteAll(PortMap::Path(b.app.programDir()), ("COM3=" + link + "\n").toUtf8()));

    OpenLink(b.app);
    ASSERT_EQ(b.app.link.linkOpen, 1);
    QByteArray image(4096, '\0');
    ReadFLASH(b.app, image, 0, kImageAddress, 4096);
    QByteArray ram;
    ReadRTC(b.app, ram, 0, 240);
    const QDateTime now = QDateTime::currentDateTime();
    CloseLink(b.app);
    sim.terminate();
    sim.waitForFinished(5000);

    EXPECT_EQ(b.app.abortState.load(), AbortRunning);
    QByteArray expected;
    BuildScenario(QStringLiteral("gas4"), 9)->fillFlashSector(0, expected, QDateTime());
    EXPECT_EQ(image, expected.mid(kImageAddress, kImageSize));
    EXPECT_LE(qAbs(ClockFromRegisters(ram).secsTo(now)), 3);
    EXPECT_EQ(b.app.deviceNumber, QStringLiteral("4217"));
    EXPECT_FALSE(QFileInfo::exists(link));  // the simulator removes its link on exit
}

// The archive options of the executable: the start of work and contract hour reach the image, and
// the monthly records are those of an in-process device made with the same options.
TEST(EndToEnd, BlockReadOverTcp) {
    RealBench b;
    QProcess sim;
    const QString target =
        StartSim(sim, {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--scenario"),
                       QStringLiteral("gas-vdab"), QStringLiteral("--seed"), QStringLiteral("4"),
                       QStringLiteral("--start-of-work"), QStringLiteral("2019-03-15T14"),
                       QStringLiteral("--contract-hour"), QStringLiteral("7"), QStringLiteral("--clock-back"),
                       QStringLiteral("3"), QStringLiteral("--full-param-log")});
    ASSERT_TRUE(target.startsWith(QStringLiteral("tcp:127.0.0.1:"))) << target.toStdString();
    ASSERT_TRUE(torvtest::WriteAll(PortMap::Path(b.app.programDir()), ("COM3=" + target + "\n").toUtf8()));
    // A month the device has long closed: its record no longer changes.
    const int month = QDate::currentDate().addMonths(-2).month();
    OpenLink(b.app);
    ASSERT_EQ(b.app.link.linkOpen, 1);
    QByteArray stamp, monthly, lastLogRecord, ram;
    ReadFLASH(b.app, stamp, 0, kImageAddress + 1257, 5);
    ReadFLASH(b.app, monthly, 7, (month - 1) * 104, 104);
    ReadFLASH(b.app, lastLogRecord, 5, 0x10000 - 16, 16);
    ReadRTC(b.app, ram, 0, 240);
    const QDateTime now = QDateTime::currentDateTime();
    CloseLink(b.app);
    sim.terminate();
    sim.waitForFinished(5000);

    EXPECT_LE(qAbs(ClockFromRegisters(ram).secsTo(now.addSecs(-3 * 3600))), 3);  // the clock moved back
    EXPECT_NE(uint8_t(lastLogRecord[0]), 0xFF);                                  // the log fills the sector

    EXPECT_EQ(stamp, QByteArray("\x07\x15\x03\x19\x07", 5));  // 14:00 is 07:00 from the contract hour
    SimOptions o;
    o.scenario = QStringLiteral("gas-vdab");
    o.seed = 4;
    o.startOfWork = QDateTime(QDate(2019, 3, 15), QTime(14, 0));
    o.contractHour = 7;
    o.clockBackHours = 3;
    Torv2Simulator same(o, [] { return QDateTime::currentDateTime(); });
    EXPECT_EQ(monthly, same.flash(7, (month - 1) * 104, 104));
    EXPECT_NE(monthly, QByteArray(104, char(0xFF)));
}
