// The program's tables: the columns of each archive family, of the parameter archive and of the
// device registry, the template files they are made from, and the helpers that create them.
#pragma once

#include "archive/DbfFile.h"
#include "device/ArchiveRecord.h"

#include <QString>
#include <QVector>

namespace torv {

constexpr const char *kTemplateDirName = "sourse";
constexpr const char *kParamTemplateName = "ArhParam.DBF";
constexpr const char *kRegistryTableName = "Torv2dev.dbf";

// Column sets: SERIAL, DT, H and the family's value columns in the order of its statements.
QVector<DbfColumn> FamilyColumns(TableFamily family);
QVector<DbfColumn> ParamArchiveColumns();
QVector<DbfColumn> RegistryColumns();

// "GVRas.DBF" (also for C3H8), "GVSU.DBF", "Par.DBF", "Fluid.DBF", "Heat.DBF"; "" for None.
QString TemplateFileName(TableFamily family);

// dir + name, with one separator between them whether or not dir ends in one.
QString JoinPath(const QString &dir, const QString &name);
// The templates directory: settings report directory + "sourse/" (an existing directory of that
// name in any letter case).
QString TemplateDirectory(const QString &settingsReportDir);

// Creates the templates directory and every template that is missing, with exactly the columns of
// its family. Existing templates are left alone. Throws TableError.
void EnsureTemplates(const QString &settingsReportDir);
// Creates the device registry table in the device files directory when it is missing.
void EnsureRegistryTable(const QString &devDir);
// The columns of one of the program's template file names (any letter case); false otherwise.
bool TemplateColumns(const QString &fileName, QVector<DbfColumn> *columns);
// Creates a table as a byte copy of its template when the table is missing. Both are looked for
// in any letter case of their file names; a new table takes the name as given. A missing template
// of the program is created first. The table appears whole or not at all; an existing table is
// never overwritten. Throws TableError.
void CreateTableFromTemplate(const QString &templatePath, const QString &tablePath);

}  // namespace torv
