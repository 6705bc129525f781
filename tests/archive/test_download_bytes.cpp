// What a download leaves on disk, byte for byte: the settings report, the side files and every
// table of every scenario, against fingerprints reviewed once (tests/data/download/). A change of
// structure that changes no behaviour leaves them all as they are; regenerate them only on purpose
// (TORV_UPDATE_GOLDEN=1).
#include "DownloadFixture.h"
#include "TestUtil.h"

#include <QCryptographicHash>
#include <QDir>
#include <gtest/gtest.h>

using namespace torv;
using namespace torvtest;

namespace {

// A dBASE file's header holds the date of its last change (the computer's date): it is masked.
QByteArray Fingerprint(const QString &path) {
    QByteArray bytes = ReadAll(path);
    if (path.endsWith(QLatin1String(".dbf"), Qt::CaseInsensitive) && bytes.size() >= 4)
        bytes[1] = bytes[2] = bytes[3] = 0;
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

}  // namespace

class DownloadBytes : public ::testing::TestWithParam<const char *> {};

TEST_P(DownloadBytes, TheFilesOfADownloadAreTheReviewedOnes) {
    DownloadBench b(DownloadOptions(QString::fromLatin1(GetParam())), QDateTime(QDate(2019, 4, 20), QTime(9, 30, 0)),
                    5);
    b.app.settings.setByteAt(TSettingsRecord::ParamArchive, 1);
    ASSERT_TRUE(b.Download()) << b.prompts.texts().join(QLatin1Char('\n')).toStdString();
    QStringList lines;
    const QDir root(b.dir.path());
    auto add = [&](const QString &path) {
        lines << root.relativeFilePath(path) + QLatin1Char(' ') + QString::fromLatin1(Fingerprint(path));
    };
    add(root.filePath(QStringLiteral("DEVPROG.REP")));
    for (const QString &dir : {b.app.settings.devDir(), DeviceDirectory(b.app.settings.dataDir(), b.app.deviceNumber)})
        for (const QString &f : QDir(dir).entryList(QDir::Files, QDir::Name))
            add(QDir(dir).filePath(f));
    const QString golden =
        SourceDir() + QStringLiteral("/tests/data/download/") + QLatin1String(GetParam()) + QStringLiteral(".sha256");
    EXPECT_TRUE(MatchesGolden(golden, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, DownloadBytes,
                         ::testing::Values("gas4", "gas-vdab", "gas-pqsw", "steam", "heat", "liquid", "liquid-bare",
                                           "propane"),
                         torvtest::ParamName);
