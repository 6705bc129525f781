// A temporary database directory with the program's tables, for the table engine tests.
#pragma once

#include "archive/TQuery.h"
#include "archive/TableSchema.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace torvtest {

// The rows of a select as "value|value" texts of the columns, in result order.
inline QStringList SelectRows(torv::TableEngine &engine, const QString &directory, const QString &sql,
                              const QStringList &columns) {
    torv::TQuery q(engine);
    q.setDatabaseName(directory);
    q.setSql(sql);
    q.open();
    QStringList out;
    for (q.first(); !q.eof(); q.next()) {
        QStringList parts;
        for (const QString &c : columns)
            parts.append(q.fieldByName(c).asString());
        out.append(parts.join(QLatin1Char('|')));
    }
    return out;
}

class TableFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }

    QString dir() const { return tmp.path() + QLatin1Char('/'); }
    QString path(const QString &name) const { return dir() + name; }

    void makeTable(const QString &name, const QVector<torv::DbfColumn> &columns) {
        torv::DbfFile::Create(path(name), columns);
    }
    void makeFamilyTable(const QString &name, torv::TableFamily family) {
        makeTable(name, torv::FamilyColumns(family));
    }

    int exec(const QString &sql) { return engine.execute(dir(), sql).rowsAffected; }

    // The rows of a select as "value|value" texts, in result order.
    QStringList rows(const QString &sql, const QStringList &columns) { return SelectRows(engine, dir(), sql, columns); }

    qint64 fileSize(const QString &name) const { return QFile(path(name)).size(); }

    QTemporaryDir tmp;
    torv::TableEngine engine;
};

}  // namespace torvtest
