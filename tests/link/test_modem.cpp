// The modem dialogue against the simulator's Hayes front end on the virtual clock.
#include "link/Link.h"
#include "link/Modem.h"
#include "protocol/BlockRead.h"
#include "sim/SimFixture.h"

#include <gtest/gtest.h>

using namespace torv;
using torvtest::SimBench;

namespace {

SimOptions ModemSim(ModemAnswer answer) {
    SimOptions o;
    o.modem = true;
    o.modemAnswer = answer;
    o.dialMs = 6000;
    return o;
}

struct ModemBench : SimBench {
    explicit ModemBench(ModemAnswer answer) : SimBench(ModemSim(answer)) {
        app.settings.setLinkMode(LinkModeModem);
        app.registry.inputs.storedPhone = QStringLiteral("84951234567");
    }
};

}  // namespace

TEST(Dial, ConnectOpensTheLinkAndTheDeviceAnswers) {
    ModemBench b(ModemAnswer::Connect);
    b.app.settings.setByteAt(TSettingsRecord::PulseDial, 0);  // tone: no dialling-method command
    OpenLink(b.app);
    EXPECT_EQ(b.app.link.modemConnected, 1);
    EXPECT_EQ(b.app.link.linkOpen, 1);
    EXPECT_EQ(b.app.abortState.load(), AbortRunning);
    EXPECT_EQ(b.sim->counters().modemCommands, QByteArray("AT\rATD84951234567\r"));
    EXPECT_EQ(b.status.text(Role::StaticText2), QStringLiteral("Связь с удаленным модемом установелна"));
    EXPECT_EQ(b.status.text(Role::Label10), QStringLiteral("Набирается номер 84951234567"));
    EXPECT_TRUE(b.prompts.requests().empty());

    QByteArray buf;
    ReadFLASH(b.app, buf, 0, kImageAddress, 256);
    EXPECT_EQ(buf, b.sim->flash(0, kImageAddress, 256));
}

TEST(Dial, PulseDiallingSendsATPFirst) {
    ModemBench b(ModemAnswer::Connect);
    b.app.settings.setByteAt(TSettingsRecord::PulseDial, 1);
    OpenLink(b.app);
    EXPECT_TRUE(b.sim->counters().modemCommands.startsWith("ATP\rAT\rATD"));
}

struct FailCase {
    ModemAnswer answer;
    bool quiet;
    const char *notice;
};

class DialFailure : public ::testing::TestWithParam<FailCase> {};

TEST_P(DialFailure, NoticeAndAbortState6) {
    const FailCase c = GetParam();
    ModemBench b(c.answer);
    b.app.link.quiet = c.quiet;
    const qint64 t0 = b.clock.monotonicMs();
    OpenLink(b.app);
    EXPECT_EQ(b.app.abortState.load(), AbortModem);
    EXPECT_EQ(b.app.link.linkOpen, 0);
    EXPECT_EQ(b.app.link.modemConnected, 0);
    const auto requests = b.prompts.requests();
    if (c.notice) {
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].text().trimmed(), QString::fromUtf8(c.notice));
        EXPECT_EQ(requests[0].caption, QStringLiteral("Ошибка"));
        EXPECT_EQ(requests[0].countdown, 20);
    } else {
        EXPECT_TRUE(requests.empty());
    }
    // A result word ends the wait at once; silence waits the whole connection time (60 s).
    const qint64 spent = b.clock.monotonicMs() - t0;
    if (c.answer == ModemAnswer::NoAnswer)
        EXPECT_GE(spent, 60'000);
    else
        EXPECT_LT(spent, 20'000);
}

INSTANTIATE_TEST_SUITE_P(Cases, DialFailure,
                         ::testing::Values(FailCase{ModemAnswer::Busy, false,
                                                    "Ошибка 5: Не могу соединится с удаленным модемом (BUSY)"},
                                           FailCase{ModemAnswer::Busy, true, nullptr},
                                           FailCase{ModemAnswer::NoCarrier, false,
                                                    "Ошибка 4: Не могу соединится с удаленным модемом (NO CARRIER)"},
                                           FailCase{ModemAnswer::NoAnswer, false, nullptr}));

TEST(Dial, EmptyNumberAsksForOneAndSetsAbortState5) {
    ModemBench b(ModemAnswer::Connect);
    b.app.registry.inputs.storedPhone.clear();
    OpenLink(b.app);
    EXPECT_EQ(b.prompts.texts().value(0), QStringLiteral("Введите телефон по которому следует дозвонится"));
    EXPECT_EQ(b.app.abortState.load(), AbortNoPhone);
    EXPECT_TRUE(b.sim->counters().modemCommands.isEmpty());
}

TEST(Dial, LostCarrierMakesOpenLinkDialAgain) {
    ModemBench b(ModemAnswer::Connect);
    OpenLink(b.app);
    TComPort *first = b.app.link.port.get();
    OpenLink(b.app);  // carrier on: nothing happens
    EXPECT_EQ(b.app.link.port.get(), first);
    EXPECT_EQ(b.sim->counters().modemCommands.count("ATD"), 1);

    b.sim->dropCarrier();
    OpenLink(b.app);
    EXPECT_EQ(b.sim->counters().modemCommands.count("ATD"), 2);
    EXPECT_EQ(b.app.link.linkOpen, 1);
}

TEST(HangUp, EscapesHangsUpAndReleasesThePort) {
    ModemBench b(ModemAnswer::Connect);
    OpenLink(b.app);
    CloseLink(b.app);
    EXPECT_FALSE(b.app.link.port);
    EXPECT_EQ(b.app.link.linkOpen, 0);
    EXPECT_EQ(b.app.link.modemConnected, 0);
    EXPECT_FALSE(b.sim->carrier());
    EXPECT_TRUE(b.sim->counters().modemCommands.endsWith("ATH\r"));
    // The hang-up is appended to what the status bar said, never shown alone.
    EXPECT_EQ(b.status.mainStatus(), QStringLiteral("Прибор не выбран Связь разорвана"));

    HangUp(b.app);  // no port
    EXPECT_EQ(b.prompts.texts().value(0), QStringLiteral("Не могу Разорвать соединение с удаленным модемом."));
}

TEST(ProgramRings, ProgramsTheFirstDigitAndReadsItBack) {
    struct Case {
        int rings;
        const char *notice;
        const char *command;
    };
    for (const Case c : {Case{3, "Модем успешно запрограммирован на 3 звонков", "ATS0=3\r"},
                         Case{12, "Не удалось запрограммировать модем", "ATS0=1\r"}}) {
        ModemBench b(ModemAnswer::Connect);
        ProgramRings(b.app, c.rings);
        EXPECT_EQ(b.prompts.texts().value(0), QString::fromUtf8(c.notice)) << c.rings;
        EXPECT_TRUE(b.sim->counters().modemCommands.contains(c.command));
        EXPECT_EQ(b.app.settings.linkMode(), LinkModeModem);
    }
}
