// The main job end to end: torv2-sim serves a pseudo-terminal, ports.map points COM1 at it and
// torvmonitor-cli downloads the device through the operating system's serial port, in real time.
#include "CliRun.h"

#include "app/App.h"
#include "archive/ArchiveTables.h"
#include "archive/TQuery.h"
#include "archive/TableSchema.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

using namespace torv;
using namespace torvtest;

namespace {

int RowCount(App &app, const QString &number, const QString &table) {
    TQuery q(app.tables);
    q.setDatabaseName(DeviceDirectory(app.settings.dataDir(), number));
    q.setSql(QStringLiteral("select * from ") + table);
    q.open();
    return q.recordCount();
}

}  // namespace

TEST(CliDownload, OverAPseudoTerminalInRealTime) {
    QTemporaryDir dir;
    SimProcess sim;
    ASSERT_TRUE(sim.Start(dir.path(), {"--scenario", "gas-vdab", "--history-days", "20", "--baud", "115200"}));
    ASSERT_TRUE(torvtest::WriteAll(dir.path() + "/ports.map", ("COM1=" + sim.link + "\n").toUtf8()));

    QProcess cli;
    cli.start(Bin(QStringLiteral("cli/torvmonitor-cli")), {"download", "--program-dir", dir.path(), "--port", "1",
                                                           "--depth", "3", "--kinds", "mdh", "--param-archive"});
    ASSERT_TRUE(cli.waitForFinished(240000));
    const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
    ASSERT_EQ(cli.exitCode(), 0) << err.right(3000).toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Скачивание завершено: прибор 2104517"))) << err.right(2000).toStdString();

    // What the download left: the report, the side files, the registry and the tables.
    RealClock clock;
    ScriptedPrompts prompts;
    LinkStatus status;
    RecordingProcessControl proc;
    App app(dir.path(), Seams{&clock, &prompts, &status, &proc});
    ASSERT_EQ(app.loadSettings(), QString());
    const QString number = QStringLiteral("2104517");
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/DEVPROG.REP"));
    EXPECT_EQ(QFileInfo(dir.path() + "/Data/Dev/T2_2104517.usd").size(), 4096);
    EXPECT_EQ(QFileInfo(dir.path() + "/Data/Dev/T2_2104517.vc").size(), 24);
    for (int ch = 1; ch <= 4; ++ch) {
        EXPECT_GE(RowCount(app, number, ArchiveTableName(number, ch, 'h')), 24) << ch;
        EXPECT_GE(RowCount(app, number, ArchiveTableName(number, ch, 'd')), 1) << ch;
        EXPECT_GE(RowCount(app, number, ArchiveTableName(number, ch, 'm')), 0) << ch;
    }
    EXPECT_GT(RowCount(app, number, ParamArchiveTableName(number)), 0);

    // The other commands read what was stored.
    QProcess tables;
    tables.start(Bin(QStringLiteral("cli/torvmonitor-cli")), {"tables", "--program-dir", dir.path()});
    ASSERT_TRUE(tables.waitForFinished(30000));
    EXPECT_EQ(tables.exitCode(), 0);
    EXPECT_TRUE(QString::fromLocal8Bit(tables.readAllStandardOutput()).contains(QStringLiteral("T21045171h.dbf")));
    QProcess devices;
    devices.start(Bin(QStringLiteral("cli/torvmonitor-cli")), {"devices", "--program-dir", dir.path()});
    ASSERT_TRUE(devices.waitForFinished(30000));
    EXPECT_TRUE(QString::fromLocal8Bit(devices.readAllStandardOutput()).contains(number));
}

