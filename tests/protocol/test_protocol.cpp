// The device protocol against the in-process simulator on the virtual clock.
#include "link/Link.h"
#include "protocol/BlockRead.h"
#include "protocol/CheckRegister.h"
#include "protocol/ClockWrite.h"
#include "protocol/Handshake.h"
#include "sim/SimFixture.h"

#include <gtest/gtest.h>

using namespace torv;
using torvtest::SimBench;

TEST(CheckRegister, KnownValueAndDeviceAgreement) {
    uint16_t r = 0;
    for (char c : QByteArray("abc"))
        CheckStep(r, uint8_t(c));
    EXPECT_EQ(r, 0x03B7);
    QByteArray block;
    SimRandom rnd(7);
    for (int i = 0; i < 256; ++i)
        block.append(char(rnd.next()));
    EXPECT_EQ(CheckValue(block), SimCheckValue(block));
}

TEST(ClockBlock, RegistersInBcd) {
    EXPECT_EQ(ClockBlock(QDateTime(QDate(2019, 3, 14), QTime(9, 5, 7))).toHex(' '),
              QByteArray("07 00 05 00 09 00 00 14 03 19"));
    EXPECT_EQ(uint8_t(ClockBlock(QDateTime(QDate(2000, 1, 1), QTime(23, 59, 58)))[9]), 0x00);
    EXPECT_EQ(uint8_t(ClockBlock(QDateTime(QDate(1999, 12, 31), QTime(0, 0, 0)))[9]), 0x99);
}

// --- handshake -------------------------------------------------------------------------------

struct SerialCase {
    const char *bytes;
    const char *serial;
    const char *deviceNumber;
};

class HandshakeSerial : public ::testing::TestWithParam<SerialCase> {};

TEST_P(HandshakeSerial, OnlyDigitsEnterTheSerialString) {
    SimOptions o;
    o.serialText = GetParam().bytes;
    SimBench b(o);
    b.app.deviceNumber = QStringLiteral("777");
    EXPECT_EQ(Handshake(b.app, 250), 'S');
    EXPECT_EQ(b.port().serialString, QString::fromLatin1(GetParam().serial));
    EXPECT_EQ(b.app.deviceNumber, QString::fromLatin1(GetParam().deviceNumber));
    EXPECT_EQ(b.port().commandAllowance, 251);
    EXPECT_EQ(b.sim->counters().allowance, 250);
    EXPECT_TRUE(b.status.text(Role::Label10)
                    .startsWith(QStringLiteral("Номер прибора по SYS ") + QString::fromLatin1(GetParam().serial) +
                                " 14.03.2019"));
}

INSTANTIATE_TEST_SUITE_P(Cases, HandshakeSerial,
                         ::testing::Values(SerialCase{"0012345", "0012345", "12345"},
                                           SerialCase{"12A45 7", "12457", "12457"},
                                           SerialCase{"0000000", "0000000", "0"}));

TEST(Handshake, WrongFirstByteFailsBothAttemptsButStillConcludes) {
    SimOptions o;
    o.faults.wrongReplies = 2;
    o.faults.wrongReplyByte = 'X';
    SimBench b(o);
    b.app.deviceNumber = QStringLiteral("555");
    b.app.repeatCounter = 1;
    const char reply = Handshake(b.app, 249);
    EXPECT_EQ(reply, 'X');
    EXPECT_EQ(b.app.repeatCounter, 2);
    EXPECT_EQ(b.sim->counters().handshakes, 2);
    EXPECT_EQ(b.sim->counters().allowance, 249);  // the conclusion ran on a clean line
    EXPECT_EQ(b.port().commandAllowance, 250);
    EXPECT_TRUE(b.port().serialString.isEmpty());
    EXPECT_EQ(b.app.deviceNumber, QStringLiteral("555"));
    EXPECT_EQ(b.status.text(Role::Label11), QStringLiteral("RepeatConnectDevice:=2"));
    EXPECT_TRUE(b.prompts.requests().empty());
}

