// The configuration read over the in-process simulator: clock, image, tables, report, ".usd".
#include "protocol/ExchangeTime.h"
#include "../sim/SimFixture.h"
#include "TestUtil.h"

#include "archive/ArchiveTables.h"
#include "archive/TableSchema.h"
#include "app/DeviceSettings.h"
#include "base/CodePage.h"
#include "settingsreport/Progprn.h"
#include "sim/ImageBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace torv;
using torvtest::SimBench;

namespace {

SimOptions Scenario(const QString &name) {
    SimOptions o;
    o.scenario = name;
    o.turnaroundUs = 1500;
    o.historyDays = -1;  // the scenario's own start of work, as the reviewed reports show it
    return o;
}

struct SettingsBench : SimBench {
    explicit SettingsBench(const QString &scenario) : SimBench(Scenario(scenario)) {
        app.settings.setDirectoryDefaults(dir.path());
        QDir().mkpath(app.settings.devDir());
    }
    QString dataDir() const { return app.settings.dataDir(); }
};

// Every name below `dir` with its letter cases swapped, as a copy from another system may carry
// them; the directories the settings record names are kept.
void SwapNameCases(const QString &dir, const QStringList &keep) {
    for (const QFileInfo &e : QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (e.isDir())
            SwapNameCases(e.filePath(), keep);
        if (keep.contains(e.fileName()))
            continue;
        QString swapped = e.fileName();
        for (QChar &c : swapped)
            c = c.isUpper() ? c.toLower() : c.toUpper();
        ASSERT_TRUE(QDir(dir).rename(e.fileName(), swapped)) << e.filePath().toStdString();
    }
}

QStringList Tree(const QString &dir, const QString &prefix = QString()) {
    QStringList out;
    for (const QFileInfo &e : QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        out << prefix + e.fileName();
        if (e.isDir())
            out << Tree(e.filePath(), prefix + e.fileName() + QLatin1Char('/'));
    }
    return out;
}

QString GoldenPath(const QString &scenario) {
    return torvtest::SourceDir() + QStringLiteral("/tests/data/settings/") + scenario + QStringLiteral(".rep");
}

}  // namespace

class SettingsOverTheWire : public ::testing::TestWithParam<const char *> {};

// Settings against the simulated device of each scenario: DEVPROG.REP equals its reviewed file, the
// ".usd" is the device's image with the factory number rules applied, and every table exists.
TEST_P(SettingsOverTheWire, ReportUsdAndTables) {
    const QString scenario = QString::fromLatin1(GetParam());
    SettingsBench b(scenario);
    QStringList report;
    Settings(b.app, &report);
    ASSERT_EQ(b.app.abortState, AbortRunning) << b.prompts.texts().join(" | ").toStdString();
    EXPECT_TRUE(b.prompts.texts().isEmpty()) << b.prompts.texts().join(" | ").toStdString();

    const QByteArray actual = torvtest::ReadAll(SettingsReportPath(b.app.settings.settingsReportDir()));
    EXPECT_TRUE(torvtest::MatchesGolden(GoldenPath(scenario), actual));
    EXPECT_EQ(report.size(), FromCp1251(actual).split(QStringLiteral("\r\n")).size() - 1);

    // The ".usd" is the device's own image; its factory number is the handshake's serial string.
    const QByteArray image = ScenarioImage(scenario);
    const QString number = TextField(image, img::kFactoryNumber, img::kFactoryNumberCapacity);
    EXPECT_EQ(b.app.deviceNumber, number);
    const QByteArray usd = torvtest::ReadAll(TTorv2s::UsdPath(b.app.settings.devDir(), number));
    ASSERT_EQ(usd.size(), 4096);
    EXPECT_EQ(usd, image);

    // Every table of the device, made from its template.
    const QString dir = DeviceDirectory(b.dataDir(), number);
    QStringList expected{ParamArchiveTableName(number)};
    for (int n = 1; n <= 4; ++n) {
        const uint8_t medium = uint8_t(image[img::kChannelRecords + img::kChannelRecordSize * (n - 1)]);
        const char kind = TTorv2s::DeviceKindOf(image);
        const bool table =
            kind == KindHeat ? (medium == 'H' || medium == 'L') : QByteArray("ADBVPQSL").contains(char(medium));
        if (table)
            for (char k : {'h', 'd', 'm'})
                expected << ArchiveTableName(number, n, k);
    }
    for (const QString &t : expected)
        EXPECT_TRUE(QFileInfo::exists(JoinPath(dir, t))) << t.toStdString();
    EXPECT_EQ(QDir(dir).entryList({"*.dbf"}, QDir::Files).size(), expected.size());
    EXPECT_TRUE(b.app.period.ArchiveStart.isValid());
    EXPECT_EQ(b.app.period.ArchiveEnd.date(), b.sim->deviceTime().date());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, SettingsOverTheWire,
                         ::testing::Values("gas-vdab", "gas-pqsw", "steam", "heat", "liquid", "liquid-bare", "propane"),
                         torvtest::ParamName);

