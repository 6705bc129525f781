// The table engine: runs the program's statements on its dBASE tables.
//
// A query names a table by its file name (with or without ".dbf", any case) inside a database
// directory. Results come in file order; deleted rows are invisible. One engine serves the whole
// program: it remembers, per table, the file's layout and an index of the rows by their key
// (DT, and H when the table has it), so finding and replacing the row of a key costs the same
// whatever the table holds. A file changed or removed by someone else is noticed by its size and
// time stamp and read afresh.
//
// Replacing a row by its key ("delete ... where DT = d [and H = h]" followed by the insert of the
// same key) reuses the row's record slot, so re-downloads neither grow a table nor reorder it. The
// deletion is held back until the next statement that changes a table: when that statement is
// the insert of the same key, the new row is written over the old one in one step, and a process
// killed in between still leaves the old row in place.
//
// A damaged record — a deletion flag other than blank or '*', or a field that is no value of its
// type — is not a row: selects skip it and say so (the table file and the record number), and it is
// never reused or written over, so its bytes stay for whoever wants to look at them; the row of
// its key, when a download brings it again, is written to a slot of its own. Only emptying the
// whole table ("delete from" without a where-part) removes damaged records with the rest.
#pragma once

#include "archive/DbfFile.h"
#include "archive/TableError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <set>
#include <memory>
#include <mutex>
#include <vector>

namespace torv {

struct ResultRow {
    int slot = -1;   // record number in the file
    QByteArray raw;  // the record, deletion flag first
};

struct QueryResult {
    QString path;  // the table file
    std::shared_ptr<const DbfLayout> layout;
    std::vector<ResultRow> rows;  // select: the matching rows, in file order
    int rowsAffected = 0;         // delete, insert, update
    QStringList damaged;          // select: the damaged records it skipped, one text each
};

class TableEngine {
public:
    TableEngine();
    ~TableEngine();
    TableEngine(const TableEngine &) = delete;
    TableEngine &operator=(const TableEngine &) = delete;

    // Runs one statement on the tables of `directory`. Throws TableError; a failed statement
    // changes nothing.
    QueryResult execute(const QString &directory, const QString &statement);
    // Deletes one row of an earlier result, if the file still holds it unchanged.
    void deleteRow(const QString &path, int slot, const QByteArray &raw);
    // Writes the deletions held back (done anyway before the next change of any table).
    void flush();
    // Forgets the tables of a directory (call after their files were removed or replaced).
    void forget(const QString &directory);
    // The damaged records met since the last call, one Russian text each naming the table file and
    // the record number; each record is told once while the engine knows its table.
    QStringList takeDamageReports();

    // The file of a table name in a directory: the name as given, or with ".dbf" added, in any
    // letter case. Returns the path the file would have when none exists.
    static QString ResolveTable(const QString &directory, const QString &name, bool *exists = nullptr);

private:
    struct Table;
    Table &table(const QString &path);
    void load(Table &t);
    void noteWritten(Table &t);
    void invalidateAll();
    void materializePending(const Table *keep = nullptr, int keepSlot = -1);
    std::vector<int> candidates(const Table &t, const class RowCondition &where) const;
    void noteDamage(const Table &t, int slot, const QString &reason, QStringList *into);

    QueryResult select(Table &t, const class RowCondition &where);
    QueryResult remove(Table &t, const class RowCondition &where, bool all);
    QueryResult insert(Table &t, const QByteArray &record);
    QueryResult update(Table &t, const class RowCondition &where, const std::vector<std::pair<int, QByteArray>> &set);

    std::mutex mutex_;
    std::map<QString, std::unique_ptr<Table>> tables_;
    std::set<std::pair<QString, int>> toldDamage_;  // (table file, slot) already reported
    QStringList damageReports_;
    int damageReportsLeftOut_ = 0;
};

}  // namespace torv
