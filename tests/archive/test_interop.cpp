// Tables written by the program open in other dBASE readers: python-dbf (Debian's python3-dbf
// under /usr/bin/python3) and LibreOffice headless. Both must see the same live rows, in the same
// order, with the Cyrillic texts intact.
#include "TestUtil.h"

#include "app/App.h"
#include "archive/ArchiveTables.h"
#include "archive/TableRow.h"
#include "archive/TableSchema.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariant>
#include <gtest/gtest.h>
#include <cmath>

using namespace torv;

namespace {

const QString kDevice = QStringLiteral("4455");

// A table's live rows as the program reads them: texts, ISO dates, numbers, or null.
QList<QVariantList> OurRows(TableEngine &engine, const QString &path, QStringList *names) {
    const QFileInfo fi(path);
    const QueryResult r = engine.execute(fi.absolutePath(), QStringLiteral("select * from ") + fi.fileName());
    names->clear();
    for (const DbfField &f : r.layout->fields)
        names->append(f.name);
    QList<QVariantList> rows;
    for (const ResultRow &row : r.rows) {
        QVariantList values;
        for (int i = 0; i < r.layout->fields.size(); ++i) {
            const FieldValue v = FieldOf(*r.layout, i, row.raw);
            const char type = r.layout->fields[i].type;
            if (type == 'C')
                values.append(v.asString());
            else if (v.isNull())
                values.append(QVariant());
            else if (type == 'D')
                values.append(v.asDate().toString(Qt::ISODate));
            else
                values.append(v.asFloat());
        }
        rows.append(values);
    }
    return rows;
}

bool SameValue(const QVariant &ours, const QVariant &theirs) {
    if (ours.isNull() || theirs.isNull())
        return ours.isNull() == theirs.isNull();
    if (ours.typeId() == QMetaType::Double) {
        bool ok = false;
        const double t = theirs.toString().toDouble(&ok);
        return ok && std::fabs(t - ours.toDouble()) <= 1e-9 * std::max(1.0, std::fabs(t));
    }
    return ours.toString() == theirs.toString();
}

void ExpectSameRows(const QList<QVariantList> &ours, const QList<QVariantList> &theirs, const char *reader,
                    const QString &file) {
    ASSERT_EQ(ours.size(), theirs.size()) << reader << " " << file.toStdString();
    for (int r = 0; r < ours.size(); ++r) {
        ASSERT_EQ(ours[r].size(), theirs[r].size()) << reader << " row " << r;
        for (int c = 0; c < ours[r].size(); ++c)
            EXPECT_TRUE(SameValue(ours[r][c], theirs[r][c]))
                << reader << " " << file.toStdString() << " row " << r << " column " << c << ": ours «"
                << ours[r][c].toString().toStdString() << "», theirs «" << theirs[r][c].toString().toStdString() << "»";
    }
}

// RFC 4180 reading of LibreOffice's CSV output.
QList<QStringList> ParseCsv(const QString &text) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false, any = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (c == QLatin1Char(',')) {
            row.append(field);
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            row.append(field);
            rows.append(row);
            row.clear();
            field.clear();
            any = false;
        } else if (c != QLatin1Char('\r')) {
            field += c;
            any = true;
        }
    }
    if (any || !field.isEmpty() || !row.isEmpty()) {
        row.append(field);
        rows.append(row);
    }
    return rows;
}

// LibreOffice's cells in the program's terms: dates as ISO text, empty cells null.
QVariant FromCalc(const QString &cell, char type) {
    if (cell.isEmpty() && type != 'C')
        return QVariant();
    if (type == 'D') {
        static const QRegularExpression us(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{2,4})$"));
        const auto m = us.match(cell);
        if (m.hasMatch()) {
            int year = m.captured(3).toInt();
            if (year < 100)
                year += 2000;
            return QDate(year, m.captured(1).toInt(), m.captured(2).toInt()).toString(Qt::ISODate);
        }
    }
    return cell;
}

}  // namespace

