// torvmonitor-cli's settings commands and the checks every command makes before it starts: no
// device is needed for these.
#include "CliRun.h"

#include "base/SettingsRecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <gtest/gtest.h>

using namespace torv;
using namespace torvtest;

TEST(CliSettings, ANewDirectoryGetsTheDefaultsAndSetChangesOnlyItsFields) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    CliResult r = RunCli({"settings", "show", "--program-dir", pd});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    auto m = SettingsLines(r.out);
    EXPECT_EQ(m["link-mode"], QStringLiteral("direct (1)"));
    EXPECT_EQ(m["link-type"], QStringLiteral("RS232"));
    EXPECT_EQ(m["port"], QStringLiteral("1"));
    EXPECT_EQ(m["depth"], QStringLiteral("59"));
    EXPECT_EQ(m["answer-time"], QStringLiteral("50"));
    EXPECT_EQ(m["kinds"], QStringLiteral("1:md,2:md,3:md,4:md"));
    EXPECT_EQ(m["data-dir"], pd + QStringLiteral("/Data/"));
    // The file made for the new directory already holds the defaults a download needs.
    const QByteArray created = ReadAll(pd + "/Torv2a.ini");
    ASSERT_EQ(created.size(), TSettingsRecord::kSize);
    TSettingsRecord rec;
    rec.setBytes(created);
    EXPECT_EQ(rec.comPort(), 1);
    EXPECT_EQ(rec.depth(), 59);
    EXPECT_EQ(rec.linkMode(), 1);

    // A byte no option edits survives every rewrite.
    QByteArray withMark = created;
    withMark[0x20] = char(0x77);
    ASSERT_TRUE(WriteAll(pd + "/Torv2a.ini", withMark));
    r = RunCli({"settings",        "set",
                "--program-dir",   pd,
                "--port",          "3",
                "--depth",         "75",
                "--kinds",         "1:mdh,2:d,3:,4:h",
                "--link-mode",     "modem",
                "--modem-wait",    "90",
                "--dial",          "tone",
                "--gsm",           "on",
                "--param-archive", "on",
                "--answer-time",   "40",
                "--rs485-address", "12",
                "--report-dir",    pd + "/Отчёты"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("записано 60"))) << r.err.toStdString();
    m = SettingsLines(RunCli({"settings", "show", "--program-dir", pd}).out);
    EXPECT_EQ(m["link-mode"], QStringLiteral("modem (2)"));
    EXPECT_EQ(m["port"], QStringLiteral("3"));
    EXPECT_EQ(m["depth"], QStringLiteral("60"));
    EXPECT_EQ(m["kinds"], QStringLiteral("1:mdh,2:d,3:,4:h"));
    EXPECT_EQ(m["modem-wait"], QStringLiteral("90"));
    EXPECT_EQ(m["dial"], QStringLiteral("tone"));
    EXPECT_EQ(m["gsm"], QStringLiteral("on"));
    EXPECT_EQ(m["param-archive"], QStringLiteral("on"));
    EXPECT_EQ(m["answer-time"], QStringLiteral("40"));
    EXPECT_EQ(m["rs485-address"], QStringLiteral("12"));
    EXPECT_EQ(m["report-dir"], pd + QStringLiteral("/Отчёты/"));
    const QByteArray after = ReadAll(pd + "/Torv2a.ini");
    ASSERT_EQ(after.size(), TSettingsRecord::kSize);
    EXPECT_EQ(after[0x20], char(0x77));
    EXPECT_EQ(after.mid(TSettingsRecord::DataDir, 251), withMark.mid(TSettingsRecord::DataDir, 251));

    // The link mode is taken back by number too.
    ASSERT_EQ(RunCli({"settings", "set", "--program-dir", pd, "--link-mode", "3"}).code, 0);
    m = SettingsLines(RunCli({"settings", "show", "--program-dir", pd}).out);
    EXPECT_EQ(m["link-mode"], QStringLiteral("rs485 (3)"));
    EXPECT_EQ(m["link-type"], QStringLiteral("RS485"));
}

TEST(CliSettings, BadValuesChangeNothing) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    ASSERT_EQ(RunCli({"settings", "set", "--program-dir", pd, "--port", "2"}).code, 0);
    const QByteArray before = ReadAll(pd + "/Torv2a.ini");
    const QStringList bad[] = {
        {"--port", "0"},
        {"--port", "257"},
        {"--port", "x"},
        {"--link-mode", "fax"},
        {"--kinds", "mq"},
        {"--kinds", "5:m"},
        {"--dial", "morse"},
        {"--gsm", "maybe"},
        {"--rs485-address", "-1"},
        {"--answer-time", "0"},
        {"--last-device", "4242"},
        {"--phone"},
        {"--data-dir", "/tmp/" + QString(260, QLatin1Char('d'))},
    };
    for (const QStringList &args : bad) {
        const CliResult r = RunCli(QStringList{"settings", "set", "--program-dir", pd} + args);
        EXPECT_NE(r.code, 0) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.trimmed().isEmpty()) << args.join(' ').toStdString();
        EXPECT_EQ(ReadAll(pd + "/Torv2a.ini"), before) << args.join(' ').toStdString();
    }
    // An option of another command is refused, not ignored.
    EXPECT_EQ(RunCli({"devices", "--program-dir", pd, "--depth", "3"}).code, 2);
    EXPECT_EQ(RunCli({"settings", "--program-dir", pd}).code, 2);
}

TEST(CliSettings, AProgramDirectoryTheSettingsCannotHoldIsRefused) {
    QTemporaryDir dir;
    const QString greek = dir.path() + QStringLiteral("/αβγ");
    CliResult r = RunCli({"settings", "show", "--program-dir", greek});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(greek)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Windows-1251")));
    EXPECT_FALSE(QFileInfo::exists(greek + "/Torv2a.ini"));
    const QString deep = dir.path() + QLatin1Char('/') + QString(250, QLatin1Char('a'));
    r = RunCli({"settings", "show", "--program-dir", deep});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("длиннее"))) << r.err.toStdString();
}

TEST(CliSettings, ADataDirectoryHeldByAnotherProgramIsRefusedWithItsName) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    ASSERT_EQ(RunCli({"settings", "set", "--program-dir", pd, "--port", "1"}).code, 0);
    QDir().mkpath(pd + "/Data");
    QLockFile held(pd + "/Data/torvmonitor.lock");
    ASSERT_TRUE(held.tryLock(0));
    const CliResult r = RunCli({"download", "--program-dir", pd}, 60000);
    EXPECT_EQ(r.code, 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("уже работает другая программа"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::number(QCoreApplication::applicationPid()))) << r.err.toStdString();
}
