// The main job end to end: torv2-sim serves a pseudo-terminal, ports.map points COM1 at it and
// torvmonitor-cli downloads the device through the operating system's serial port, in real time.
#include "TestUtil.h"

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

namespace {

QString Bin(const QString &rel) { return torvtest::BinaryDir() + QLatin1Char('/') + rel; }

struct SimProcess {
    QProcess p;
    QString link;
    bool Start(const QString &dir, const QStringList &extra) {
        link = dir + QStringLiteral("/ttyTORV");
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(Bin(QStringLiteral("sim/torv2-sim")), QStringList{"--pty", link} + extra);
        if (!p.waitForStarted(10000))
            return false;
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(link) && t.elapsed() < 10000)
            QThread::msleep(20);
        return QFileInfo::exists(link);
    }
    ~SimProcess() {
        p.terminate();
        if (!p.waitForFinished(5000))
            p.kill();
    }
};

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
    cli.start(Bin(QStringLiteral("cli/torvmonitor-cli")),
              {"download", "--program-dir", dir.path(), "--port", "1", "--depth", "3", "--kinds", "mdh",
               "--param-archive"});
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

TEST(CliDownload, NoDeviceOnThePortIsNotASuccess) {
    QTemporaryDir dir;
    ASSERT_TRUE(torvtest::WriteAll(dir.path() + "/ports.map", "COM1=/dev/torv-no-such-port\n"));
    QProcess cli;
    cli.start(Bin(QStringLiteral("cli/torvmonitor-cli")),
              {"download", "--program-dir", dir.path(), "--port", "1", "--answer-time", "2"});
    ASSERT_TRUE(cli.waitForFinished(120000));
    EXPECT_NE(cli.exitCode(), 0);
    EXPECT_TRUE(QString::fromLocal8Bit(cli.readAllStandardError()).contains(QStringLiteral("Скачивание не завершено")));
}

// The device's line goes away for good in the middle of the download (torv2-sim closes its
// pseudo-terminal and ends): the download stops at the block read's no-link question, says it is
// not complete, exits non-zero, and the tables written before stay readable with their rows.
TEST(CliDownload, ALineThatGoesAwayMidDownloadIsNotASuccess) {
    QTemporaryDir dir;
    SimProcess sim;
    ASSERT_TRUE(sim.Start(dir.path(), {"--scenario", "gas-vdab", "--history-days", "20", "--baud", "115200",
                                       "--close-after", "30000"}));
    ASSERT_TRUE(torvtest::WriteAll(dir.path() + "/ports.map", ("COM1=" + sim.link + "\n").toUtf8()));
    QProcess cli;
    cli.start(Bin(QStringLiteral("cli/torvmonitor-cli")),
              {"download", "--program-dir", dir.path(), "--port", "1", "--depth", "20", "--kinds", "mdh",
               "--answer-time", "1"});
    ASSERT_TRUE(cli.waitForFinished(240000));
    const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
    EXPECT_NE(cli.exitCode(), 0) << err.right(3000).toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Нет связи с прибором. Повторить попытку?"))) << err.right(3000).toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Скачивание не завершено")));

    RealClock clock;
    ScriptedPrompts prompts;
    LinkStatus status;
    RecordingProcessControl proc;
    App app(dir.path(), Seams{&clock, &prompts, &status, &proc});
    ASSERT_EQ(app.loadSettings(), QString());
    EXPECT_GE(RowCount(app, QStringLiteral("2104517"), ArchiveTableName(QStringLiteral("2104517"), 1, 'h')), 24);
}
