// The archive tables of a device and their writers: where the tables lie, the statements that
// store a decoded record, the compare-then-replace rule of the gas and air tables (error 18 when
// the device's clock was changed) and the plain replacement of steam, liquid and heat rows.
#pragma once

#include "archive/TQuery.h"
#include "device/ArchiveRecord.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace torv {

class ArchiveContext;

// The context of the download pass that the writers read and change.
struct ArchivePass {
    QString deviceNumber;
    int channel = 1;
    char kind = kHourly;
    QDate recordDate;   // DT of the record
    int hour = 0;       // H: the hour counter in hourly passes, 0 otherwise
    bool stop = false;  // set by error 18
};

// Archive data directory + "T2_" + device number + "/" (an existing directory of that name in
// any letter case).
QString DeviceDirectory(const QString &dataDir, const QString &deviceNumber);
// "T" + device number + channel digit + kind letter + ".dbf".
QString ArchiveTableName(const QString &deviceNumber, int channel, char kind);
// "T" + device number + "0A.dbf".
QString ParamArchiveTableName(const QString &deviceNumber);
// Creates every missing table file of the device from its template (the channels' archive tables
// by their media, the parameter archive table).
void PrepareArchiveTables(ArchiveContext &app, const QString &deviceNumber);

// Statement texts.
QString Quote(const QString &value);  // 'value', an apostrophe inside doubled
QString KeyWhere(const ArchivePass &pass);
QString ColumnList(TableFamily family);
QString ValueText(const QString &column, const ArchiveValues &values);
QString InsertStatement(TableFamily family, const QString &table, const ArchiveValues &values, const ArchivePass &pass);
QString UpdateStatement(TableFamily family, const QString &table, const ArchiveValues &values, const ArchivePass &pass);

// A pressure or volume in tenths: value × 10 to the nearest integer, halves to even.
qint64 Tenths(double value);

// The comparison of a stored gas or air row with the new values of the same key.
struct GasComparison {
    bool differs = false;
    qint64 storedP = 0, newP = 0, storedVC = 0, newVC = 0;
    int storedNPIT = 0, newNPIT = 0, storedNDAT = 0, newNDAT = 0, storedVIZD = 0, newVIZD = 0;
};
// `stored` is positioned on the row to compare.
GasComparison CompareGasRow(TableFamily family, const TQuery &stored, const ArchiveValues &values);

// The query objects of the archive families.
struct ArchiveQueries {
    explicit ArchiveQueries(TableEngine &engine)
        : QueryGVRas(engine), QueryGVSU(engine), QueryPar(engine), QueryFluid(engine), QueryHeat(engine) {}
    TQuery QueryGVRas;  // GVRas and C3H8
    TQuery QueryGVSU;
    TQuery QueryPar;
    TQuery QueryFluid;
    TQuery QueryHeat;
    TQuery &forFamily(TableFamily family);
};

class ArchiveTableWriter {
public:
    ArchiveTableWriter(ArchiveContext &app, ArchiveQueries &queries) : app_(app), queries_(queries) {}

    // Stores one decoded record under the pass's key. Failures the gas and air writers handle
    // themselves are reported with their notices and the abort state; the others (steam, liquid
    // and heat statements, the GVSU look-up, removing the old row) raise TableError, which ends
    // the pass as a reception error.
    void WriteRecord(TableFamily family, const ArchiveValues &values, ArchivePass &pass);

private:
    void WriteCompared(TableFamily family, const ArchiveValues &values, ArchivePass &pass);
    void WriteReplaced(TableFamily family, const ArchiveValues &values, ArchivePass &pass);
    // Removes the key's rows, looks up again, inserts, or updates a row that is still there.
    void ReplaceRow(TableFamily family, TQuery &q, const ArchiveValues &values, const ArchivePass &pass,
                    bool reportWriteErrors);
    void ReportError18(const GasComparison &c, ArchivePass &pass);

    ArchiveContext &app_;
    ArchiveQueries &queries_;
};

}  // namespace torv
