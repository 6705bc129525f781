// Benchmark table-write: the 1440 hourly records of a 60-day download written through the gas
// writer (look-up, compare, replace) into an empty hourly table and into one already holding
// 100 000 rows. The key index should make both cost the same per record.
// Last line: "table-write ratio=<full / empty per-record cost> target=1.5".
#include "app/App.h"
#include "base/Formats.h"
#include "archive/ArchiveTables.h"
#include "archive/TableSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace torv;

namespace {

const QString kDevice = QStringLiteral("100500");
constexpr int kPrefilledRows = 100000;
constexpr int kDownloadDays = 60;
constexpr int kRounds = 3;
const QDate kDownloadStart(2024, 1, 1);

// An hourly gas table holding `rows` rows dated before the download, written as one file.
QByteArray TableBytes(const QString &templatePath, int rows) {
    QFile t(templatePath);
    t.open(QIODevice::ReadOnly);
    QByteArray bytes = t.readAll();
    const int header = uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8;
    const int record = uint8_t(bytes[10]) | uint8_t(bytes[11]) << 8;
    bytes.truncate(header);
    bytes[4] = char(rows & 0xFF);
    bytes[5] = char(rows >> 8 & 0xFF);
    bytes[6] = char(rows >> 16 & 0xFF);
    bytes[7] = 0;
    const QDate first = kDownloadStart.addDays(-(rows / 24) - 1);
    bytes.reserve(header + rows * record + 1);
    for (int i = 0; i < rows; ++i) {
        QByteArray rec = " " + kDevice.toLatin1().leftJustified(16, ' ');
        rec += first.addDays(i / 24).toString(QStringLiteral("yyyyMMdd")).toLatin1();
        rec += QByteArray::number(i % 24).rightJustified(6, ' ');
        for (const char *v : {"0.19613", "2931", "0.150000", "0.012500", "0", "0", "0"})
            rec += QByteArray(v).rightJustified(20, ' ');
        bytes += rec.leftJustified(record, ' ');
    }
    bytes += '\x1a';
    return bytes;
}

struct Timing {
    double indexMs = 0;      // first statement on the table: reading it and building the key index
    double perRecordUs = 0;  // first download into the table
    double rewriteUs = 0;    // the same download again (every row replaced)
};

Timing Measure(const QString &root, const QByteArray &tableBytes) {
    QTemporaryDir dir(root + QStringLiteral("/run-XXXXXX"));
    VirtualClock clock;
    ScriptedPrompts prompts;
    LinkStatus status;
    RecordingProcessControl processes;
    App app(dir.path(), Seams{&clock, &prompts, &status, &processes});
    app.settings.setValueDefaults();
    app.settings.setDataDir(dir.path() + QLatin1Char('/'));
    const QString deviceDir = DeviceDirectory(app.settings.dataDir(), kDevice);
    QDir().mkpath(deviceDir);
    const QString table = ArchiveTableName(kDevice, 1, kHourly);
    QFile f(deviceDir + table);
    f.open(QIODevice::WriteOnly);
    f.write(tableBytes);
    f.close();

    ArchiveQueries queries(app.tables);
    ArchiveTableWriter writer(app, queries);
    Timing t;
    QElapsedTimer timer;
    timer.start();
    app.tables.execute(deviceDir, QStringLiteral("select * from ") + table + QStringLiteral(" WHERE DT ='01.01.1900'"));
    t.indexMs = timer.nsecsElapsed() / 1e6;

    for (int round = 0; round < 2; ++round) {
        timer.restart();
        for (int i = 0; i < kDownloadDays * 24; ++i) {
            ArchivePass p;
            p.deviceNumber = kDevice;
            p.kind = kHourly;
            p.recordDate = kDownloadStart.addDays(i / 24);
            p.hour = i % 24;
            ArchiveValues v;
            v.P = 0.19 + (i % 7) * 0.01;
            v.T = 2900 + i % 50;
            v.VP = 0.1 * (i % 13);
            v.VC = 0.05 * (i % 17);
            writer.WriteRecord(TableFamily::GVRas, v, p);
        }
        const double us = timer.nsecsElapsed() / 1e3 / (kDownloadDays * 24);
        (round == 0 ? t.perRecordUs : t.rewriteUs) = us;
    }
    if (!prompts.texts().isEmpty() || app.abortState != AbortRunning) {
        std::fprintf(stderr, "the writer reported an error: %s\n",
                     prompts.texts().join(QLatin1Char('\n')).toUtf8().constData());
        std::exit(1);
    }
    return t;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication qapp(argc, argv);
    FixProcessFormats();
    QTemporaryDir root;
    EnsureTemplates(root.path() + QLatin1Char('/'));
    const QString templatePath =
        TemplateDirectory(root.path() + QLatin1Char('/')) + TemplateFileName(TableFamily::GVRas);
    const QByteArray empty = TableBytes(templatePath, 0);
    const QByteArray full = TableBytes(templatePath, kPrefilledRows);

    std::vector<double> emptyUs, fullUs, emptyRewrite, fullRewrite, indexMs;
    for (int round = 0; round < kRounds; ++round) {
        const Timing e = Measure(root.path(), empty);
        const Timing f = Measure(root.path(), full);
        emptyUs.push_back(e.perRecordUs);
        fullUs.push_back(f.perRecordUs);
        emptyRewrite.push_back(e.rewriteUs);
        fullRewrite.push_back(f.rewriteUs);
        indexMs.push_back(f.indexMs);
    }
    const double e = Median(emptyUs), f = Median(fullUs);
    std::printf("records per download: %d (%d days of hourly records), medians of %d rounds\n", kDownloadDays * 24,
                kDownloadDays, kRounds);
    std::printf("empty table:        %8.1f us per record (re-download %8.1f us)\n", e, Median(emptyRewrite));
    std::printf("%d-row table:   %8.1f us per record (re-download %8.1f us)\n", kPrefilledRows, f, Median(fullRewrite));
    std::printf("reading the %d-row table and building its key index once: %.1f ms\n", kPrefilledRows, Median(indexMs));
    std::printf("table-write ratio=%.2f target=1.5\n", f / e);
    return 0;
}