// The settings saved with `settings set` are the ones a download without options uses.
TEST(CliDownload, TheSavedSettingsAreUsedAndTheDeviceChosenForTheWindow) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    SimProcess sim;
    ASSERT_TRUE(sim.Start(pd, {"--scenario", "gas-vdab", "--history-days", "10", "--baud", "115200"}));
    ASSERT_TRUE(sim.MapCom1(pd));
    ASSERT_EQ(
        RunCli({"settings", "set", "--program-dir", pd, "--port", "1", "--depth", "2", "--kinds", "1:dh,2:,3:,4:"})
            .code,
        0);
    CliResult r = RunCli({"download", "--program-dir", pd}, 240000);
    ASSERT_EQ(r.code, 0) << r.err.right(3000).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("глубина 2 сут., архивы 1:dh,2:,3:,4:")))
        << r.err.left(500).toStdString();
    {
        RealClock clock;
        ScriptedPrompts prompts;
        LinkStatus status;
        RecordingProcessControl proc;
        App app(pd, Seams{&clock, &prompts, &status, &proc});
        ASSERT_EQ(app.loadSettings(), QString());
        const QString number = QStringLiteral("2104517");
        EXPECT_GE(RowCount(app, number, ArchiveTableName(number, 1, 'd')), 1);
        EXPECT_EQ(RowCount(app, number, ArchiveTableName(number, 2, 'd')), 0);  // channel 2 was not asked for
    }

    // The device list's choice is kept for the window.
    r = RunCli({"settings", "set", "--program-dir", pd, "--last-device", "2104517"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(SettingsLines(RunCli({"settings", "show", "--program-dir", pd}).out)["last-device"],
              QStringLiteral("2104517"));
}

// A modem link dials the number given for the run, or the number stored for the chosen device.
TEST(CliDownload, AModemDownloadDialsTheNumberOfTheSettings) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    SimProcess sim;
    ASSERT_TRUE(sim.Start(
        pd, {"--scenario", "gas-vdab", "--history-days", "5", "--baud", "115200", "--modem", "--dial-ms", "1500"}));
    ASSERT_TRUE(sim.MapCom1(pd));
    ASSERT_EQ(RunCli({"settings", "set", "--program-dir", pd, "--port", "1", "--link-mode", "modem", "--depth", "1",
                      "--kinds", "1:d,2:,3:,4:", "--modem-wait", "40", "--dial", "tone"})
                  .code,
              0);
    // Without a number there is nothing to dial.
    CliResult r = RunCli({"download", "--program-dir", pd}, 240000);
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Введите телефон по которому следует дозвонится")))
        << r.err.toStdString();

    r = RunCli({"download", "--program-dir", pd, "--phone", "84951234567"}, 240000);
    ASSERT_EQ(r.code, 0) << r.err.right(3000).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Набирается номер 84951234567"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Связь с удаленным модемом установелна")));

    ASSERT_EQ(
        RunCli({"settings", "set", "--program-dir", pd, "--last-device", "2104517", "--phone", "8-3412-555"}).code, 0);
    EXPECT_EQ(SettingsLines(RunCli({"settings", "show", "--program-dir", pd}).out)["phone"],
              QStringLiteral("8-3412-555"));
    r = RunCli({"download", "--program-dir", pd}, 240000);
    ASSERT_EQ(r.code, 0) << r.err.right(3000).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Набирается номер 8-3412-555"))) << r.err.toStdString();
}

// SIGTERM works as "Прервать связь": the download stops, says so and keeps what it stored.
TEST(CliDownload, ASignalInterruptsLikeTheCancelButton) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    SimProcess sim;
    ASSERT_TRUE(sim.Start(pd, {"--scenario", "gas-vdab", "--history-days", "60", "--baud", "9600"}));
    ASSERT_TRUE(sim.MapCom1(pd));
    QProcess cli;
    cli.start(Bin(QStringLiteral("cli/torvmonitor-cli")),
              {"download", "--program-dir", pd, "--port", "1", "--depth", "60", "--kinds", "h"});
    ASSERT_TRUE(cli.waitForStarted(10000));
    QString err;
    QElapsedTimer t;
    t.start();
    while (!err.contains(QStringLiteral("выполнено")) && t.elapsed() < 120000) {
        cli.waitForReadyRead(500);
        err += QString::fromLocal8Bit(cli.readAllStandardError());
    }
    ASSERT_TRUE(err.contains(QStringLiteral("выполнено"))) << err.toStdString();
    cli.terminate();
    ASSERT_TRUE(cli.waitForFinished(60000));
    err += QString::fromLocal8Bit(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), 5) << err.right(2000).toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Прервано сигналом"))) << err.right(2000).toStdString();
    // The tables written so far open.
    const CliResult tables = RunCli({"tables", "--program-dir", pd, "--device", "2104517"});
    EXPECT_EQ(tables.code, 0) << tables.out.toStdString() << tables.err.toStdString();
}

