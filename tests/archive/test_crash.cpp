// Crash safety: a writer killed at an arbitrary moment during a stream of writes leaves a table
// that reads cleanly, holding every row whose write had returned.
#include "TestUtil.h"

#include "archive/ArchiveTables.h"
#include "archive/TableRow.h"
#include "archive/TableSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <random>

using namespace torv;

namespace {

const QString kDevice = QStringLiteral("77");
constexpr int kKeys = 300;  // hourly keys over 12½ days, or daily keys

struct Ack {
    std::map<int, int> lastPass;  // key → pass of its last acknowledged write
    int lastKey = -1, lastPassSeen = -1;
    void take(const QByteArray &line) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() != 2)
            return;
        lastKey = parts[0].toInt();
        lastPassSeen = parts[1].toInt();
        lastPass[lastKey] = lastPassSeen;
    }
    // The write under way when the writer died.
    std::pair<int, int> inFlight() const {
        if (lastKey < 0)
            return {0, 0};
        return lastKey + 1 < kKeys ? std::make_pair(lastKey + 1, lastPassSeen) : std::make_pair(0, lastPassSeen + 1);
    }
};

// Reads every record of the file without the engine: the header must agree with the file and each
// counted record must be whole.
void CheckFileShape(const QByteArray &bytes, int *count, int *header, int *record) {
    ASSERT_GE(bytes.size(), 32);
    *count = int(uint8_t(bytes[4]) | uint8_t(bytes[5]) << 8 | uint8_t(bytes[6]) << 16);
    *header = uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8;
    *record = uint8_t(bytes[10]) | uint8_t(bytes[11]) << 8;
    ASSERT_LE(qint64(*header) + qint64(*count) * *record, bytes.size());
    for (int i = 0; i < *count; ++i) {
        const char flag = bytes[*header + i * *record];
        ASSERT_TRUE(flag == ' ' || flag == '*') << "record " << i;
    }
}

}  // namespace

TEST(CrashSafety, AKilledWriterLeavesEveryAcknowledgedRow) {
    const QString child = QCoreApplication::applicationDirPath() + QStringLiteral("/table_crash_writer");
    ASSERT_TRUE(QFile::exists(child)) << child.toStdString();
    std::mt19937 random(20240101);
    std::uniform_int_distribution<int> stopAfter(1, 3 * kKeys);
    for (int run = 0; run < 12; ++run) {
        SCOPED_TRACE(run);
        const char kind = run % 3 == 2 ? kDaily : kHourly;
        QTemporaryDir dir;
        const QString data = dir.path() + QLatin1Char('/');
        EnsureTemplates(data);
        const QString deviceDir = DeviceDirectory(data, kDevice);
        ASSERT_TRUE(QDir().mkpath(deviceDir));
        const QString table = ArchiveTableName(kDevice, 1, kind);
        CreateTableFromTemplate(TemplateDirectory(data) + TemplateFileName(TableFamily::Par), deviceDir + table);

        QProcess writer;
        writer.start(child, {data, kDevice, QString::number(kKeys), QString(QLatin1Char(kind))});
        ASSERT_TRUE(writer.waitForStarted(10000));
        Ack ack;
        QByteArray pendingText;
        const int target = stopAfter(random);
        int acks = 0;
        while (acks < target && writer.state() == QProcess::Running) {
            writer.waitForReadyRead(10000);
            pendingText += writer.readAllStandardOutput();
            for (int nl; (nl = pendingText.indexOf('\n')) >= 0; ++acks) {
                ack.take(pendingText.left(nl));
                pendingText.remove(0, nl + 1);
            }
        }
        writer.kill();
        writer.waitForFinished(10000);
        pendingText += writer.readAllStandardOutput();
        int nl;
        while ((nl = pendingText.indexOf('\n')) >= 0) {
            ack.take(pendingText.left(nl));
            pendingText.remove(0, nl + 1);
        }
        // A line cut short by the kill is not an acknowledgement: that write counts as under way.
        ASSERT_TRUE(writer.readAllStandardError().isEmpty());

        int count = 0, header = 0, record = 0;
        const QByteArray bytes = torvtest::ReadAll(deviceDir + table);
        CheckFileShape(bytes, &count, &header, &record);

        TableEngine engine;
        const QueryResult all = engine.execute(deviceDir, QStringLiteral("select * from ") + table);
        const int dt = all.layout->fieldIndex(QStringLiteral("DT"));
        const int h = all.layout->fieldIndex(QStringLiteral("H"));
        const int t = all.layout->fieldIndex(QStringLiteral("T"));
        std::map<int, int> stored;  // key → T − 1000
        for (const ResultRow &row : all.rows) {
            const QDate date = FieldOf(*all.layout, dt, row.raw).asDate();
            const int day = int(QDate(2024, 1, 1).daysTo(date));
            const int key = kind == kHourly ? day * 24 + FieldOf(*all.layout, h, row.raw).asInteger() : day;
            ASSERT_EQ(stored.count(key), 0u) << "two rows of key " << key;
            stored[key] = FieldOf(*all.layout, t, row.raw).asInteger() - 1000;
        }
        const auto [flightKey, flightPass] = ack.inFlight();
        for (int key = 0; key < kKeys; ++key) {
            const auto acked = ack.lastPass.find(key);
            const auto found = stored.find(key);
            if (key == flightKey) {
                // The row being replaced: old or new, never torn. Only a record that straddles
                // a page boundary may be missing for that moment.
                const bool crosses = DbfFile::CrossesPage(qint64(header) + qint64(key) * record, record);
                if (found == stored.end())
                    EXPECT_TRUE(acked == ack.lastPass.end() || crosses) << "key " << key;
                else
                    EXPECT_TRUE(found->second == flightPass ||
                                (acked != ack.lastPass.end() && found->second == acked->second))
                        << "key " << key << " holds pass " << found->second;
                continue;
            }
            if (acked == ack.lastPass.end()) {
                EXPECT_EQ(found, stored.end()) << "key " << key << " was never written";
                continue;
            }
            ASSERT_NE(found, stored.end()) << "acknowledged key " << key << " is missing";
            EXPECT_EQ(found->second, acked->second) << "key " << key;
        }
    }
}