TEST(Settings, AbortStateOnEntryReadsNothing) {
    SettingsBench b("gas-vdab");
    b.app.abortState = AbortUser;
    Settings(b.app, nullptr);
    EXPECT_EQ(b.sim->counters().readRequests, 0);
    EXPECT_EQ(b.sim->counters().handshakes, 0);
    EXPECT_FALSE(QFileInfo::exists(SettingsReportPath(b.app.settings.settingsReportDir())));
}

TEST(Settings, DeviceClockIsTheDevicesNotTheComputers) {
    SimOptions o = Scenario("steam");
    o.clockOffsetSec = -(40LL * 86400 + 5 * 3600);
    SimBench b(o);
    b.app.settings.setDirectoryDefaults(b.dir.path());
    ASSERT_TRUE(ReadDeviceClock(b.app));
    const QDateTime dev = b.sim->deviceTime();
    EXPECT_EQ(b.app.device.devObj().deviceDate, dev.date());
    EXPECT_EQ(b.app.device.devObj().deviceHour, dev.time().hour());
}

TEST(Settings, FiveMinuteQuestion) {
    struct Case {
        int answer;
        int abort;
        bool reportWritten;
    } cases[] = {{AnswerNo, AbortDeclined, false}, {AnswerYes, AbortRunning, true}};
    for (const Case &c : cases) {
        SettingsBench b("gas-vdab");
        b.status.setShownAt(b.clock.monotonicMs() - kExchangeTimeLimitMs - 1000);
        b.prompts.push(c.answer);
        Settings(b.app, nullptr);
        EXPECT_EQ(b.app.abortState, c.abort);
        ASSERT_FALSE(b.prompts.requests().empty());
        const PromptRequest &q = b.prompts.requests().front();
        EXPECT_TRUE(q.text().contains(QStringLiteral("Ошибка 23:Превышено время опроса прибора 5 минуты.")));
        EXPECT_EQ(q.countdown, 20);
        EXPECT_EQ(QFileInfo::exists(SettingsReportPath(b.app.settings.settingsReportDir())), c.reportWritten);
    }
}

TEST(Settings, ExistingTablesAreNeverOverwritten) {
    SettingsBench b("gas-vdab");
    Settings(b.app, nullptr);
    ASSERT_EQ(b.app.abortState, AbortRunning);
    const QString table =
        JoinPath(DeviceDirectory(b.dataDir(), b.app.deviceNumber), ArchiveTableName(b.app.deviceNumber, 1, 'h'));
    const QByteArray marker = torvtest::ReadAll(table) + QByteArray("kept");
    ASSERT_TRUE(torvtest::WriteAll(table, marker));
    PrepareArchiveTables(b.app, b.app.deviceNumber);
    EXPECT_EQ(torvtest::ReadAll(table), marker);
}

// A program directory copied from another system with its names in other letter cases: the
// configuration read finds the templates, the device directory, its tables, DEVPROG.REP and the
// ".usd" as they are named there and makes no second file beside any of them.
TEST(Settings, FilesCopiedUnderOtherLetterCasesAreFound) {
    SettingsBench b("gas-vdab");
    Settings(b.app, nullptr);
    ASSERT_EQ(b.app.abortState, AbortRunning);
    SwapNameCases(b.dir.path(), {QStringLiteral("Data"), QStringLiteral("Dev")});
    const QStringList before = Tree(b.dir.path());
    ASSERT_TRUE(before.contains(QStringLiteral("devprog.rep"))) << before.join(' ').toStdString();
    ASSERT_TRUE(before.contains(QStringLiteral("SOURSE/gvrAS.dbf"))) << before.join(' ').toStdString();
    const QString report = b.dir.filePath(QStringLiteral("devprog.rep"));
    ASSERT_TRUE(torvtest::WriteAll(report, "old"));

    Settings(b.app, nullptr);
    ASSERT_EQ(b.app.abortState, AbortRunning) << b.prompts.texts().join(" | ").toStdString();
    EXPECT_TRUE(b.prompts.texts().isEmpty()) << b.prompts.texts().join(" | ").toStdString();
    EXPECT_EQ(Tree(b.dir.path()), before);
    EXPECT_TRUE(torvtest::ReadAll(report).startsWith(ToCp1251(QStringLiteral("\r\nПрибор:"))));
}
