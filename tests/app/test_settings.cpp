#include "base/SettingsRecord.h"
#include "TestUtil.h"
#include "base/WriteFailure.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace torv;
using torvtest::ReadAll;
using torvtest::WriteAll;

namespace {

int32_t Int32(const QByteArray &b, int off) { return qFromLittleEndian<qint32>(b.constData() + off); }

QByteArray Slot(const QByteArray &b, int off) { return b.mid(off + 1, uint8_t(b[off])); }

struct DirSlot {
    int offset;
    const char *suffix;
};
const DirSlot kDirs[] = {{TSettingsRecord::DataDir, "/Data/"},
                         {TSettingsRecord::ReportDir, "/Report/"},
                         {TSettingsRecord::DevDir, "/Data/Dev/"},
                         {TSettingsRecord::SettingsReportDir, "/"}};

}  // namespace

TEST(SettingsFile, FirstStartCreatesFileWithOnlyDirectoriesThenDefaultsAtExit) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    TSettingsRecord rec;
    ASSERT_EQ(SettingsFile::Load(rec, pd), QString());

    const QByteArray created = ReadAll(SettingsFile::Path(pd));
    ASSERT_EQ(created.size(), 51924);
    QByteArray expected(51924, '\0');
    for (const DirSlot &d : kDirs) {
        const QByteArray text = (pd + QLatin1String(d.suffix)).toUtf8();
        EXPECT_EQ(Slot(created, d.offset), text) << d.offset;
        expected[d.offset] = char(text.size());
        std::copy(text.begin(), text.end(), expected.begin() + d.offset + 1);
    }
    EXPECT_EQ(created, expected) << "only the four directory strings may be set in a new file";

    ASSERT_EQ(SettingsFile::Save(rec, pd), QString());
    const QByteArray saved = ReadAll(SettingsFile::Path(pd));
    ASSERT_EQ(saved.size(), 51924);
    EXPECT_EQ(Int32(saved, 0x0008), 60);
    EXPECT_EQ(Slot(saved, 0x02FD), QByteArray("1"));
    EXPECT_EQ(Int32(saved, 0xCA9C), 1);
    EXPECT_EQ(saved.mid(0xCAA0, 8), QByteArray::fromHex("0100010000010000"));
    EXPECT_EQ(Int32(saved, 0xCAA8), 1);
    EXPECT_EQ(saved.mid(0xCAAC, 12), QByteArray::fromHex("010100010100010100010100"));
    EXPECT_EQ(saved.mid(0xCAB8, 5), QByteArray::fromHex("0101000100"));
    EXPECT_EQ(Int32(saved, 0xCAC0), 50);
    EXPECT_EQ(Int32(saved, 0xCAC4), 59);
    EXPECT_EQ(uint8_t(saved[0xCAC8]), 0);
    EXPECT_EQ(uint8_t(saved[0xCAD3]), 0);
    EXPECT_EQ(uint8_t(saved[0]), 0);
    // Reserved areas stay zero.
    EXPECT_EQ(saved.mid(0x04F3, 0xCA9C - 0x04F3), QByteArray(0xCA9C - 0x04F3, '\0'));
    EXPECT_EQ(saved.mid(0xCAD4), QByteArray(51924 - 0xCAD4, '\0'));
}

TEST(SettingsFile, EmptyDataDirectoryIsRestoredAndWrittenBack) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    TSettingsRecord rec;
    rec.setValueDefaults();
    rec.setDirectoryDefaults(pd);
    rec.setDataDir(QString());
    rec.setComPort(7);
    ASSERT_TRUE(WriteAll(SettingsFile::Path(pd), rec.bytes()));

    TSettingsRecord loaded;
    ASSERT_EQ(SettingsFile::Load(loaded, pd), QString());
    EXPECT_EQ(loaded.dataDir(), pd + "/Data/");
    EXPECT_EQ(loaded.comPort(), 7);
    ASSERT_EQ(SettingsFile::Save(loaded, pd), QString());
    EXPECT_EQ(Slot(ReadAll(SettingsFile::Path(pd)), 0x000C), (pd + "/Data/").toUtf8());
}

TEST(SettingsFile, ShortFileFillsTheBeginningAndTheRestStaysZero) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    QByteArray shortFile(0x0107, '\0');  // ends before the report directory slot
    shortFile[0] = 1;                    // connect at start
    qToLittleEndian<qint32>(90, shortFile.data() + 8);
    const QByteArray data = "/srv/torv/Data/";
    shortFile[0x0C] = char(data.size());
    std::copy(data.begin(), data.end(), shortFile.begin() + 0x0D);
    ASSERT_TRUE(WriteAll(SettingsFile::Path(pd), shortFile));

    TSettingsRecord rec;
    ASSERT_EQ(SettingsFile::Load(rec, pd), QString());
    EXPECT_TRUE(rec.connectAtStart());
    EXPECT_EQ(rec.modemWait(), 90);
    EXPECT_EQ(rec.dataDir(), QStringLiteral("/srv/torv/Data/"));
    EXPECT_EQ(rec.reportDir(), pd + "/Report/");  // empty slots fall back
    EXPECT_EQ(rec.comPort(), 0);                  // not in the file: zero, not a default
    EXPECT_EQ(rec.depth(), 0);
    EXPECT_EQ(rec.bytes().size(), 51924);
}

