// A query object: a database directory, one statement, an optional record filter, and the rows of
// the last select with a current-row cursor. The main window's query objects (QueryGVRas,
// QArhParam, the registry's query, …) are TQuery instances sharing the program's TableEngine.
#pragma once

#include "archive/TableEngine.h"
#include "archive/TableRow.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace torv {

class TQuery {
public:
    explicit TQuery(TableEngine &engine) : engine_(&engine) {}

    void setDatabaseName(const QString &directory) { directory_ = directory; }
    const QString &databaseName() const { return directory_; }
    void setSql(const QString &text) { sql_ = text; }
    void clearSql() { sql_.clear(); }
    const QString &sql() const { return sql_; }

    // The record filter of an open result, in the where-part's grammar
    // ("DT >='01.02.2009' AND DT <= '28.02.2009'"); applied while filtered() is on.
    void setFilter(const QString &text);
    const QString &filter() const { return filter_; }
    void setFiltered(bool on);
    bool filtered() const { return filtered_; }

    // Runs the select statement and moves to the first row. Throws TableError.
    void open();
    // Runs a delete, insert or update; returns the rows it touched. Throws TableError.
    int execSql();
    void close();
    bool active() const { return active_; }

    int recordCount() const { return int(visible_.size()); }
    // The damaged records the last select skipped (they are not rows): one text each naming the
    // table file and the record number.
    const QStringList &damagedRecords() const { return result_.damaged; }
    bool isEmpty() const { return visible_.empty(); }
    void first();
    void next();
    void prior();
    void last();
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    int recNo() const { return current_ + 1; }  // 1-based; 0 without a current row

    QStringList fieldNames() const;
    bool hasField(const QString &name) const;
    // The field of the current row. Throws TableError for an unknown column or no current row.
    FieldValue fieldByName(const QString &name) const;
    // Moves to the first row whose column holds the value (text comparison, trailing blanks
    // ignored). Returns false and stays put when there is none.
    bool locate(const QString &column, const QString &value, bool caseInsensitive = false);
    // Deletes the current row from its table. Throws TableError.
    void deleteCurrent();

private:
    void applyFilter();
    const ResultRow &currentRow() const;

    TableEngine *engine_;
    QString directory_;
    QString sql_;
    QString filter_;
    bool filtered_ = false;
    bool active_ = false;
    QueryResult result_;
    std::vector<int> visible_;  // indices into result_.rows
    int current_ = -1;
    bool eof_ = true;
    bool bof_ = true;
};

}  // namespace torv