// The archives are stored, but a registry that cannot be updated is no success.
TEST(CliDownload, ABrokenRegistryIsReportedAndTheExitIsNotZero) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    SimProcess sim;
    ASSERT_TRUE(sim.Start(pd, {"--scenario", "gas-vdab", "--history-days", "5", "--baud", "115200"}));
    ASSERT_TRUE(sim.MapCom1(pd));
    ASSERT_EQ(RunCli({"settings", "set", "--program-dir", pd, "--depth", "1", "--kinds", "1:d,2:,3:,4:"}).code, 0);
    QDir().mkpath(pd + "/Data/Dev");
    ASSERT_TRUE(WriteAll(pd + "/Data/Dev/Torv2dev.dbf", QByteArray()));
    const CliResult r = RunCli({"download", "--program-dir", pd}, 240000);
    EXPECT_EQ(r.code, 1) << r.err.right(3000).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Torv2dev.dbf"))) << r.err.right(3000).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("не обновлён")));
    EXPECT_FALSE(r.err.contains(QStringLiteral("Скачивание завершено")));
    EXPECT_TRUE(QFileInfo::exists(pd + "/Data/T2_2104517/T21045171d.dbf"));
}

TEST(CliDownload, NoDeviceOnThePortIsNotASuccess) {
    QTemporaryDir dir;
    ASSERT_TRUE(torvtest::WriteAll(dir.path() + "/ports.map", "COM1=/dev/torv-no-such-port\n"));
    const CliResult r = RunCli({"download", "--program-dir", dir.path(), "--port", "1", "--answer-time", "2"}, 120000);
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Скачивание не завершено"))) << r.err.toStdString();
    // The cause is on standard error: the port and why it did not open.
    EXPECT_TRUE(r.err.contains(QStringLiteral("/dev/torv-no-such-port"))) << r.err.toStdString();
}

// The device's line goes away for good in the middle of the download (torv2-sim closes its
// pseudo-terminal and ends): the download stops at the block read's no-link question, says it is
// not complete, exits non-zero, and the tables written before stay readable with their rows.
TEST(CliDownload, ALineThatGoesAwayMidDownloadIsNotASuccess) {
    QTemporaryDir dir;
    SimProcess sim;
    ASSERT_TRUE(sim.Start(
        dir.path(), {"--scenario", "gas-vdab", "--history-days", "20", "--baud", "115200", "--close-after", "30000"}));
    ASSERT_TRUE(torvtest::WriteAll(dir.path() + "/ports.map", ("COM1=" + sim.link + "\n").toUtf8()));
    QProcess cli;
    cli.start(Bin(QStringLiteral("cli/torvmonitor-cli")), {"download", "--program-dir", dir.path(), "--port", "1",
                                                           "--depth", "20", "--kinds", "mdh", "--answer-time", "1"});
    ASSERT_TRUE(cli.waitForFinished(240000));
    const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
    EXPECT_NE(cli.exitCode(), 0) << err.right(3000).toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Нет связи с прибором. Повторить попытку?")))
        << err.right(3000).toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Скачивание не завершено")));

    RealClock clock;
    ScriptedPrompts prompts;
    LinkStatus status;
    RecordingProcessControl proc;
    App app(dir.path(), Seams{&clock, &prompts, &status, &proc});
    ASSERT_EQ(app.loadSettings(), QString());
    EXPECT_GE(RowCount(app, QStringLiteral("2104517"), ArchiveTableName(QStringLiteral("2104517"), 1, 'h')), 24);
}
