// The real program, started as a process.
#include "TestUtil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>

namespace {

QString Program() { return torvtest::BinaryDir() + "/torvmonitor"; }

QProcessEnvironment Env() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // The user's locale must not change what the program writes.
    env.insert("LANG", "ru_RU.UTF-8");
    env.insert("LC_ALL", "de_DE.UTF-8");
    return env;
}

int32_t Int32(const QByteArray &b, int off) { return qFromLittleEndian<qint32>(b.constData() + off); }

}  // namespace

TEST(Program, ScreenshotsOfEveryWindow) {
    // A relative directory is taken from where the program was started, though the main window
    // then makes the program directory the current one.
    QTemporaryDir pd, work;
    QDir shots(work.path() + "/shots");
    QProcess p;
    p.setProcessEnvironment(Env());
    p.setWorkingDirectory(work.path());
    p.start(Program(), {"--program-dir", pd.path(), "--screenshots", "shots"});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QStringList expected = {"TForm1",         "TForm4",
                                  "TForm5",         "TForm6",
                                  "TForm7",         "TForm8",
                                  "TForm9",         "TFTrans",
                                  "TFGraph",        "TFArhParam",
                                  "TFMonitor",      "TFMonitorConfig",
                                  "TFMessBox",      "TFTrends",
                                  "TFTrendsConfig", "TFListInterrogation",
                                  "TFError",        "TFEditDataListInterr"};
    for (const QString &name : expected) {
        QImage img(shots.path() + "/" + name + ".png");
        EXPECT_FALSE(img.isNull()) << name.toStdString();
    }
    QImage main(shots.path() + "/TForm1.png");
    EXPECT_GE(main.width(), 800);
    EXPECT_EQ(QFileInfo(pd.path() + "/Torv2a.ini").size(), 51924);
}

TEST(Program, SigtermWritesTheSettingsLikeExit) {
    QTemporaryDir pd;
    const QString ini = pd.path() + "/Torv2a.ini";
    QProcess p;
    p.setProcessEnvironment(Env());
    p.start(Program(), {"--program-dir", pd.path()});
    ASSERT_TRUE(p.waitForStarted(10000));
    // The first stage of a new settings file is written during start-up.
    QElapsedTimer t;
    t.start();
    while (!QFileInfo::exists(ini) && t.elapsed() < 30000)
        QThread::msleep(50);
    ASSERT_TRUE(QFileInfo::exists(ini));
    EXPECT_EQ(Int32(torvtest::ReadAll(ini), 0xCAA8), 0) << "values reach the file only at exit";
    QThread::msleep(300);  // let the event loop start
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    const QByteArray b = torvtest::ReadAll(ini);
    ASSERT_EQ(b.size(), 51924);
    EXPECT_EQ(Int32(b, 0xCAA8), 1);    // COM port
    EXPECT_EQ(Int32(b, 0xCAC0), 50);   // T
    EXPECT_EQ(Int32(b, 0xCAC4), 59);   // depth
    EXPECT_EQ(uint8_t(b[0xCAB9]), 1);  // link mode
    EXPECT_EQ(uint8_t(b[0xCAA5]), 1);  // update flag
}

TEST(Program, AProgramDirectoryTheSettingsCannotHoldIsRefused) {
    QTemporaryDir base, shots;
    const QString greek = base.path() + QStringLiteral("/αβγ");
    QProcess p;
    p.setProcessEnvironment(Env());
    p.start(Program(), {"--program-dir", greek, "--screenshots", shots.path()});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 2);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains(greek)) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Windows-1251")));
    EXPECT_FALSE(QFileInfo::exists(greek + "/Torv2a.ini"));
}

TEST(Program, UnknownOptionIsRefused) {
    QProcess p;
    p.setProcessEnvironment(Env());
    p.start(Program(), {"--no-such-option"});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains("--no-such-option"));
}
