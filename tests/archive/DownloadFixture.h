// A download against the in-process simulator on the virtual clock, and the comparison of the
// tables it leaves with the rows the simulated device's memory says must be stored.
#pragma once

#include "../sim/SimFixture.h"

#include "archive/ArchiveDownload.h"
#include "archive/ArchiveTables.h"
#include "archive/TQuery.h"
#include "archive/TableError.h"
#include "archive/TableSchema.h"
#include "app/DeviceSettings.h"
#include "sim/ExpectedRows.h"

#include <QStringList>
#include <cmath>

namespace torvtest {

inline torv::SimOptions DownloadOptions(const QString &scenario) {
    torv::SimOptions o;
    o.scenario = scenario;
    return o;
}

struct DownloadBench : SimBench {
    explicit DownloadBench(const torv::SimOptions &o,
                           const QDateTime &start = QDateTime(QDate(2019, 4, 20), QTime(9, 30, 0)), int depth = 60)
        : SimBench(o, start) {
        app.settings.setDirectoryDefaults(dir.path());
        app.settings.setInt32At(torv::TSettingsRecord::Depth, depth);
        for (int ch = 1; ch <= 4; ++ch)
            for (int k = 0; k < 3; ++k)
                app.settings.setArchiveKind(ch, k, true);
    }

    // The download command's exchange part.
    bool Download() {
        app.abortState = torv::AbortRunning;
        app.repeatCounter = 0;
        status.setShownAt(clock.monotonicMs());
        torv::OpenLink(app);
        return torv::DowArch(app, nullptr);
    }

    QDateTime DeviceNow() const {
        const torv::TDevObj &o = app.device.devObj();
        return QDateTime(o.deviceDate, QTime(o.deviceHour, 30));
    }

    QString TablePath(int channel, char kind) const {
        return torv::JoinPath(torv::DeviceDirectory(app.settings.dataDir(), app.deviceNumber),
                              torv::ArchiveTableName(app.deviceNumber, channel, kind));
    }

    struct StoredRow {
        QDate dt;
        int h = 0;
        QMap<QString, double> v;
    };
    std::vector<StoredRow> Rows(int channel, char kind) {
        std::vector<StoredRow> rows;
        torv::TQuery q(app.tables);
        q.setDatabaseName(torv::DeviceDirectory(app.settings.dataDir(), app.deviceNumber));
        q.setSql(QStringLiteral("select * from ") + torv::ArchiveTableName(app.deviceNumber, channel, kind));
        q.open();
        const QStringList fields = q.fieldNames();
        for (q.first(); !q.eof(); q.next()) {
            StoredRow r;
            r.dt = q.fieldByName(QStringLiteral("DT")).asDate();
            r.h = q.fieldByName(QStringLiteral("H")).asInteger();
            for (const QString &f : fields)
                if (f != QLatin1String("SERIAL") && f != QLatin1String("DT") && f != QLatin1String("H"))
                    r.v[f] = q.fieldByName(f).asFloat();
            rows.push_back(r);
        }
        return rows;
    }

    // Differences between a table and the rows the device's memory says it must hold.
    QStringList Compare(int channel, torv::TableFamily family, char kind, const QDateTime &deviceNow) {
        using namespace torv;
        QStringList diffs;
        const auto expected = ExpectedRows(*sim, channel, family, kind, app.settings.depth(), deviceNow);
        std::vector<StoredRow> stored;
        try {
            stored = Rows(channel, kind);
        } catch (const TableError &e) {
            return {e.text()};
        }
        const QString where = QStringLiteral("ch%1 %2: ").arg(channel).arg(QLatin1Char(kind));
        if (stored.size() != expected.size())
            diffs << where + QStringLiteral("%1 rows, expected %2").arg(stored.size()).arg(expected.size());
        std::map<std::pair<qint64, int>, const ExpectedRow *> byKey;
        for (const ExpectedRow &e : expected)
            byKey[{e.dt.toJulianDay(), e.h}] = &e;
        for (const StoredRow &s : stored) {
            const auto it = byKey.find({s.dt.toJulianDay(), s.h});
            if (it == byKey.end()) {
                diffs << where + QStringLiteral("unexpected row %1 H %2").arg(s.dt.toString("dd.MM.yyyy")).arg(s.h);
                continue;
            }
            const ArchiveValues &e = it->second->values;
            const std::pair<const char *, double> values[] = {{"P", e.P},
                                                              {"VP", e.VP},
                                                              {"VC", e.VC},
                                                              {"M", e.M},
                                                              {"VK", e.VK},
                                                              {"Q", e.Q},
                                                              {"V", e.V},
                                                              {"P1", e.P1},
                                                              {"M1", e.M1},
                                                              {"P2", e.P2},
                                                              {"M2", e.M2},
                                                              {"T", double(e.T)},
                                                              {"TX", double(e.TX)},
                                                              {"T1", double(e.T1)},
                                                              {"T2", double(e.T2)},
                                                              {"NPIT", double(e.NPIT)},
                                                              {"NDAT", double(e.NDAT)},
                                                              {"VIZD", double(e.VIZD)}};
            for (const auto &[name, want] : values) {
                const QString col = QString::fromLatin1(name);
                if (!s.v.contains(col))
                    continue;
                const double got = s.v[col];
                // Stored with 4 to 6 decimals: the difference is at most half the last decimal.
                if (std::fabs(got - want) > 0.5e-4 + 1e-9 * std::fabs(want))
                    diffs << where + QStringLiteral("%1 H %2 %3 = %4, expected %5")
                                         .arg(s.dt.toString("dd.MM.yyyy"))
                                         .arg(s.h)
                                         .arg(col)
                                         .arg(got, 0, 'g', 12)
                                         .arg(want, 0, 'g', 12);
            }
        }
        return diffs;
    }

    // Every table of the device against the device's memory.
    QStringList CompareAll(const QDateTime &deviceNow) {
        QStringList diffs;
        for (const auto &[channel, family] : torv::ArchiveChannels(sim->deviceImage()))
            for (char kind : {torv::kHourly, torv::kDaily, torv::kMonthly})
                diffs << Compare(channel, family, kind, deviceNow);
        return diffs;
    }
};

}  // namespace torvtest