TEST(Handshake, AnAnswerCutShortNeverRenamesTheDevice) {
    // Over a modem the port stays open when a reply breaks off (the carrier holds), so the digits
    // of a cut-short answer would still be in the serial string at the conclusion.
    SimOptions o;
    o.modem = true;
    o.serialText = "0004217";
    o.faults.cutHandshakes = 2;
    o.faults.cutHandshakeAfter = 1 + 7 + 1 + 5;  // "00042" of the serial bytes
    SimBench b(o);
    b.app.settings.setLinkMode(LinkModeModem);
    b.app.registry.inputs.storedPhone = QStringLiteral("84951234567");
    b.app.deviceNumber = QStringLiteral("4217");
    OpenLink(b.app);
    ASSERT_EQ(b.app.link.modemConnected, 1);
    Handshake(b.app, 249);
    EXPECT_EQ(b.sim->counters().handshakes, 2);
    EXPECT_EQ(b.app.deviceNumber, QStringLiteral("4217"));
    EXPECT_TRUE(b.port().serialString.isEmpty());
    // The next, complete answer is taken.
    Handshake(b.app, 249);
    EXPECT_EQ(b.app.deviceNumber, QStringLiteral("4217"));
    EXPECT_EQ(b.port().serialString, QStringLiteral("0004217"));
}