TEST(SettingsFile, ReservedBytesAndUnknownValuesArePreserved) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    QByteArray image(51924, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char((i * 131 + 7) & 0xFF);
    // Valid directory slots (a length byte within capacity), one of them in cp1251.
    TSettingsRecord rec;
    rec.setBytes(image);
    rec.setDataDir(QStringLiteral("/home/инженер/Данные/"));
    rec.setDevDir(pd + "/Dev/");
    rec.setReportDir(pd + "/Rep/");
    rec.setSettingsReportDir(pd + "/");
    image = rec.bytes();
    ASSERT_TRUE(WriteAll(SettingsFile::Path(pd), image));

    TSettingsRecord loaded;
    ASSERT_EQ(SettingsFile::Load(loaded, pd), QString());
    EXPECT_EQ(loaded.dataDir(), QStringLiteral("/home/инженер/Данные/"));
    EXPECT_EQ(loaded.bytes().mid(0x0D, 5), QByteArray("/home"));
    EXPECT_EQ(uint8_t(loaded.bytes()[0x13]), 0xE8);  // "и" in cp1251
    ASSERT_EQ(SettingsFile::Save(loaded, pd), QString());
    EXPECT_EQ(ReadAll(SettingsFile::Path(pd)), image);
}

TEST(SettingsFile, LongerFileIsCutAndStringsLongerThanTheirSlotAreCut) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    QByteArray big(60000, '\x01');
    big[0x0C] = 0;
    ASSERT_TRUE(WriteAll(SettingsFile::Path(pd), big));
    TSettingsRecord rec;
    ASSERT_EQ(SettingsFile::Load(rec, pd), QString());
    EXPECT_EQ(rec.bytes().size(), 51924);
    rec.setLastDevice(QStringLiteral("123456789012345"));
    EXPECT_EQ(rec.lastDevice(), QStringLiteral("1234567890"));
    EXPECT_EQ(uint8_t(rec.bytes()[0xCAD3]), 1) << "the byte after the slot is not touched";
    ASSERT_EQ(SettingsFile::Save(rec, pd), QString());
    EXPECT_EQ(ReadAll(SettingsFile::Path(pd)).size(), 51924);
}

TEST(SettingsFile, SaveIntoAMissingDirectoryReportsAnError) {
    QTemporaryDir dir;
    TSettingsRecord rec;
    const QString err = SettingsFile::Save(rec, dir.path() + "/нет/такого");
    EXPECT_TRUE(err.startsWith(QStringLiteral("Не удалось"))) << err.toStdString();
}

TEST(SettingsFile, SaveReplacesTheFileWholeWithoutLeftovers) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    TSettingsRecord rec;
    ASSERT_EQ(SettingsFile::Load(rec, pd), QString());
    rec.setComPort(3);
    ASSERT_EQ(SettingsFile::Save(rec, pd), QString());
    EXPECT_EQ(QDir(pd).entryList(QDir::Files), QStringList{"Torv2a.ini"});
    EXPECT_EQ(Int32(ReadAll(SettingsFile::Path(pd)), 0xCAA8), 3);
}

// A full disk: the save says it failed and the settings file keeps its last contents; a missing
// file that cannot be created is reported too.
TEST(SettingsFile, AFullDiskIsReportedAndTheOldFileStays) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    TSettingsRecord rec;
    ASSERT_EQ(SettingsFile::Load(rec, pd), QString());
    const QByteArray before = ReadAll(SettingsFile::Path(pd));
    rec.setComPort(7);
    QString saved, created;
    TSettingsRecord fresh;
    ASSERT_TRUE(QDir().mkpath(pd + "/new"));
    {
        torvtest::FileSizeLimit full(4096);
        ASSERT_TRUE(full.active());
        saved = SettingsFile::Save(rec, pd);
        created = SettingsFile::Load(fresh, pd + "/new");
    }
    EXPECT_TRUE(saved.startsWith(QStringLiteral("Не удалось записать файл ") +
                                 QDir::toNativeSeparators(SettingsFile::Path(pd)) + QStringLiteral(": ")))
        << saved.toStdString();
    EXPECT_EQ(ReadAll(SettingsFile::Path(pd)), before);
    EXPECT_EQ(QDir(pd).entryList(QDir::Files | QDir::Hidden), QStringList{"Torv2a.ini"});
    EXPECT_TRUE(created.startsWith(QStringLiteral("Не удалось записать файл "))) << created.toStdString();
    EXPECT_TRUE(QDir(pd + "/new").entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// A settings file copied from another system as TORV2A.INI is the one loaded and saved.
TEST(SettingsFile, AFileInAnotherLetterCaseIsTheSettingsFile) {
    QTemporaryDir dir;
    const QString pd = dir.path();
    TSettingsRecord rec;
    rec.setDirectoryDefaults(pd);
    rec.setComPort(5);
    ASSERT_TRUE(WriteAll(pd + "/TORV2A.INI", rec.bytes()));
    TSettingsRecord loaded;
    ASSERT_EQ(SettingsFile::Load(loaded, pd), QString());
    EXPECT_EQ(loaded.comPort(), 5);
    loaded.setComPort(6);
    ASSERT_EQ(SettingsFile::Save(loaded, pd), QString());
    EXPECT_EQ(QDir(pd).entryList(QDir::Files), QStringList{"TORV2A.INI"});
    EXPECT_EQ(Int32(ReadAll(pd + "/TORV2A.INI"), 0xCAA8), 6);
}
