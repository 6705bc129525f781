// Finding the program's files in any letter case, and replacing a file so that a failed write is
// seen and leaves the old file as it was.
#include "WriteFailure.h"
#include "TestUtil.h"

#include "base/FileNames.h"
#include "base/FileWrite.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace torv;

TEST(FileNames, ExistingEntriesAreFoundInAnyCaseNewOnesKeepTheGivenName) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString d = tmp.path();
    ASSERT_TRUE(torvtest::WriteAll(d + "/devprog.rep", "x"));
    ASSERT_TRUE(torvtest::WriteAll(d + "/TORV2DEV.DBF", "x"));
    ASSERT_TRUE(torvtest::WriteAll(d + "/Torv2dev.dbf", "x"));  // both spellings: the exact one wins
    ASSERT_TRUE(QDir(d).mkdir("SOURSE"));
    ASSERT_TRUE(torvtest::WriteAll(d + "/t2_5.usd", "x"));
    ASSERT_TRUE(QDir(d).mkdir("T2_5.USD.d"));
    const struct {
        const char *name;
        EntryKind kind;
        const char *found;
        bool exists;
    } cases[] = {
        {"DEVPROG.REP", EntryKind::File, "devprog.rep", true},
        {"Torv2dev.dbf", EntryKind::File, "Torv2dev.dbf", true},
        {"torv2DEV.dbf", EntryKind::File, "TORV2DEV.DBF", true},
        {"sourse", EntryKind::Directory, "SOURSE", true},
        {"sourse", EntryKind::File, "sourse", false},  // a directory is no file
        {"DEVPROG.REP", EntryKind::Directory, "DEVPROG.REP", false},
        {"T2_5.usd", EntryKind::File, "t2_5.usd", true},
        {"T2_6.usd", EntryKind::File, "T2_6.usd", false},
    };
    for (const auto &c : cases) {
        for (const QString &dir : {d, d + "/"}) {
            bool exists = !c.exists;
            EXPECT_EQ(FindNoCase(dir, QString::fromLatin1(c.name), c.kind, &exists), d + "/" + QLatin1String(c.found))
                << c.name;
            EXPECT_EQ(exists, c.exists) << c.name;
        }
    }
    EXPECT_TRUE(FileExistsNoCase(d + "/Devprog.Rep"));
    EXPECT_FALSE(FileExistsNoCase(d + "/Sourse"));
    EXPECT_EQ(ExistingFileNoCase(d + "/DEVPROG.rep"), d + "/devprog.rep");
    EXPECT_EQ(ExistingFileNoCase(d + "/nothing.rep"), d + "/nothing.rep");
    EXPECT_EQ(ExistingFileNoCase(d + "/none/devprog.rep"), d + "/none/devprog.rep");
}

TEST(FileWrite, ReplacesTheWholeFileOrLeavesTheOldOne) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString path = tmp.filePath("T2_5.usd");
    QString reason;
    ASSERT_TRUE(ReplaceFileContents(path, QByteArray(4096, 'a'), &reason)) << reason.toStdString();
    ASSERT_TRUE(ReplaceFileContents(path, QByteArray(100, 'b'), &reason)) << reason.toStdString();
    EXPECT_EQ(torvtest::ReadAll(path), QByteArray(100, 'b'));
    ASSERT_TRUE(ReplaceFileContents(path, QByteArray(), &reason));
    EXPECT_EQ(QFileInfo(path).size(), 0);
    ASSERT_TRUE(ReplaceFileContents(path, QByteArray(100, 'b'), &reason));

    // A disk that takes no more bytes (here: a file size limit of 10 bytes) fails the write; the old
    // file stays and no temporary file is left behind.
    for (const qsizetype size : {qsizetype(11), qsizetype(51924)}) {
        bool ok = true;
        {
            torvtest::FileSizeLimit full(10);
            ASSERT_TRUE(full.active());
            ok = ReplaceFileContents(path, QByteArray(size, 'c'), &reason);
        }
        EXPECT_FALSE(ok) << size;
        EXPECT_FALSE(reason.isEmpty());
        EXPECT_EQ(torvtest::ReadAll(path), QByteArray(100, 'b'));
        EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"T2_5.usd"});
    }
    // A directory that is not there.
    EXPECT_FALSE(ReplaceFileContents(tmp.filePath("none/T2_5.usd"), "x", &reason));
    EXPECT_FALSE(reason.isEmpty());
}
