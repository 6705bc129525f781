#include "archive/ArchiveTables.h"

#include "archive/ArchiveContext.h"
#include "base/Formats.h"
#include "archive/TableSchema.h"
#include "base/FileNames.h"

#include <cmath>

namespace torv {

namespace {

constexpr int kKeyColumns = 3;  // SERIAL, DT, H

// Decimals of the value literals; the integer columns have none.
int LiteralDecimals(const QString &column) {
    static const char *const kFive[] = {"P", "P1", "P2"};
    static const char *const kSix[] = {"VP", "VC"};
    static const char *const kFour[] = {"M", "VK", "Q", "V", "M1", "M2"};
    for (const char *c : kFive)
        if (column == QLatin1String(c))
            return 5;
    for (const char *c : kSix)
        if (column == QLatin1String(c))
            return 6;
    for (const char *c : kFour)
        if (column == QLatin1String(c))
            return 4;
    return 0;
}

double ValueOf(const QString &column, const ArchiveValues &v) {
    static const struct {
        const char *name;
        double ArchiveValues::*member;
    } kDoubles[] = {{"P", &ArchiveValues::P},   {"VP", &ArchiveValues::VP}, {"VC", &ArchiveValues::VC},
                    {"M", &ArchiveValues::M},   {"VK", &ArchiveValues::VK}, {"Q", &ArchiveValues::Q},
                    {"V", &ArchiveValues::V},   {"P1", &ArchiveValues::P1}, {"M1", &ArchiveValues::M1},
                    {"P2", &ArchiveValues::P2}, {"M2", &ArchiveValues::M2}};
    static const struct {
        const char *name;
        int ArchiveValues::*member;
    } kInts[] = {{"T", &ArchiveValues::T},      {"TX", &ArchiveValues::TX},     {"T1", &ArchiveValues::T1},
                 {"T2", &ArchiveValues::T2},    {"NPIT", &ArchiveValues::NPIT}, {"NDAT", &ArchiveValues::NDAT},
                 {"VIZD", &ArchiveValues::VIZD}};
    for (const auto &d : kDoubles)
        if (column == QLatin1String(d.name))
            return v.*d.member;
    for (const auto &i : kInts)
        if (column == QLatin1String(i.name))
            return v.*i.member;
    return 0;
}

// The value columns of a family, after SERIAL, DT and H.
QStringList ValueColumns(TableFamily family) {
    QStringList names;
    const QVector<DbfColumn> cols = FamilyColumns(family);
    for (int i = kKeyColumns; i < cols.size(); ++i)
        names.append(QLatin1String(cols[i].name));
    return names;
}

QString DateText(const ArchivePass &pass) { return FormatDate(pass.recordDate); }

}  // namespace

QString DeviceDirectory(const QString &dataDir, const QString &deviceNumber) {
    return FindNoCase(dataDir, QStringLiteral("T2_") + deviceNumber, EntryKind::Directory) + QLatin1Char('/');
}

QString ArchiveTableName(const QString &deviceNumber, int channel, char kind) {
    return QStringLiteral("T") + deviceNumber + QString::number(channel) + QLatin1Char(kind) + QStringLiteral(".dbf");
}

QString ParamArchiveTableName(const QString &deviceNumber) {
    return QStringLiteral("T") + deviceNumber + QStringLiteral("0A.dbf");
}

QString Quote(const QString &value) {
    QString v = value;
    v.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

QString KeyWhere(const ArchivePass &pass) {
    QString w = QStringLiteral(" WHERE DT =") + Quote(DateText(pass));
    if (pass.kind == kHourly)
        w += QStringLiteral(" AND H = ") + Quote(QString::number(pass.hour));
    return w;
}

QString ColumnList(TableFamily family) {
    QStringList names;
    for (const DbfColumn &c : FamilyColumns(family))
        names.append(QLatin1String(c.name));
    return names.join(QStringLiteral(", "));
}

QString ValueText(const QString &column, const ArchiveValues &values) {
    const int decimals = LiteralDecimals(column);
    const double v = ValueOf(column, values);
    if (decimals == 0)
        return QString::number(qint64(std::llround(v)));
    return FormatFixed(v, decimals);
}

QString InsertStatement(TableFamily family, const QString &table, const ArchiveValues &values,
                        const ArchivePass &pass) {
    QStringList quoted{Quote(pass.deviceNumber), Quote(DateText(pass)), Quote(QString::number(pass.hour))};
    for (const QString &c : ValueColumns(family))
        quoted.append(Quote(ValueText(c, values)));
    return QStringLiteral("INSERT Into ") + table + QStringLiteral(" (") + ColumnList(family) +
           QStringLiteral(") Values (") + quoted.join(QStringLiteral(", ")) + QStringLiteral(")");
}

QString UpdateStatement(TableFamily family, const QString &table, const ArchiveValues &values,
                        const ArchivePass &pass) {
    QStringList pairs;
    for (const QString &c : ValueColumns(family))
        pairs.append(c + QStringLiteral(" = ") + Quote(ValueText(c, values)));
    QString s = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + pairs.join(QStringLiteral(", ")) +
                QStringLiteral(" Where DT = ") + Quote(DateText(pass));
    if (pass.kind == kHourly)
        s += QStringLiteral(" AND H = ") + Quote(QString::number(pass.hour));
    return s;
}

qint64 Tenths(double value) { return qint64(std::nearbyint(value * 10.0)); }

GasComparison CompareGasRow(TableFamily family, const TQuery &stored, const ArchiveValues &v) {
    GasComparison c;
    auto tenthsDiffer = [](qint64 s, qint64 n) { return s < n - 1; };  // a larger stored value does not count
    auto field = [&](const char *name) { return stored.fieldByName(QLatin1String(name)); };

    c.storedP = Tenths(field("P").asFloat());
    c.newP = Tenths(v.P);
    c.storedVC = Tenths(field("VC").asFloat());
    c.newVC = Tenths(v.VC);
    c.storedNPIT = field("NPIT").asInteger();
    c.newNPIT = v.NPIT;
    c.storedNDAT = field("NDAT").asInteger();
    c.newNDAT = v.NDAT;
    c.storedVIZD = field("VIZD").asInteger();
    c.newVIZD = v.VIZD;
    const double storedT = field("T").asFloat();

    bool differs = tenthsDiffer(c.storedP, c.newP) || tenthsDiffer(c.storedVC, c.newVC) || storedT != v.T ||
                   field("NDAT").asFloat() != v.NDAT || field("VIZD").asFloat() != v.VIZD;
    if (family == TableFamily::GVSU)
        differs = differs || field("NPIT").asFloat() != v.NPIT;
    else
        differs = differs || tenthsDiffer(Tenths(field("VP").asFloat()), Tenths(v.VP));
    c.differs = differs;
    return c;
}

TQuery &ArchiveQueries::forFamily(TableFamily family) {
    switch (family) {
    case TableFamily::GVSU: return QueryGVSU;
    case TableFamily::Par: return QueryPar;
    case TableFamily::Fluid: return QueryFluid;
    case TableFamily::Heat: return QueryHeat;
    default: return QueryGVRas;
    }
}

void ArchiveTableWriter::WriteRecord(TableFamily family, const ArchiveValues &values, ArchivePass &pass) {
    switch (family) {
    case TableFamily::GVRas:
    case TableFamily::C3H8:
    case TableFamily::GVSU: WriteCompared(family, values, pass); break;
    case TableFamily::Par:
    case TableFamily::Fluid:
    case TableFamily::Heat: WriteReplaced(family, values, pass); break;
    case TableFamily::None: break;
    }
}

void ArchiveTableWriter::WriteCompared(TableFamily family, const ArchiveValues &values, ArchivePass &pass) {
    TQuery &q = queries_.forFamily(family);
    const QString table = ArchiveTableName(pass.deviceNumber, pass.channel, pass.kind);
    const QString where = KeyWhere(pass);

    // 1. Look up the row of the key.
    q.close();
    q.setDatabaseName(DeviceDirectory(app_.settings.dataDir(), pass.deviceNumber));
    q.setSql(QStringLiteral("select * from ") + table + where);
    try {
        q.open();
    } catch (const TableError &e) {
        if (family == TableFamily::GVSU)
            throw;
        // The notices name the statement; what is wrong with the table goes to the exchange log.
        app_.status().addLine(Role::RichEdit1, e.text());
        app_.prompts().ShowNotice(
            QStringLiteral("Ошибка базы данных. Перезагрузите программу и продолжите опрос с текущего прибора") +
                q.sql(),
            15);
        app_.prompts().ShowNotice(QStringLiteral("Ошибка 76. Неправильная запись в БД WriteGVRas") + q.sql(), 5);
        app_.abortState = AbortUser;
        return;
    }

    // 2–3. A stored row that disagrees with the device: the device's clock was changed.
    if (!q.isEmpty()) {
        q.first();
        const GasComparison c = CompareGasRow(family, q, values);
        if (c.differs) {
            q.close();
            ReportError18(c, pass);
            return;
        }
    }

    // 4–6. Replace the row.
    q.close();
    ReplaceRow(family, q, values, pass, true);
}

void ArchiveTableWriter::WriteReplaced(TableFamily family, const ArchiveValues &values, ArchivePass &pass) {
    TQuery &q = queries_.forFamily(family);
    q.close();
    q.setDatabaseName(DeviceDirectory(app_.settings.dataDir(), pass.deviceNumber));
    ReplaceRow(family, q, values, pass, false);
}

void ArchiveTableWriter::ReplaceRow(TableFamily family, TQuery &q, const ArchiveValues &values, const ArchivePass &pass,
                                    bool reportWriteErrors) {
    const QString table = ArchiveTableName(pass.deviceNumber, pass.channel, pass.kind);
    const QString where = KeyWhere(pass);

    q.setSql(QStringLiteral("delete from ") + table + where);
    q.execSql();
    q.setSql(QStringLiteral("select * from ") + table + where);
    q.open();
    const bool empty = q.isEmpty();
    q.close();

    if (empty) {
        q.setSql(InsertStatement(family, table, values, pass));
        try {
            q.execSql();
        } catch (const TableError &e) {
            if (!reportWriteErrors)
                throw;
            app_.status().addLine(Role::RichEdit1, e.text());
            app_.prompts().ShowNotice(QStringLiteral("Ошибка 21: Записи в таблицу данных S=") + q.sql(), 5);
            app_.abortState = AbortModem;
        }
    } else if (app_.settings.updateStored()) {
        q.setSql(UpdateStatement(family, table, values, pass));
        try {
            q.execSql();
        } catch (const TableError &e) {
            if (!reportWriteErrors)
                throw;
            app_.status().addLine(Role::RichEdit1, e.text());
            app_.prompts().ShowNotice(QStringLiteral("Ошибка 21: Записи в таблицу данных"), 5);
            app_.abortState = AbortModem;
        }
    }
}

void ArchiveTableWriter::ReportError18(const GasComparison &c, ArchivePass &pass) {
    LinkStatus &status = app_.status();
    status.clearPane(Role::RichEdit3);
    status.addLine(Role::RichEdit3, QStringLiteral("P было") + QString::number(c.storedP) + QStringLiteral(" стало ") +
                                        QString::number(c.newP));
    status.addLine(Role::RichEdit3, QStringLiteral("Vc было") + QString::number(c.storedVC) +
                                        QStringLiteral(" стало ") + QString::number(c.newVC));
    status.addLine(Role::RichEdit3, QStringLiteral("NPit было") + QString::number(c.storedNPIT) +
                                        QStringLiteral(" стало ") + QString::number(c.newNPIT));
    status.addLine(Role::RichEdit3, QStringLiteral("NDAT было") + QString::number(c.storedNDAT) +
                                        QStringLiteral(" стало ") + QString::number(c.newNDAT));
    status.addLine(Role::RichEdit3, QStringLiteral("VIZD было") + QString::number(c.storedVIZD) +
                                        QStringLiteral(" стало ") + QString::number(c.newVIZD));
    app_.pump();
    app_.abortState = AbortModem;
    pass.stop = true;
    app_.prompts().ShowNotice(
        QStringLiteral("Ошибка 18: Полученные данные из прибора не совпадают с данными программы:") +
            Quote(DateText(pass)) + QLatin1Char(pass.kind) +
            QStringLiteral(". Такая ошибка возникает при изменении даты в приборе. Если Вы уверены, что дата в приборе "
                           "правильная, то удалите архивы в программе и скачайте повторно."),
        15);
}

namespace {

// The template of a channel's table: by the medium's table family (a heat device keeps tables for
// its heat and liquid channels only; a heat channel of any other device kind gets none).
QString TemplateFor(char kind, uint8_t medium) {
    if (medium == 'H' && kind != KindHeat)
        return QString();
    return TemplateFileName(FamilyForMedium(char(medium), kind == KindHeat));
}

}  // namespace

void PrepareArchiveTables(ArchiveContext &app, const QString &deviceNumber) {
    const QString templates = TemplateDirectory(app.settings.settingsReportDir());
    const QString dir = DeviceDirectory(app.settings.dataDir(), deviceNumber);
    const QByteArray &image = app.device.KindImage();
    for (int n = 1; n <= 4; ++n) {
        const QString tmpl =
            TemplateFor(app.device.kind, uint8_t(image[img::kChannelRecords + img::kChannelRecordSize * (n - 1)]));
        if (tmpl.isEmpty())
            continue;
        for (char kind : {'h', 'd', 'm'})
            CreateTableFromTemplate(JoinPath(templates, tmpl), JoinPath(dir, ArchiveTableName(deviceNumber, n, kind)));
    }
    CreateTableFromTemplate(JoinPath(templates, QString::fromLatin1(kParamTemplateName)),
                            JoinPath(dir, ParamArchiveTableName(deviceNumber)));
}

}  // namespace torv
