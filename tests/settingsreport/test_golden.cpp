// Golden settings reports: each simulator scenario's configuration image gives a DEVPROG.REP equal
// byte for byte to its reviewed file in tests/data/settingsreport/. Set TORV_UPDATE_GOLDEN=1 to
// rewrite the files on purpose (then review the difference before committing it).
#include "ReportTestUtil.h"
#include "TestUtil.h"

#include "settingsreport/Progprn.h"
#include "base/CodePage.h"
#include "sim/ImageBuilder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace torv;

namespace {

QString GoldenPath(const QString &scenario) {
    return torvtest::SourceDir() + QStringLiteral("/tests/data/settingsreport/") + scenario + QStringLiteral(".rep");
}

}  // namespace

class GoldenReport : public ::testing::TestWithParam<const char *> {};

// "<scenario>" is the report of the scenario's own device kind; "<scenario>-gas-writer" the gas-kind
// writer's report of the same image (media 'P', 'Q' and 'S' make a device a propane or steam device,
// so only a forced kind reaches the gas writer's sections for them).
TEST_P(GoldenReport, MatchesReviewedFile) {
    const QString scenario = QString::fromLatin1(GetParam());
    const bool gasWriter = scenario.endsWith(QLatin1String("-gas-writer"));
    const QByteArray image = ScenarioImage(gasWriter ? scenario.chopped(11) : scenario);
    ASSERT_EQ(image.size(), 4096);

    TTorv2s device;
    torvtest::LoadDevice(device, image);
    if (gasWriter)
        device.kind = KindNone;
    torvtest::FakeSections sections;
    QStringList area;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteSettingsReport(device, SettingsReportOutput{dir.path(), &sections, &area});
    const QByteArray actual = torvtest::ReadAll(SettingsReportPath(dir.path()));
    ASSERT_FALSE(actual.isEmpty());

    EXPECT_TRUE(torvtest::MatchesGolden(GoldenPath(scenario), actual));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, GoldenReport,
                         ::testing::Values("gas-vdab", "gas-pqsw", "steam", "heat", "liquid", "liquid-bare", "propane",
                                           "gas-pqsw-gas-writer"),
                         torvtest::ParamName);

// Every scenario the simulator offers has its golden report.
TEST(GoldenReport, EveryScenarioIsCovered) {
    for (const QString &name : ImageScenarioNames())
        EXPECT_TRUE(QFile::exists(GoldenPath(name))) << name.toStdString();
}
