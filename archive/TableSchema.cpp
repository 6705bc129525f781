#include "archive/TableSchema.h"

#include "archive/TableError.h"
#include "base/FileNames.h"
#include "base/FileWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace torv {

namespace {

// Widths: SERIAL holds the device number; H a small integer; every value column is a number of
// 20 characters with the decimals the writers put into its statements.
constexpr int kValueWidth = 20;
constexpr DbfColumn kSerial{"SERIAL", 'C', 16, 0};
constexpr DbfColumn kDate{"DT", 'D', 8, 0};
constexpr DbfColumn kHour{"H", 'N', 6, 0};

constexpr DbfColumn Value(const char *name, int decimals) { return DbfColumn{name, 'N', kValueWidth, decimals}; }

QVector<DbfColumn> WithKey(std::initializer_list<DbfColumn> values) {
    QVector<DbfColumn> cols{kSerial, kDate, kHour};
    for (const DbfColumn &c : values)
        cols.append(c);
    return cols;
}

}  // namespace

QVector<DbfColumn> FamilyColumns(TableFamily family) {
    const DbfColumn P = Value("P", 5), T = Value("T", 0), NPIT = Value("NPIT", 0), NDAT = Value("NDAT", 0),
                    VIZD = Value("VIZD", 0);
    switch (family) {
    case TableFamily::GVRas:
    case TableFamily::C3H8: return WithKey({P, T, Value("VP", 6), Value("VC", 6), NPIT, NDAT, VIZD});
    case TableFamily::GVSU: return WithKey({P, T, Value("VC", 6), NPIT, NDAT, VIZD});
    case TableFamily::Par:
        return WithKey({P, T, Value("TX", 0), Value("M", 4), Value("VK", 4), Value("Q", 4), NPIT, NDAT, VIZD});
    case TableFamily::Fluid: return WithKey({Value("V", 4), P, T, NPIT, NDAT, VIZD});
    case TableFamily::Heat:
        return WithKey({Value("P1", 5), Value("T1", 0), Value("M1", 4), Value("P2", 5), Value("T2", 0), Value("M2", 4),
                        Value("Q", 4), NPIT, NDAT, VIZD});
    case TableFamily::None: break;
    }
    return {};
}

QVector<DbfColumn> ParamArchiveColumns() {
    return {{"F_1BAIT", 'C', 2, 0}, {"F_2BAIT", 'C', 6, 0}, {"F_3", 'C', 2, 0},  {"F_4", 'C', 20, 0},
            {"F_5", 'C', 20, 0},    {"F_6", 'C', 20, 0},    {"F_7", 'C', 120, 0}};
}

QVector<DbfColumn> RegistryColumns() {
    return {{"ID", 'C', 10, 0}, {"SERIAL", 'C', 16, 0}, {"IDENT", 'C', 10, 0},
            {"US", 'C', 18, 0}, {"OWNER", 'C', 18, 0},  {"START", 'C', 17, 0},
            {"PO", 'C', 20, 0}, {"DATA", 'C', 11, 0},   {"TELEFON", 'C', 30, 0}};
}

QString TemplateFileName(TableFamily family) {
    switch (family) {
    case TableFamily::GVRas:
    case TableFamily::C3H8: return QStringLiteral("GVRas.DBF");
    case TableFamily::GVSU: return QStringLiteral("GVSU.DBF");
    case TableFamily::Par: return QStringLiteral("Par.DBF");
    case TableFamily::Fluid: return QStringLiteral("Fluid.DBF");
    case TableFamily::Heat: return QStringLiteral("Heat.DBF");
    case TableFamily::None: break;
    }
    return {};
}

QString JoinPath(const QString &dir, const QString &name) {
    if (dir.isEmpty())
        return name;
    if (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\')))
        return dir + name;
    return dir + QLatin1Char('/') + name;
}

QString TemplateDirectory(const QString &settingsReportDir) {
    return FindNoCase(settingsReportDir, QLatin1String(kTemplateDirName), EntryKind::Directory) + QLatin1Char('/');
}

void EnsureTemplates(const QString &settingsReportDir) {
    const QString dir = TemplateDirectory(settingsReportDir);
    if (!QDir().mkpath(dir))
        throw TableError(QStringLiteral("Не удалось создать каталог шаблонов %1").arg(QDir::toNativeSeparators(dir)));
    for (TableFamily f :
         {TableFamily::GVRas, TableFamily::GVSU, TableFamily::Par, TableFamily::Fluid, TableFamily::Heat})
        DbfFile::Create(dir + TemplateFileName(f), FamilyColumns(f));
    DbfFile::Create(dir + QLatin1String(kParamTemplateName), ParamArchiveColumns());
}

void EnsureRegistryTable(const QString &devDir) {
    if (!QDir().mkpath(devDir))
        throw TableError(QStringLiteral("Не удалось создать каталог %1").arg(QDir::toNativeSeparators(devDir)));
    DbfFile::Create(JoinPath(devDir, QLatin1String(kRegistryTableName)), RegistryColumns());
}

bool TemplateColumns(const QString &fileName, QVector<DbfColumn> *columns) {
    for (TableFamily f :
         {TableFamily::GVRas, TableFamily::GVSU, TableFamily::Par, TableFamily::Fluid, TableFamily::Heat})
        if (fileName.compare(TemplateFileName(f), Qt::CaseInsensitive) == 0) {
            *columns = FamilyColumns(f);
            return true;
        }
    if (fileName.compare(QLatin1String(kParamTemplateName), Qt::CaseInsensitive) == 0) {
        *columns = ParamArchiveColumns();
        return true;
    }
    return false;
}

void CreateTableFromTemplate(const QString &templatePath, const QString &tablePath) {
    if (FileExistsNoCase(tablePath))
        return;
    // A missing template of the program is made first, with the columns of its family.
    QString source = ExistingFileNoCase(templatePath);
    const QFileInfo templateInfo(source);
    QVector<DbfColumn> columns;
    if (!templateInfo.exists() && TemplateColumns(templateInfo.fileName(), &columns) &&
        QDir().mkpath(templateInfo.absolutePath()))
        DbfFile::Create(templatePath, columns);
    auto fail = [&](const QString &reason) {
        return TableError(QStringLiteral("Не удалось создать таблицу %1 из шаблона %2")
                              .arg(QDir::toNativeSeparators(tablePath), QDir::toNativeSeparators(source)) +
                          (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
    };
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw fail(in.errorString());
    const QByteArray bytes = in.readAll();
    // The template must be a table the engine can use.
    int count = 0;
    DbfFile::CheckHeader(bytes, bytes.size(), source, &count);
    QString reason;
    if (!ReplaceFileContents(tablePath, bytes, &reason))
        throw fail(reason);
}

}  // namespace torv
