// Exit stops the bus bridge program: a real process named "Vondrel.exe" is found and stopped.
#include "link/ProcessControl.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace torv;

TEST(SystemProcessControl, FindsAndStopsProcessesByProgramFileName) {
    QTemporaryDir dir;
    const QString fake = dir.path() + "/Vondrel.exe";
    ASSERT_TRUE(QFile::copy("/bin/sleep", fake));
    QFile::setPermissions(fake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess p;
    p.start(fake, {"30"});
    ASSERT_TRUE(p.waitForStarted(5000));

    SystemProcessControl pc;
    EXPECT_TRUE(pc.isRunning("Vondrel.exe"));
    EXPECT_TRUE(pc.isRunning("vondrel.EXE"));  // Windows file names ignore case
    EXPECT_FALSE(pc.isRunning("Vondrel232.exe"));
    EXPECT_EQ(pc.stopAll("Vondrel232.exe"), 0);
    EXPECT_EQ(pc.stopAll("Vondrel.exe"), 1);
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);  // ended by the signal
    EXPECT_FALSE(pc.isRunning("Vondrel.exe"));
}