TEST(Handshake, FifthFailureAsksAndDeclinesOnTimeout) {
    SimOptions o;
    o.faults.mute = true;
    SimBench b(o);
    b.app.repeatCounter = 4;
    const qint64 t0 = b.clock.monotonicMs();
    Handshake(b.app, 249);
    ASSERT_EQ(b.prompts.requests().size(), 1u);
    const PromptRequest q = b.prompts.requests()[0];
    EXPECT_EQ(q.kind, PromptRequest::YesNo);
    EXPECT_EQ(q.caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(q.countdown, 15);
    EXPECT_EQ(q.text().trimmed(), QStringLiteral("Ошибка 3:Прибор не отвечает. Повторить попытку?"));
    EXPECT_EQ(b.app.repeatCounter, 0);
    EXPECT_EQ(b.app.abortState.load(), AbortDeclined);
    EXPECT_EQ(b.status.text(Role::StaticText3), QStringLiteral("Плохая связь с прибором"));
    // The pause before the second attempt grows with the counter: 4 × 2 s.
    EXPECT_GE(b.clock.monotonicMs() - t0, 8000);
}

TEST(Handshake, FailureAnsweredYesGoesOnAndConcludes) {
    SimOptions o;
    o.faults.mute = true;
    SimBench b(o);
    b.app.repeatCounter = 4;
    b.prompts.push(AnswerYes);
    Handshake(b.app, 249);
    EXPECT_EQ(b.app.abortState.load(), AbortRunning);
    EXPECT_EQ(b.app.repeatCounter, 0);
    // The reopened port is clean: the allowance byte went out (a muted device does not take it).
    EXPECT_EQ(b.status.lines(Role::RichEdit2).value(0), QStringLiteral("Out: (249)"));
    EXPECT_EQ(b.port().commandAllowance, 250);
    EXPECT_EQ(b.sim->counters().allowance, -1);
}

TEST(Handshake, AbortOnEntryReadsNothingButConcludes) {
    SimBench b;
    OpenLink(b.app);
    b.app.abortState = AbortUser;
    Handshake(b.app, 250);
    EXPECT_EQ(b.sim->counters().bytesOut, 0);       // the program took no byte off the line
    EXPECT_EQ(b.sim->counters().allowance, 250);    // the allowance byte went out
    EXPECT_EQ(b.app.abortState.load(), AbortUser);  // reopening the link keeps the user's abort
}

TEST(Handshake, FastLinkWithAllowanceLeftSkipsTheExchange) {
    SimBench b;
    OpenLink(b.app);
    b.port().commandAllowance = 3;
    b.port().rateHistory.fill(500);
    EXPECT_EQ(Handshake(b.app, 249), 'S');
    EXPECT_EQ(b.sim->counters().handshakes, 0);
}

// --- block reads -----------------------------------------------------------------------------

TEST(ReadFLASH, FullBlockSendsCountZeroAndStoresTheDeviceBytes) {
    SimBench b;
    QByteArray buf(256, '\0');
    ReadFLASH(b.app, buf, 3, 0x1234, 256);
    EXPECT_EQ(b.app.abortState.load(), AbortRunning);
    EXPECT_EQ(b.sim->counters().lastCountByte, 0);
    EXPECT_EQ(buf, b.sim->flash(3, 0x1234, 256));
    EXPECT_EQ(b.port().commandAllowance, 248);
    EXPECT_EQ(b.status.text(Role::StaticText2), QStringLiteral("Получены данные Flash байт=255"));
    EXPECT_TRUE(b.status.text(Role::StaticText3).endsWith(QStringLiteral(" байт/сек")));
    EXPECT_EQ(b.port().checkErrors, 0);
}

TEST(ReadFLASH, SlowReplyIsStoredButCountsAsCheckError) {
    SimBench b;
    QByteArray buf;
    ReadFLASH(b.app, buf, 0, 0, 16);  // handshake done on a fast line
    SimFaults slow;
    slow.byteGapUs = 12'000;  // about 80 bytes/s
    b.sim->setFaults(slow);
    const int errorsBefore = b.port().checkErrors;
    ReadFLASH(b.app, buf, 1, 0x100, 256);
    EXPECT_EQ(buf, b.sim->flash(1, 0x100, 256));
    EXPECT_EQ(b.port().checkErrors, errorsBefore + 1);
    EXPECT_EQ(b.status.text(Role::StaticText2), QStringLiteral("Flash ошибка проверки контрольной суммы ICRC <> CRC"));
    EXPECT_EQ(b.sim->counters().readRequests, 2);  // the slow block is not asked for again
}

TEST(ReadFLASH, SilenceIsNeverTakenForData) {
    SimBench b;
    QByteArray buf;
    ReadFLASH(b.app, buf, 0, 0, 8);  // awake and fast
    SimFaults silent;
    silent.silenceRate = 1.0;  // every read request unanswered, handshakes still answered
    b.sim->setFaults(silent);
    auto press = b.clock.createTimer();
    press->onTimeout = [&] { b.app.abortState = AbortUser; };
    press->start(60'000);
    QByteArray target(64, char(0x5A));
    ReadFLASH(b.app, target, 2, 0, 64);
    EXPECT_EQ(target, QByteArray(64, char(0x5A)));
    EXPECT_EQ(b.app.abortState.load(), AbortUser);
    EXPECT_TRUE(b.status.lines(Role::RichEdit1).join('\n').contains(QStringLiteral("Нет данных ReadFlash")));
    EXPECT_GT(b.port().checkErrors + b.port().blockReads, 0);
}

TEST(ReadFLASH, CorruptedAndDroppedBytesStillGiveTheExactImage) {
    SimOptions o;
    o.seed = 20190314;
    o.faults.corruptRate = 0.002;
    o.faults.dropRate = 0.001;
    SimBench b(o);
    QByteArray image(4096, '\0');
    ReadFLASH(b.app, image, 0, kImageAddress, 4096);
    EXPECT_EQ(b.app.abortState.load(), AbortRunning);
    EXPECT_EQ(image, b.sim->flash(0, kImageAddress, 4096));
    EXPECT_EQ(image.left(16), b.sim->model().configurationImage().left(16));
    EXPECT_GT(b.sim->counters().readRequests, 16);  // damaged blocks were asked for again
}

// What a damaged reply costs on the virtual clock: the line time of every byte exchanged, and only
// the waits the read's rules give the damage. A byte that never came waits out its time limit
// (0.5 s idle, then 10 × 55 ms) and the handshake that follows reopens the port (0.1 s); a garbled
// byte costs no wait at all: the block is complete, only its check value fails.
TEST(ReadFLASH, ADamagedReplyCostsItsLineTimeAndItsPrescribedWaitsOnly) {
    constexpr int kTimeLimit = 495 + 550, kReset = 100;
    const struct {
        const char *what;
        std::vector<int> drop, corrupt;
        int waitsMs;
    } cases[] = {
        {"clean", {}, {}, 0},
        {"one data byte garbled", {}, {100}, 0},
        {"data and check bytes garbled", {}, {3, 50, 235}, 0},
        {"one data byte lost", {100}, {}, kTimeLimit + kReset},
        {"three data bytes lost", {50, 150, 200}, {}, kTimeLimit + kReset},
        {"both check bytes lost", {234, 235}, {}, 2 * kTimeLimit + kReset},
    };
    for (const auto &c : cases) {
        SimBench b;
        QByteArray buf;
        ReadFLASH(b.app, buf, 1, 0, 234);  // awake, with allowance to spare
        SimFaults f;
        f.dropInNextRead = c.drop;
        f.corruptInNextRead = c.corrupt;
        b.sim->setFaults(f);
        const SimCounters before = b.sim->counters();
        const qint64 t0 = b.clock.monotonicMs();
        ReadFLASH(b.app, buf, 1, 234, 234);
        const qint64 spent = b.clock.monotonicMs() - t0;
        const SimCounters after = b.sim->counters();
        EXPECT_EQ(buf, b.sim->flash(1, 234, 234)) << c.what;
        EXPECT_EQ(after.handshakes - before.handshakes, c.drop.empty() ? 0 : 1) << c.what;
        const int bytes = (after.bytesIn - before.bytesIn) + (after.bytesOut - before.bytesOut) +
                          (after.droppedBytes - before.droppedBytes);
        const int replies = (after.readRequests - before.readRequests) + (after.handshakes - before.handshakes);
        const double lineMs = bytes * b.sim->byteUs() / 1000 + replies * b.sim->options().turnaroundUs / 1000.0;
        EXPECT_NEAR(double(spent), lineMs + c.waitsMs, 10) << c.what;
    }
}

TEST(ReadFLASH, AbortStopsTheReadAtItsNextBlock) {
    SimBench b;
    auto press = b.clock.createTimer();
    int requestsAtPress = -1;
    press->onTimeout = [&] {
        if (requestsAtPress < 0) {
            requestsAtPress = b.sim->counters().readRequests;
            b.app.abortState = AbortUser;
        }
    };
    press->start(1500);  // in the middle of the fourth or fifth block
    QByteArray buf(4096, '\0');
    ReadFLASH(b.app, buf, 0, kImageAddress, 4096);
    EXPECT_EQ(b.app.abortState.load(), AbortUser);
    ASSERT_GT(requestsAtPress, 0);
    EXPECT_LE(b.sim->counters().readRequests, requestsAtPress + 1);
    EXPECT_LT(b.sim->counters().readRequests, 16);
    const int done = b.sim->counters().readRequests * 256;
    EXPECT_EQ(buf.left(done), b.sim->flash(0, kImageAddress, done));
}

TEST(ReadFLASH, NoLinkQuestionDeclinedSetsAbortState3) {
    SimBench b;
    b.app.settings.setComPort(1);
    OpenLink(b.app);
    b.port().status = TComPort::StatusTimeout;
    b.app.link.linkOpen = 0;
    b.prompts.push(AnswerNo);
    QByteArray buf;
    ReadFLASH(b.app, buf, 0, 0, 16);
    EXPECT_EQ(b.app.abortState.load(), AbortUser);
    EXPECT_EQ(b.prompts.texts().value(0), QStringLiteral("Ошибка 11: Нет связи с прибором. Повторить попытку?"));
    EXPECT_EQ(b.sim->counters().readRequests, 0);
}

TEST(ReadRTC, CountZeroReadsTheWholeAreaWithTheDeviceClock) {
    SimOptions o;
    o.clockOffsetSec = 3600;
    SimBench b(o);
    QByteArray ram;
    ReadRTC(b.app, ram, 0, 0);
    ASSERT_EQ(ram.size(), 256);
    EXPECT_EQ(b.sim->counters().lastCountByte, 0);
    EXPECT_EQ(b.port().commandAllowance, 250);  // 251 after the handshake, one request used
    EXPECT_EQ(uint8_t(ram[4]), 0x10);           // 10 h: an hour ahead of the computer
    EXPECT_EQ(uint8_t(ram[7]), 0x14);
    EXPECT_EQ(uint8_t(ram[8]), 0x03);
    EXPECT_EQ(uint8_t(ram[9]), 0x19);
    EXPECT_EQ(ram.mid(10), b.sim->ramSnapshot().mid(10));
    EXPECT_EQ(b.status.text(Role::Label13), QStringLiteral("TekCount:=0"));
}

TEST(ReadRTC, DamagedRepliesRepeatTheWholeRequest) {
    SimOptions o;
    o.faults.corruptRate = 0.01;
    o.seed = 3;
    SimBench b(o);
    QByteArray ram;
    for (int i = 0; i < 5; ++i) {
        ReadRTC(b.app, ram, 16, 240);
        EXPECT_EQ(ram.left(240), b.sim->ramSnapshot().mid(16, 240));
    }
    EXPECT_GT(b.sim->counters().readRequests, 5);
}

// The clock read's handshake announces 250 requests while the program counts 251 for itself (its
// allowance + 1, not forced as after the flash read's handshake). The device answers the 250 it
// was told of, so the last request before the next handshake goes unanswered: one long wait and
// one more handshake, and every byte still right.
TEST(ReadRTC, FlashReadsAfterItOutrunTheDevicesAllowanceByOne) {
    SimBench b;
    QByteArray ram, block;
    ReadRTC(b.app, ram, 0, 16);
    QByteArray flash;
    for (int i = 0; i < 250; ++i) {
        ReadFLASH(b.app, block, 1, 16 * i, 16);
        flash += block.left(16);
    }
    EXPECT_EQ(flash, b.sim->flash(1, 0, 16 * 250));
    EXPECT_EQ(b.sim->counters().handshakes, 2);
    EXPECT_EQ(b.sim->counters().ignoredRequests, 1);
    EXPECT_EQ(b.sim->counters().readRequests, 1 + 250);
    EXPECT_EQ(b.app.abortState.load(), AbortRunning);
}

TEST(MeasureLineRate, HistoryFillsThenShifts) {
    SimBench b;
    OpenLink(b.app);
    const qint64 start = b.clock.monotonicMs();
    b.clock.advance(2000);
    EXPECT_EQ(MeasureLineRate(b.app, start, 1000), 500);
    EXPECT_EQ(b.port().rateHistory[7], 500);
    b.clock.advance(2000);
    EXPECT_EQ(MeasureLineRate(b.app, start, 1000), 250);
    EXPECT_EQ(b.port().rateHistory[0], 250);
    EXPECT_EQ(b.port().rateHistory[1], 500);
    EXPECT_EQ(b.status.text(Role::StaticText3), QStringLiteral("469 байт/сек"));  // 3750 / 8 = 468.75
    EXPECT_EQ(MeasureLineRate(b.app, b.clock.monotonicMs(), 10), 1);              // no time passed
}

// --- clock write ----------------------------------------------------------------------------

TEST(WriteDeviceClock, SetsTheDeviceClockAndAlwaysReports) {
    SimOptions o;
    o.clockOffsetSec = -86400 * 40;
    SimBench b(o);
    WriteDeviceClock(b.app);
    EXPECT_EQ(b.sim->counters().writes, 1);
    EXPECT_EQ(b.sim->counters().allowance, 50);
    EXPECT_LE(qAbs(b.sim->deviceTime().secsTo(b.clock.now())), 2);
    EXPECT_EQ(b.port().status, TComPort::StatusClean);
    ASSERT_EQ(b.prompts.boxes().size(), 1u);
    EXPECT_EQ(b.prompts.boxes()[0].text,
              QStringLiteral("Процедура записи даты в прибор завершена. Опросите прибор повторно и убедитесь в "
                             "правильности установленного времени."));
    EXPECT_TRUE(b.status.lines(Role::RichEdit1).contains(QStringLiteral("SYS режим установлен")));
}

TEST(WriteDeviceClock, TheTimeIsTakenWhenTheRequestGoesOut) {
    // Dialling takes half a minute: a time taken before the link opened would be that late.
    SimOptions o;
    o.modem = true;
    o.dialMs = 30000;
    o.clockOffsetSec = -3600;
    SimBench b(o);
    b.app.settings.setLinkMode(LinkModeModem);
    b.app.registry.inputs.storedPhone = QStringLiteral("84951234567");
    EXPECT_TRUE(WriteDeviceClock(b.app));
    EXPECT_EQ(b.sim->counters().writes, 1);
    EXPECT_LE(qAbs(b.sim->deviceTime().secsTo(b.clock.now())), 1);
    EXPECT_EQ(b.app.link.modemConnected, 0);  // hung up afterwards
}

// A muted device (cable pulled, device off) hears nothing: the clock write leaves its clock alone.
TEST(WriteDeviceClock, AMutedDeviceKeepsItsClock) {
    SimOptions o;
    o.clockOffsetSec = -86400 * 40;
    o.faults.mute = true;
    SimBench b(o);
    WriteDeviceClock(b.app);
    EXPECT_EQ(b.sim->counters().writes, 0);
    EXPECT_EQ(b.sim->counters().handshakes, 0);
    EXPECT_EQ(b.sim->counters().bytesOut, 0);
    EXPECT_LE(qAbs(b.sim->deviceTime().secsTo(b.clock.now().addDays(-40))), 2);
    EXPECT_NE(b.port().status, TComPort::StatusClean);  // no 'K' came back
}

TEST(WriteBlock, AnythingButKLeavesStatus259) {
    SimBench b;
    Handshake(b.app, 50);
    SimFaults garble;
    garble.corruptRate = 1.0;  // the acknowledgement arrives with a flipped bit
    b.sim->setFaults(garble);
    WriteBlock(b.app, 'R', 0, 10, ClockBlock(b.clock.now()));
    EXPECT_EQ(b.port().status, TComPort::StatusNotAcknowledged);
    EXPECT_EQ(b.sim->counters().writes, 1);
    // A port whose status is not clean sends nothing more until the link is reopened.
    b.sim->setFaults({});
    const int bytesIn = b.sim->counters().bytesIn;
    WriteBlock(b.app, 'R', 0, 10, ClockBlock(b.clock.now()));
    EXPECT_EQ(b.sim->counters().bytesIn, bytesIn);
    EXPECT_EQ(b.port().status, TComPort::StatusTimeout);
}