class Interop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        app.settings.setValueDefaults();
        app.settings.setDataDir(dir.path() + QStringLiteral("/Data/"));
        app.settings.setSettingsReportDir(dir.path() + QLatin1Char('/'));
        EnsureTemplates(app.settings.settingsReportDir());
        deviceDir = DeviceDirectory(app.settings.dataDir(), kDevice);
        ASSERT_TRUE(QDir().mkpath(deviceDir));
        writeTables();
    }

    void writeTables() {
        // Hourly gas archive through the writer, downloaded twice, with one row removed.
        const QString hourly = ArchiveTableName(kDevice, 1, kHourly);
        CreateTableFromTemplate(TemplateDirectory(app.settings.settingsReportDir()) + QStringLiteral("GVRas.DBF"),
                                deviceDir + hourly);
        ArchiveQueries queries(app.tables);
        ArchiveTableWriter writer(app, queries);
        for (int round = 0; round < 2; ++round)
            for (int i = 0; i < 30; ++i) {
                ArchivePass p;
                p.deviceNumber = kDevice;
                p.kind = kHourly;
                p.recordDate = QDate(2024, 1, 31).addDays(i / 24);
                p.hour = i % 24;
                ArchiveValues v;
                v.P = 0.196133 + i * 0.001;
                v.T = 2931 + i;
                v.VP = 0.15 * i;
                v.VC = i == 7 ? -1 : 1234567.125 + i;
                v.NPIT = round == 0 ? 0 : (i % 3) * 10;  // not compared in gas tables
                writer.WriteRecord(TableFamily::GVRas, v, p);
            }
        app.tables.execute(deviceDir, QStringLiteral("delete from ") + hourly + QStringLiteral(" where T = '2934'"));

        // Parameter archive with the program's Cyrillic texts, quotes and the byte 0xFF.
        const QString params = ParamArchiveTableName(kDevice);
        CreateTableFromTemplate(TemplateDirectory(app.settings.settingsReportDir()) + QStringLiteral("ArhParam.DBF"),
                                deviceDir + params);
        const QStringList inserts{
            QStringLiteral("('P', 'я', 'R', '03.03.2006 14:5', '0.68', '0.675', ' ')"),
            QStringLiteral("('S', ' МПа', 'P0', '03.03.2006 09:5', '1.96133', '2', 'P Канал №2')"),
            QStringLiteral(
                "('C', ' ', ' ', 'E', '3', '04.03.2006 10:30', 'Рдиф.(меньш.) Канал №3 «O''Brien» \"газ\"')"),
            QStringLiteral("('D', 'C', ' ', '05.03.2006 14:5', '03.03.2006 08:30', ' ', 'Ёё Юю Ъъ №')"),
        };
        for (const QString &values : inserts)
            app.tables.execute(deviceDir, QStringLiteral("INSERT Into ") + params +
                                              QStringLiteral(" (F_1BAIT, F_2BAIT, F_3, F_4, F_5, F_6, F_7) Values ") +
                                              values);

        // Device registry.
        EnsureRegistryTable(dir.path());
        app.tables.execute(dir.path(),
                           QStringLiteral("INSERT Into Torv2dev (ID, SERIAL, IDENT, US, OWNER, START, PO, "
                                          "DATA, TELEFON) Values ('1', '4455', 'Торв-2', 'Котельная №1', "
                                          "'ООО «Тепло»', '10:00  01-02-2019', 'MPrgV6.1', ' 14-03-2019', '8495')"));
        app.tables.flush();
        files = {deviceDir + hourly, deviceDir + params, dir.path() + QStringLiteral("/Torv2dev.dbf")};
        // 30 hourly rows less the removed one, four log rows, one device.
        const int expected[] = {29, 4, 1};
        for (int i = 0; i < files.size(); ++i) {
            QStringList names;
            ASSERT_EQ(OurRows(app.tables, files[i], &names).size(), expected[i]) << files[i].toStdString();
        }
    }

    QTemporaryDir dir;
    VirtualClock clock;
    ScriptedPrompts prompts;
    LinkStatus status;
    RecordingProcessControl processes;
    App app{dir.path(), Seams{&clock, &prompts, &status, &processes}};
    QString deviceDir;
    QStringList files;
};

TEST_F(Interop, PythonDbfReadsTheSameRowsAndTexts) {
    const QString python = QStringLiteral("/usr/bin/python3");
    ASSERT_TRUE(QFile::exists(python)) << "scripts/install-deps installs python3 and python3-dbf";
    QProcess p;
    p.start(python, QStringList{QStringLiteral(TORV_ARCHIVE_TEST_DIR "/interop_read.py")} + files);
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    ASSERT_EQ(lines.size(), files.size());
    for (int i = 0; i < files.size(); ++i) {
        const QJsonObject table = QJsonDocument::fromJson(lines[i]).object();
        EXPECT_TRUE(table.value(QStringLiteral("codepage")).toString().contains(QStringLiteral("cp1251")));
        QStringList names;
        const QList<QVariantList> ours = OurRows(app.tables, files[i], &names);
        QStringList theirNames;
        for (const QJsonValue &n : table.value(QStringLiteral("fields")).toArray())
            theirNames.append(n.toString());
        EXPECT_EQ(theirNames, names);
        QList<QVariantList> theirs;
        for (const QJsonValue &row : table.value(QStringLiteral("rows")).toArray())
            theirs.append(row.toArray().toVariantList());
        ExpectSameRows(ours, theirs, "python-dbf", files[i]);
    }
}

TEST_F(Interop, LibreOfficeReadsTheSameRowsAndTexts) {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    ASSERT_FALSE(soffice.isEmpty()) << "scripts/install-deps installs LibreOffice (calc, base drivers)";
    const QString out = dir.path() + QStringLiteral("/csv");
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(soffice,
            QStringList{QStringLiteral("-env:UserInstallation=file://") + dir.path() + QStringLiteral("/lo-profile"),
                        QStringLiteral("--headless"), QStringLiteral("--norestore"),
                        QStringLiteral("--infilter=dBase:34"), QStringLiteral("--convert-to"),
                        QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false"),
                        QStringLiteral("--outdir"), out} +
                files);
    ASSERT_TRUE(p.waitForFinished(240000));
    const QByteArray log = p.readAll();
    // LibreOffice reports success whatever happened: the output files are the test.
    for (const QString &file : files) {
        const QString csv = out + QLatin1Char('/') + QFileInfo(file).completeBaseName() + QStringLiteral(".csv");
        ASSERT_TRUE(QFile::exists(csv)) << csv.toStdString() << "\n" << log.toStdString();
        const QList<QStringList> cells = ParseCsv(QString::fromUtf8(torvtest::ReadAll(csv)));
        ASSERT_FALSE(cells.isEmpty());
        QStringList names;
        const QList<QVariantList> ours = OurRows(app.tables, file, &names);
        QStringList theirNames;
        QByteArray types;
        for (const QString &h : cells.first()) {
            theirNames.append(h.section(QLatin1Char(','), 0, 0));
            types.append(h.section(QLatin1Char(','), 1, 1).toLatin1().left(1));
        }
        EXPECT_EQ(theirNames, names);
        QList<QVariantList> theirs;
        for (int r = 1; r < cells.size(); ++r) {
            QVariantList row;
            for (int c = 0; c < cells[r].size(); ++c)
                row.append(FromCalc(cells[r][c], c < types.size() ? types[c] : 'C'));
            theirs.append(row);
        }
        ExpectSameRows(ours, theirs, "LibreOffice", file);
    }
}
