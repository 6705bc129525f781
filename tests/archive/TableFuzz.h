// One fuzz input for the table engine: either statements run against scratch tables, or the bytes
// of a table file that the engine then has to read and change. Only TableError may come out.
// Used by the bounded random driver in ctest and by the libFuzzer target (TORV_LIBFUZZER).
#pragma once

#include "archive/TableEngine.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace torvtest {

// Scratch table names inside the fuzz directory.
inline const QStringList &ScratchTables() {
    static const QStringList names{QStringLiteral("T1h.dbf"), QStringLiteral("P.dbf"), QStringLiteral("R.dbf")};
    return names;
}
inline QString FuzzedFile() { return QStringLiteral("F.dbf"); }

// Creates the scratch tables afresh (an hourly gas table, a parameter table, a registry).
void ResetScratchTables(torv::TableEngine &engine, const QString &dir);

// First byte even: the rest is statements, one per line. Odd: the rest is a table file.
// Returns the number of statements that ran without error.
int FuzzOneInput(torv::TableEngine &engine, const QString &dir, const QByteArray &input);

}  // namespace torvtest
