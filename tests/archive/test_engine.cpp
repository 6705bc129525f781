// The table engine: the statements the program sends, value conversion, file order, deleted
// rows, slot reuse, errors, templates, damaged files and records, and failed writes.
#include "TableFixture.h"
#include "TestUtil.h"
#include "base/WriteFailure.h"

#include "archive/TableRow.h"
#include "base/CodePage.h"

#include <functional>
#include <map>
#include <random>
#include <set>

using namespace torv;
using torvtest::TableFixture;

namespace {

const QString kHourlyTable = QStringLiteral("T12345671h.dbf");
const QString kParamsTable = QStringLiteral("T12345670A.dbf");

QString GasInsert(const QString &date, int hour, const QString &p, const QString &t = QStringLiteral("2931")) {
    return QStringLiteral(
               "INSERT Into T12345671h.dbf (SERIAL, DT, H, P, T, VP, VC, NPIT, NDAT, VIZD) Values "
               "('1234567', '%1', '%2', '%3', '%4', '0.150000', '0.012500', '0', '0', '0')")
        .arg(date)
        .arg(hour)
        .arg(p, t);
}

QString ParamInsert(const QString &f1, const QString &f2, const QString &f3, const QString &f7 = QStringLiteral(" ")) {
    auto q = [](QString v) {
        return QLatin1Char('\'') + v.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    };
    return QStringLiteral(
               "INSERT Into T12345670A.dbf (F_1BAIT, F_2BAIT, F_3, F_4, F_5, F_6, F_7) Values (%1, %2, %3, "
               "'03.03.2006 14:5', '0.68', '0.675', %4)")
        .arg(q(f1), q(f2), q(f3), q(f7));
}

}  // namespace

class Engine : public TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        makeFamilyTable(kHourlyTable, TableFamily::GVRas);
        makeTable(kParamsTable, ParamArchiveColumns());
    }
};

TEST_F(Engine, InsertConvertsTextsToColumnTypes) {
    EXPECT_EQ(exec(GasInsert(QStringLiteral("07.02.2020"), 5, QStringLiteral("0.196133"))), 1);
    TQuery q(engine);
    q.setDatabaseName(dir());
    q.setSql(QStringLiteral("select * from T12345671h.dbf"));
    q.open();
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.fieldByName(QStringLiteral("DT")).asDate(), QDate(2020, 2, 7));
    EXPECT_EQ(q.fieldByName(QStringLiteral("dt")).asString(), QStringLiteral("07.02.2020"));
    EXPECT_EQ(q.fieldByName(QStringLiteral("DT")).bytes(), QByteArray("20200207"));
    EXPECT_EQ(q.fieldByName(QStringLiteral("H")).asInteger(), 5);
    // P keeps the five decimals of its column.
    EXPECT_EQ(q.fieldByName(QStringLiteral("P")).asString(), QStringLiteral("0.19613"));
    EXPECT_DOUBLE_EQ(q.fieldByName(QStringLiteral("VC")).asFloat(), 0.0125);
    EXPECT_EQ(q.fieldByName(QStringLiteral("SERIAL")).asString(), QStringLiteral("1234567"));
}

TEST_F(Engine, ResultsComeInFileOrderWithoutDeletedRows) {
    const QStringList dates{"05.03.2020", "01.03.2020", "03.03.2020", "02.03.2020", "04.03.2020"};
    for (int i = 0; i < dates.size(); ++i)
        exec(GasInsert(dates[i], 0, QStringLiteral("0.1"), QString::number(2900 + i)));
    EXPECT_EQ(exec(QStringLiteral("delete from T12345671h.dbf where T = '2902' or T = '2904'")), 2);
    EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf"), {"DT", "T"}),
              (QStringList{"05.03.2020|2900", "01.03.2020|2901", "02.03.2020|2903"}));
}

TEST_F(Engine, KeywordsAndColumnNamesInAnyCase) {
    exec(GasInsert(QStringLiteral("07.02.2020"), 3, QStringLiteral("0.2")));
    exec(GasInsert(QStringLiteral("07.02.2020"), 4, QStringLiteral("0.3")));
    EXPECT_EQ(rows(QStringLiteral("SeLeCt * FrOm t12345671H.DBF wHeRe dt='07.02.2020' AnD h = '3'"), {"P"}),
              QStringList{"0.20000"});
    EXPECT_EQ(exec(QStringLiteral("update T12345671h set p = '0.5' WHERE H = '4'")), 1);
    EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf where P<>'0.2'"), {"H", "P"}),
              QStringList{"4|0.50000"});
}

TEST_F(Engine, AndBindsTighterThanOrAndParenthesesRegroup) {
    exec(ParamInsert("P", "A", "1"));
    exec(ParamInsert("Q", "X", "Y"));
    exec(ParamInsert("Q", "X", "Z"));
    exec(ParamInsert("P", "X", "Z"));
    const QStringList cols{"F_1BAIT", "F_2BAIT", "F_3"};
    EXPECT_EQ(rows(QStringLiteral("select * from T12345670A.dbf where F_1BAIT='P' or F_2BAIT='X' and F_3='Y'"), cols),
              (QStringList{"P|A|1", "Q|X|Y", "P|X|Z"}));
    EXPECT_EQ(rows(QStringLiteral("select * from T12345670A.dbf where (F_1BAIT='P' or F_2BAIT='X') and F_3='Y'"), cols),
              QStringList{"Q|X|Y"});
    EXPECT_EQ(rows(QStringLiteral("select * from T12345670A.dbf where ((F_1BAIT='Q') and (F_3<>'Y'))"), cols),
              QStringList{"Q|X|Z"});
}

TEST_F(Engine, ApostrophesQuotesAndCyrillicSurviveTheRoundTrip) {
    const QString name = QStringLiteral("Рдиф.(меньш.) Канал №2 O'Brien \"газ\"");
    exec(ParamInsert(QStringLiteral("S"), QStringLiteral(" МПа"), QStringLiteral("я"), name));
    exec(ParamInsert(QStringLiteral("P"), QStringLiteral("я"), QStringLiteral("R")));
    const QStringList found =
        rows(QStringLiteral("select * from T12345670A.dbf where F_7='Рдиф.(меньш.) Канал №2 O''Brien \"газ\"'"),
             {"F_2BAIT", "F_7"});
    EXPECT_EQ(found, QStringList{QStringLiteral(" МПа|") + name});
    // The byte 0xFF of the code page reads as "я" and selects as it.
    EXPECT_EQ(
        rows(QStringLiteral(" select * from T12345670A.dbf where F_1BAIT='P' and F_2BAIT='я' and F_3='R' "), {"F_5"}),
        QStringList{"0.68"});
    // The file holds Windows-1251 bytes.
    EXPECT_TRUE(torvtest::ReadAll(path(kParamsTable)).contains(ToCp1251(QStringLiteral("Рдиф.(меньш.) Канал №2"))));
}

TEST_F(Engine, OverlongTextIsCutWhenWrittenButAnOverlongKeyFindsNothing) {
    // Written values keep the column width; a literal longer than the column is compared whole.
    exec(ParamInsert(QStringLiteral("S"), QStringLiteral("м3/ч"), QStringLiteral("T12")));
    exec(ParamInsert(QStringLiteral("S"), QStringLiteral("м3/ч"), QStringLiteral("I1")));
    const struct {
        const char *where;
        QStringList found;
    } cases[] = {
        {"F_3='T12'", {}},     {"F_3='T1'", {"T1"}},         {"F_3='I10'", {}},
        {"F_3='I1'", {"I1"}},  {"F_3<>'I10'", {"T1", "I1"}}, {"F_3<'I10'", {"I1"}},
        {"F_3>'I10'", {"T1"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(rows(QStringLiteral("select * from T12345670A.dbf where ") + QLatin1String(c.where), {"F_3"}),
                  c.found)
            << c.where;
}

TEST_F(Engine, BlankNumbersAreNullAndMatchNothing) {
    exec(QStringLiteral("INSERT Into T12345671h.dbf (SERIAL, DT, H) Values ('1', '01.01.2021', '0')"));
    TQuery q(engine);
    q.setDatabaseName(dir());
    q.setSql(QStringLiteral("select * from T12345671h.dbf"));
    q.open();
    EXPECT_TRUE(q.fieldByName(QStringLiteral("NDAT")).isNull());
    EXPECT_EQ(q.fieldByName(QStringLiteral("NDAT")).asFloat(), 0);
    EXPECT_TRUE(rows(QStringLiteral("select * from T12345671h.dbf where NDAT = '0' or NDAT <> '0'"), {"H"}).isEmpty());
}

TEST_F(Engine, DateFilterKeepsTheClosedIntervalWhileSwitchedOn) {
    const QStringList dates{"31.01.2009", "01.02.2009", "28.02.2009", "01.03.2009"};
    for (const QString &d : dates)
        for (int h : {0, 23})
            exec(GasInsert(d, h, QStringLiteral("0.1")));
    TQuery q(engine);
    q.setDatabaseName(dir());
    q.setSql(QStringLiteral("select * from T12345671h.dbf"));
    q.setFilter(QStringLiteral("DT >='01.02.2009' AND DT <= '28.02.2009'"));
    q.open();
    EXPECT_EQ(q.recordCount(), 8);
    q.setFiltered(true);
    QStringList seen;
    for (q.first(); !q.eof(); q.next())
        seen.append(q.fieldByName(QStringLiteral("DT")).asString() + QLatin1Char(' ') +
                    q.fieldByName(QStringLiteral("H")).asString());
    EXPECT_EQ(seen, (QStringList{"01.02.2009 0", "01.02.2009 23", "28.02.2009 0", "28.02.2009 23"}));
    q.setFiltered(false);
    EXPECT_EQ(q.recordCount(), 8);
}

TEST_F(Engine, ReplacingTheRowOfAKeyReusesItsSlot) {
    for (int day = 1; day <= 2; ++day)
        for (int h = 0; h < 24; ++h)
            exec(GasInsert(QStringLiteral("0%1.04.2021").arg(day), h, QStringLiteral("0.1")));
    const qint64 size = fileSize(kHourlyTable);
    const QStringList before = rows(QStringLiteral("select * from T12345671h.dbf"), {"DT", "H"});
    for (int day = 2; day >= 1; --day)
        for (int h = 23; h >= 0; --h) {
            const QString where = QStringLiteral(" WHERE DT ='0%1.04.2021' AND H = '%2'").arg(day).arg(h);
            EXPECT_EQ(exec(QStringLiteral("delete from T12345671h.dbf") + where), 1);
            EXPECT_TRUE(rows(QStringLiteral("select * from T12345671h.dbf") + where, {"H"}).isEmpty());
            exec(GasInsert(QStringLiteral("0%1.04.2021").arg(day), h, QStringLiteral("0.7")));
        }
    EXPECT_EQ(fileSize(kHourlyTable), size);
    EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf"), {"DT", "H"}), before);
    EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf where P <> '0.7'"), {"H"}), QStringList{});
    // A fresh engine reads the same file.
    TableEngine other;
    EXPECT_EQ(other.execute(dir(), QStringLiteral("select * from T12345671h.dbf where P = '0.7'")).rows.size(), 48u);
}

TEST_F(Engine, AKeyDeletionHeldBackIsWrittenByTheNextChange) {
    exec(GasInsert(QStringLiteral("01.04.2021"), 1, QStringLiteral("0.1")));
    exec(GasInsert(QStringLiteral("01.04.2021"), 2, QStringLiteral("0.1")));
    exec(QStringLiteral("delete from T12345671h.dbf WHERE DT ='01.04.2021' AND H = '1'"));
    exec(QStringLiteral("update T12345671h.dbf SET P = '0.3' Where DT = '01.04.2021' AND H = '2'"));
    TableEngine other;
    EXPECT_EQ(other.execute(dir(), QStringLiteral("select * from T12345671h.dbf")).rows.size(), 1u);
    exec(QStringLiteral("delete from T12345671h.dbf WHERE DT ='01.04.2021' AND H = '2'"));
    engine.flush();
    TableEngine third;
    EXPECT_TRUE(third.execute(dir(), QStringLiteral("select * from T12345671h.dbf")).rows.empty());
    // Until the insert of the same key comes, the file still holds the old row; the insert then
    // writes over it. A key of DT alone (daily and monthly rows) is handled the same way.
    exec(GasInsert(QStringLiteral("05.04.2021"), 0, QStringLiteral("0.1")));
    exec(QStringLiteral("delete from T12345671h.dbf WHERE DT ='05.04.2021'"));
    EXPECT_TRUE(rows(QStringLiteral("select * from T12345671h.dbf WHERE DT ='05.04.2021'"), {"P"}).isEmpty());
    EXPECT_EQ(
        TableEngine().execute(dir(), QStringLiteral("select * from T12345671h.dbf WHERE DT ='05.04.2021'")).rows.size(),
        1u);
    exec(GasInsert(QStringLiteral("05.04.2021"), 0, QStringLiteral("0.2")));
    const QueryResult replaced = TableEngine().execute(dir(), QStringLiteral("select * from T12345671h.dbf"));
    ASSERT_EQ(replaced.rows.size(), 1u);
    EXPECT_EQ(replaced.rows[0].slot, 2);
    EXPECT_EQ(FieldOf(*replaced.layout, 3, replaced.rows[0].raw).asString(), QStringLiteral("0.20000"));
    // A key deleted long ago gets its old slot back.
    exec(GasInsert(QStringLiteral("01.04.2021"), 2, QStringLiteral("0.9")));
    EXPECT_EQ(engine.execute(dir(), QStringLiteral("select * from T12345671h.dbf where H = '2'")).rows.at(0).slot, 1);
}

TEST_F(Engine, DeleteWithoutWhereEmptiesTheFile) {
    for (int i = 0; i < 5; ++i)
        exec(ParamInsert(QStringLiteral("P"), QString::number(i), QStringLiteral("R")));
    EXPECT_EQ(exec(QStringLiteral("delete from T12345670A.dbf")), 5);
    EXPECT_TRUE(rows(QStringLiteral("select * from T12345670A.dbf"), {"F_3"}).isEmpty());
    const QByteArray bytes = torvtest::ReadAll(path(kParamsTable));
    const int header = uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8;
    EXPECT_EQ(bytes.size(), header + 1);
    EXPECT_EQ(bytes.back(), '\x1a');
    EXPECT_EQ(bytes.mid(4, 4), QByteArray(4, '\0'));
}

TEST_F(Engine, AChangeMadeByAnotherWriterIsNoticed) {
    exec(GasInsert(QStringLiteral("01.04.2021"), 1, QStringLiteral("0.1")));
    EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf"), {"H"}).size(), 1);
    TableEngine other;
    other.execute(dir(), GasInsert(QStringLiteral("01.04.2021"), 2, QStringLiteral("0.1")));
    other.execute(dir(), GasInsert(QStringLiteral("01.04.2021"), 3, QStringLiteral("0.1")));
    EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf WHERE DT ='01.04.2021'"), {"H"}),
              (QStringList{"1", "2", "3"}));
    // A removed file is a missing table, and a new one with the same name is read afresh.
    QFile::remove(path(kHourlyTable));
    EXPECT_THROW(exec(QStringLiteral("select * from T12345671h.dbf")), TableError);
    makeFamilyTable(kHourlyTable, TableFamily::GVRas);
    EXPECT_TRUE(rows(QStringLiteral("select * from T12345671h.dbf"), {"H"}).isEmpty());
}

TEST_F(Engine, RegistryStatementsOfTheDeviceList) {
    makeTable(QStringLiteral("Torv2dev.dbf"), RegistryColumns());
    exec(
        QStringLiteral("INSERT Into Torv2dev (ID, SERIAL, IDENT, US, OWNER, START, PO, DATA) Values ('1', '1234', "
                       "'Торв-2', 'Котельная', 'ООО', '10:00  01-02-2019', 'MPrgV6.1', ' 14-03-2019')"));
    exec(
        QStringLiteral("INSERT Into Torv2dev (ID, SERIAL, IDENT, US, OWNER, START, PO, DATA, TELEFON) Values ('2', "
                       "'5678', 'Торв-2', 'Цех', 'ЗАО', '', '', '','84951234567')"));
    exec(QStringLiteral(
        "UPDATE Torv2dev.dbf SET US = 'Цех 2', START = 's', PO = 'p', DATA = 'd' Where SERIAL = '5678'"));
    exec(QStringLiteral("update Torv2dev.dbf set telefon='112' where serial='1234'"));
    EXPECT_EQ(rows(QStringLiteral("select * from Torv2dev.dbf WHERE SERIAL='5678'"), {"ID", "US", "TELEFON"}),
              QStringList{"2|Цех 2|84951234567"});
    TQuery q(engine);
    q.setDatabaseName(dir());
    q.setSql(QStringLiteral("select * from Torv2dev"));
    q.open();
    EXPECT_EQ(q.recordCount(), 2);
    ASSERT_TRUE(q.locate(QStringLiteral("SERIAL"), QStringLiteral("1234")));
    EXPECT_EQ(q.fieldByName(QStringLiteral("TELEFON")).asString(), QStringLiteral("112"));
    q.deleteCurrent();
    EXPECT_EQ(rows(QStringLiteral("select * from Torv2dev.dbf"), {"SERIAL"}), QStringList{"5678"});
    EXPECT_FALSE(q.locate(QStringLiteral("SERIAL"), QStringLiteral("1234")));
}

TEST_F(Engine, BadStatementsRaiseClearErrorsAndChangeNothing) {
    exec(GasInsert(QStringLiteral("01.04.2021"), 1, QStringLiteral("0.1")));
    const QByteArray before = torvtest::ReadAll(path(kHourlyTable));
    const struct {
        const char *sql;
        const char *text;
    } cases[] = {
        {"", "Ошибка в запросе"},
        {"selct * from T12345671h.dbf", "Ошибка в запросе"},
        {"select * T12345671h.dbf", "ожидалось FROM"},
        {"select * from T12345671h.dbf where DT = '01.04.2021", "не закрыта кавычка"},
        {"select * from T12345671h.dbf where (DT = '01.04.2021'", "Ошибка в запросе"},
        {"select * from T12345671h.dbf where DT '01.04.2021'", "ожидалось сравнение"},
        {"select * from T12345671h.dbf where DT = '01.04.2021' and", "Ошибка в запросе"},
        {"select * from T12345671h.dbf where DT = '31.02.2021'", "Неверная дата"},
        {"select * from T12345671h.dbf where NOPE = '1'", "Неизвестный столбец NOPE"},
        {"select * from T12345671h.dbf extra", "лишний текст"},
        {"select * from Missing.dbf", "не найдена"},
        {"select * from \"../T12345671h.dbf\"", "Неверное имя таблицы"},
        {"delete from T12345671h.dbf where H = 'x'", "не является числом"},
        {"INSERT Into T12345671h.dbf (SERIAL, DT) Values ('1')", "число значений"},
        {"INSERT Into T12345671h.dbf (SERIAL, SERIAL) Values ('1', '2')", "указан дважды"},
        {"INSERT Into T12345671h.dbf (SERIAL, DT, H, P) Values ('1', '01.04.2021', '2', '1e30')", "не помещается"},
        {"INSERT Into T12345671h.dbf (SERIAL, DT, H, P) Values ('1', '01.04.2021', '2', 'nan')", "не является числом"},
        {"INSERT Into T12345671h.dbf (SERIAL, DT, H, P) Values ('漢字', '01.04.2021', '2', '1')", "Windows-1251"},
        {"INSERT Into T12345671h.dbf (SERIAL, DT, H) Values ('1', '2021-04-01', '2')", "Неверная дата"},
        {"UPDATE T12345671h.dbf SET P = '1,5' Where H = '1'", "не является числом"},
        {"UPDATE T12345671h.dbf SET BAD = '1' Where H = '1'", "Неизвестный столбец"},
    };
    for (const auto &c : cases) {
        try {
            exec(QString::fromUtf8(c.sql));
            ADD_FAILURE() << "no error for: " << c.sql;
        } catch (const TableError &e) {
            EXPECT_TRUE(e.text().contains(QString::fromUtf8(c.text))) << c.sql << " → " << e.text().toStdString();
        }
    }
    EXPECT_EQ(torvtest::ReadAll(path(kHourlyTable)), before);
}

TEST_F(Engine, TemplatesAreCreatedWithTheColumnsOfTheirFamily) {
    const QString reportDir = dir() + QStringLiteral("report/");
    EnsureTemplates(reportDir);
    const QString templates = reportDir + QStringLiteral("sourse/");
    const struct {
        const char *file;
        const char *columns;
    } expected[] = {{"GVRas.DBF", "SERIAL, DT, H, P, T, VP, VC, NPIT, NDAT, VIZD"},
                    {"GVSU.DBF", "SERIAL, DT, H, P, T, VC, NPIT, NDAT, VIZD"},
                    {"Par.DBF", "SERIAL, DT, H, P, T, TX, M, VK, Q, NPIT, NDAT, VIZD"},
                    {"Fluid.DBF", "SERIAL, DT, H, V, P, T, NPIT, NDAT, VIZD"},
                    {"Heat.DBF", "SERIAL, DT, H, P1, T1, M1, P2, T2, M2, Q, NPIT, NDAT, VIZD"}};
    for (const auto &e : expected) {
        auto f = DbfFile::Open(templates + QLatin1String(e.file), DbfFile::ReadOnly);
        QStringList names;
        QByteArray types;
        for (const DbfField &field : f->layout().fields) {
            names.append(field.name);
            types.append(field.type);
        }
        EXPECT_EQ(names.join(QStringLiteral(", ")), QLatin1String(e.columns)) << e.file;
        EXPECT_EQ(types, "CDN" + QByteArray(names.size() - 3, 'N')) << e.file;
        EXPECT_EQ(f->layout().fields[0].width, 16);
        EXPECT_EQ(f->recordCount(), 0);
        // Language driver byte: Windows-1251.
        EXPECT_EQ(uint8_t(torvtest::ReadAll(templates + QLatin1String(e.file)).at(29)), 201);
    }
    auto params = DbfFile::Open(templates + QStringLiteral("ArhParam.DBF"), DbfFile::ReadOnly);
    ASSERT_EQ(params->layout().fields.size(), 7);
    EXPECT_EQ(params->layout().fields[6].name, QStringLiteral("F_7"));
    EXPECT_EQ(params->layout().fields[6].width, 120);

    // Existing templates and tables are never overwritten.
    ASSERT_TRUE(torvtest::WriteAll(templates + QStringLiteral("Par.DBF"),
                                   torvtest::ReadAll(templates + QStringLiteral("GVSU.DBF"))));
    EnsureTemplates(reportDir);
    EXPECT_EQ(torvtest::ReadAll(templates + QStringLiteral("Par.DBF")),
              torvtest::ReadAll(templates + QStringLiteral("GVSU.DBF")));
    CreateTableFromTemplate(templates + QStringLiteral("GVRas.DBF"), path(QStringLiteral("T991h.dbf")));
    EXPECT_EQ(torvtest::ReadAll(path(QStringLiteral("T991h.dbf"))),
              torvtest::ReadAll(templates + QStringLiteral("GVRas.DBF")));
    exec(QStringLiteral("INSERT Into T991h.dbf (SERIAL, DT, H) Values ('9', '01.01.2020', '0')"));
    CreateTableFromTemplate(templates + QStringLiteral("GVRas.DBF"), path(QStringLiteral("T991h.dbf")));
    EXPECT_EQ(rows(QStringLiteral("select * from T991h.dbf"), {"SERIAL"}), QStringList{"9"});
    // A template that went missing is made again before the copy; an unknown one is an error.
    QFile::remove(templates + QStringLiteral("Heat.DBF"));
    CreateTableFromTemplate(templates + QStringLiteral("Heat.DBF"), path(QStringLiteral("T993h.dbf")));
    EXPECT_EQ(rows(QStringLiteral("select * from T993h.dbf"), {"Q"}), QStringList{});
    EXPECT_TRUE(QFile::exists(templates + QStringLiteral("Heat.DBF")));
    EXPECT_THROW(CreateTableFromTemplate(templates + QStringLiteral("none.DBF"), path(QStringLiteral("T992h.dbf"))),
                 TableError);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("T992h.dbf"))));
}

TEST_F(Engine, DamagedFilesGiveAnErrorNotACrash) {
    exec(GasInsert(QStringLiteral("01.04.2021"), 1, QStringLiteral("0.1")));
    const QByteArray good = torvtest::ReadAll(path(kHourlyTable));
    const int header = uint8_t(good[8]) | uint8_t(good[9]) << 8;
    ASSERT_EQ(header, 32 + 10 * 32 + 1);
    auto damaged = [&](auto change) {
        QByteArray b = good;
        change(b);
        return b;
    };
    auto put16 = [](QByteArray &b, int at, int v) {
        b[at] = char(v & 0xFF);
        b[at + 1] = char(v >> 8);
    };
    const QList<QByteArray> files{
        QByteArray(),
        good.left(20),
        damaged([&](QByteArray &b) { put16(b, 8, 10); }),           // header shorter than one column
        damaged([&](QByteArray &b) { put16(b, 8, 0xFFFF); }),       // header beyond the file
        damaged([&](QByteArray &b) { put16(b, 8, header + 32); }),  // header longer than its columns
        damaged([&](QByteArray &b) { put16(b, 10, 5); }),           // record shorter than its columns
        damaged([&](QByteArray &b) { put16(b, 10, 30000); }),       // record longer than its columns
        damaged([&](QByteArray &b) { put16(b, 10, uint8_t(b[10]) + 1); }),
        damaged([](QByteArray &b) { b[0] = 0x30; }),  // not dBASE III (Visual FoxPro)
        damaged([](QByteArray &b) { b[0] = char(0xE5); }),
        damaged([](QByteArray &b) { b[2] = 13; }),                         // month 13 in the date
        damaged([](QByteArray &b) { b[32 + 11] = 'M'; }),                  // memo column
        damaged([](QByteArray &b) { b[32 + 16] = 0; }),                    // zero width
        damaged([](QByteArray &b) { b[64 + 16] = 9; }),                    // date of width 9
        damaged([](QByteArray &b) { b[96 + 17] = 6; }),                    // H: decimals as wide as the column
        damaged([](QByteArray &b) { b[32] = 0; }),                         // column without a name
        damaged([](QByteArray &b) { b[33] = '#'; }),                       // no name of a column
        damaged([](QByteArray &b) { b.replace(64, 11, b.mid(32, 11)); }),  // SERIAL twice
        damaged([&](QByteArray &b) { b[header - 1] = ' '; }),              // no end of the columns
    };
    for (int i = 0; i < files.size(); ++i) {
        ASSERT_TRUE(torvtest::WriteAll(path(kHourlyTable), files[i]));
        engine.forget(dir());
        for (const QString &sql : {QStringLiteral("select * from T12345671h.dbf"),
                                   GasInsert(QStringLiteral("02.04.2021"), 1, QStringLiteral("0.1"))}) {
            try {
                exec(sql);
                ADD_FAILURE() << "case " << i;
            } catch (const TableError &e) {
                // The table is named, and it is never written to.
                EXPECT_TRUE(e.text().contains(QStringLiteral("повреждена"))) << i << e.text().toStdString();
                EXPECT_TRUE(e.text().contains(QDir::toNativeSeparators(path(kHourlyTable)))) << i;
            }
            EXPECT_EQ(torvtest::ReadAll(path(kHourlyTable)), files[i]) << i;
        }
    }
    // One zero byte after the end of the columns (some writers put it there) is a sound header.
    QByteArray padded = good;
    padded.insert(header, '\0');
    padded[8] = char(header + 1);
    ASSERT_TRUE(torvtest::WriteAll(path(kHourlyTable), padded));
    engine.forget(dir());
    EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf"), {"H"}), QStringList{"1"});

    // A header counting more records than the file holds is read as the records that are there.
    ASSERT_TRUE(torvtest::WriteAll(path(kHourlyTable), good));
    engine.forget(dir());
    QByteArray cut = good;
    cut[4] = 3;
    ASSERT_TRUE(torvtest::WriteAll(path(kHourlyTable), cut));
    engine.forget(dir());
    EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf"), {"H"}), QStringList{"1"});
    exec(GasInsert(QStringLiteral("01.04.2021"), 2, QStringLiteral("0.1")));
    EXPECT_EQ(uint8_t(torvtest::ReadAll(path(kHourlyTable)).at(4)), 2);
}

// 32 random bytes anywhere over the header: the table is refused and not written to, never taken
// with a layout of its own that other readers do not share.
TEST_F(Engine, GarbageOverTheHeaderIsRefusedAndNeverWritten) {
    for (int h = 0; h < 24; ++h)
        exec(GasInsert(QStringLiteral("01.04.2021"), h, QStringLiteral("0.1")));
    const QByteArray good = torvtest::ReadAll(path(kHourlyTable));
    const int header = uint8_t(good[8]) | uint8_t(good[9]) << 8;
    std::mt19937 rng(2024);
    for (int trial = 0; trial < 400; ++trial) {
        QByteArray bad = good;
        const int at = trial < 100 ? 0 : int(rng() % uint32_t(header - 32 + 1));
        for (int i = 0; i < 32; ++i)
            bad[at + i] = char(rng());
        ASSERT_TRUE(torvtest::WriteAll(path(kHourlyTable), bad));
        engine.forget(dir());
        EXPECT_THROW(exec(GasInsert(QStringLiteral("02.04.2021"), 0, QStringLiteral("0.1"))), TableError)
            << "trial " << trial << " at " << at;
        EXPECT_EQ(torvtest::ReadAll(path(kHourlyTable)), bad) << "trial " << trial;
    }
}

// A record whose deletion flag is neither blank nor '*', or whose number, date or logical field is
// no value of its type, is not a row: selects skip it and name the table and the record; the row
// of its key written again takes a slot of its own and the damaged bytes stay as they were.
TEST_F(Engine, DamagedRecordsAreNotRowsAndAreReported) {
    for (int h = 0; h < 8; ++h)
        exec(GasInsert(QStringLiteral("01.04.2021"), h, QStringLiteral("0.1")));
    exec(QStringLiteral("delete from T12345671h.dbf WHERE DT ='01.04.2021' AND H = '7'"));
    engine.flush();  // record 8 (slot 7) is now deleted
    const QByteArray good = torvtest::ReadAll(path(kHourlyTable));
    auto layout = DbfFile::Open(path(kHourlyTable), DbfFile::ReadOnly)->layout();
    auto at = [&](int slot, const char *column) {
        const int record = layout.headerLength + slot * layout.recordLength;
        return column ? record + layout.fields[layout.fieldIndex(QLatin1String(column))].offset : record;
    };
    const QString shownPath = QDir::toNativeSeparators(path(kHourlyTable));
    const struct {
        int slot;
        const char *column;  // null: the deletion flag
        QByteArray bytes;
        bool damage;
        const char *reason;
    } cases[] = {
        {7, nullptr, "A", true, "признак удаления 0x41"},  // a deleted record must not come back
        {2, nullptr, QByteArray(1, '\0'), true, "признак удаления 0x00"},
        {3, "P", "      0.1x", true, "столбец P"},
        {3, "P", "   1.2.3", true, "столбец P"},
        {3, "P", "   - ", true, "столбец P"},
        {3, "T", "       29 31", true, "столбец T"},
        {3, "DT", "20210231", true, "столбец DT"},
        {3, "DT", "2021O401", true, "столбец DT"},
        {3, "H", "  x", true, "столбец H"},
        {3, "P", "                    ", false, ""},  // blank: null, not damage
        {3, "P", QByteArray("-1.5E+02").rightJustified(20), false, ""},
        {3, "DT", "        ", false, ""},
        {3, "DT", "00000000", false, ""},
        {3, "SERIAL", "\xff\x01\x98 ", false, ""},  // a text takes any bytes
    };
    for (const auto &c : cases) {
        QByteArray bad = good;
        bad.replace(at(c.slot, c.column), c.bytes.size(), c.bytes);
        ASSERT_TRUE(torvtest::WriteAll(path(kHourlyTable), bad));
        engine.forget(dir());
        TQuery q(engine);
        q.setDatabaseName(dir());
        q.setSql(QStringLiteral("select * from T12345671h.dbf"));
        q.open();
        const int liveBefore = 7;
        const bool liveHit = c.damage && c.slot != 7;
        EXPECT_EQ(q.recordCount(), liveBefore - (liveHit ? 1 : 0)) << c.slot << " " << c.bytes.toStdString();
        if (!c.damage) {
            EXPECT_TRUE(q.damagedRecords().isEmpty()) << c.bytes.toStdString();
            EXPECT_TRUE(engine.takeDamageReports().isEmpty());
            continue;
        }
        const QString expected = QStringLiteral("Таблица %1: запись %2 повреждена (").arg(shownPath).arg(c.slot + 1);
        ASSERT_EQ(q.damagedRecords().size(), 1) << c.bytes.toStdString();
        EXPECT_TRUE(q.damagedRecords()[0].startsWith(expected)) << q.damagedRecords()[0].toStdString();
        EXPECT_TRUE(q.damagedRecords()[0].contains(QString::fromUtf8(c.reason))) << q.damagedRecords()[0].toStdString();
        // The engine tells each damaged record once, however often it is met.
        EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf where H = '0'"), {"H"}), QStringList{"0"});
        EXPECT_EQ(engine.takeDamageReports(), q.damagedRecords());
        EXPECT_TRUE(engine.takeDamageReports().isEmpty());
        // A select by the key of the damaged record finds nothing, and so does an update.
        const int hour = c.slot;
        const QString key = QStringLiteral(" WHERE DT ='01.04.2021' AND H = '%1'").arg(hour);
        if (c.slot != 7 && QByteArray(c.column ? c.column : "") != "DT" &&
            QByteArray(c.column ? c.column : "") != "H") {
            EXPECT_TRUE(rows(QStringLiteral("select * from T12345671h.dbf") + key, {"H"}).isEmpty());
            EXPECT_EQ(exec(QStringLiteral("update T12345671h.dbf SET P = '0.9'") + key), 0);
        }
        // The row of its key is written again: to a new slot, the damaged bytes stay.
        exec(QStringLiteral("delete from T12345671h.dbf") + key);
        exec(GasInsert(QStringLiteral("01.04.2021"), hour, QStringLiteral("0.5")));
        const QByteArray after = torvtest::ReadAll(path(kHourlyTable));
        EXPECT_EQ(after.mid(at(c.slot, nullptr), layout.recordLength),
                  bad.mid(at(c.slot, nullptr), layout.recordLength));
        EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf") + key, {"P"}), QStringList{"0.50000"});
        EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf"), {"H"}).size(),
                  liveBefore - (liveHit ? 1 : 0) + 1);
    }
}

// Random bytes inside the records never make rows out of damaged records: a record comes back as
// a row exactly when its flag is blank and its fields are sound, every damaged one is reported, and
// no untouched row is lost.
TEST_F(Engine, RandomBytesInRecordsAddNoRows) {
    for (int day = 1; day <= 5; ++day)
        for (int h = 0; h < 24; ++h)
            exec(GasInsert(QStringLiteral("0%1.04.2021").arg(day), h, QStringLiteral("0.1")));
    for (int h = 0; h < 24; h += 3)  // 18 deleted records among 120
        exec(QStringLiteral("delete from T12345671h.dbf WHERE DT ='0%1.04.2021' AND H = '%2'").arg(1 + h % 5).arg(h));
    exec(QStringLiteral("delete from T12345671h.dbf where H = '1' or H = '2'"));
    engine.flush();
    const QueryResult pristine = engine.execute(dir(), QStringLiteral("select * from T12345671h.dbf"));
    std::map<int, QByteArray> live;
    for (const ResultRow &r : pristine.rows)
        live[r.slot] = r.raw;
    ASSERT_EQ(live.size(), 120u - 8 - 10);
    const QByteArray good = torvtest::ReadAll(path(kHourlyTable));
    const DbfLayout layout = DbfFile::Open(path(kHourlyTable), DbfFile::ReadOnly)->layout();
    const int count = int(good.size() - 1 - layout.headerLength) / layout.recordLength;
    std::mt19937 rng(962);
    for (int trial = 0; trial < 60; ++trial) {
        QByteArray bad = good;
        for (int i = 0; i < 20; ++i)
            bad[layout.headerLength + int(rng() % uint32_t(count * layout.recordLength))] = char(rng());
        ASSERT_TRUE(torvtest::WriteAll(path(kHourlyTable), bad));
        engine.forget(dir());
        const QueryResult r = engine.execute(dir(), QStringLiteral("select * from T12345671h.dbf"));
        std::set<int> returned;
        for (const ResultRow &row : r.rows)
            returned.insert(row.slot);
        int damaged = 0;
        for (int slot = 0; slot < count; ++slot) {
            const QByteArray rec = bad.mid(layout.headerLength + slot * layout.recordLength, layout.recordLength);
            const char flag = rec[0];
            const bool sound = RecordDamage(layout, rec).isEmpty();
            damaged += !sound;
            if (flag != ' ' && flag != '*') {
                EXPECT_FALSE(sound) << "trial " << trial << " record " << slot + 1;
            }
            // A row comes back when it is sound and not deleted, and only then; a row nobody
            // touched always comes back.
            EXPECT_EQ(returned.count(slot) == 1, flag == ' ' && sound) << "trial " << trial << " record " << slot + 1;
            if (live.count(slot) && live[slot] == rec) {
                EXPECT_EQ(returned.count(slot), 1u) << "trial " << trial << " record " << slot + 1;
            }
        }
        EXPECT_EQ(r.damaged.size(), damaged) << "trial " << trial;
    }
}

// A disk that takes no more bytes: the statement fails with a clear error naming the table, the
// row is not counted, nothing else is lost, and the table works again once there is room.
TEST_F(Engine, AFullDiskFailsTheWriteClearlyAndKeepsTheTable) {
    exec(GasInsert(QStringLiteral("01.04.2021"), 1, QStringLiteral("0.1")));
    const QString reportDir = dir() + QStringLiteral("report/");
    EnsureTemplates(reportDir);
    const qint64 size = fileSize(kHourlyTable);
    {
        torvtest::FileSizeLimit full(size);
        ASSERT_TRUE(full.active());
        try {
            exec(GasInsert(QStringLiteral("01.04.2021"), 2, QStringLiteral("0.2")));
            ADD_FAILURE() << "no error";
        } catch (const TableError &e) {
            EXPECT_TRUE(e.text().startsWith(QStringLiteral("Ошибка записи в таблицу ") +
                                            QDir::toNativeSeparators(path(kHourlyTable))))
                << e.text().toStdString();
        }
        // A row rewritten in place needs no room.
        EXPECT_EQ(exec(QStringLiteral("UPDATE T12345671h.dbf SET P = '0.3' Where DT = '01.04.2021' AND H = '1'")), 1);
    }
    {
        torvtest::FileSizeLimit full(100);
        ASSERT_TRUE(full.active());
        const struct {
            const char *what;
            std::function<void()> create;
            QString file;
        } creations[] = {
            {"table", [&] { DbfFile::Create(path("New.dbf"), FamilyColumns(TableFamily::GVRas)); }, path("New.dbf")},
            {"template copy",
             [&] { CreateTableFromTemplate(TemplateDirectory(reportDir) + "GVRas.DBF", path("T12345672h.dbf")); },
             path("T12345672h.dbf")},
        };
        for (const auto &c : creations) {
            try {
                c.create();
                ADD_FAILURE() << c.what;
            } catch (const TableError &e) {
                EXPECT_TRUE(e.text().startsWith(QStringLiteral("Не удалось создать таблицу ") +
                                                QDir::toNativeSeparators(c.file)))
                    << e.text().toStdString();
                EXPECT_TRUE(e.text().contains(QStringLiteral(": "))) << c.what << " tells no reason";
            }
        }
    }
    EXPECT_EQ(QDir(dir()).entryList(QDir::Files | QDir::Hidden, QDir::Name), (QStringList{kParamsTable, kHourlyTable}));
    EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf"), {"H", "P"}), QStringList{"1|0.30000"});
    EXPECT_EQ(TableEngine().execute(dir(), QStringLiteral("select * from T12345671h.dbf")).rows.size(), 1u);
    exec(GasInsert(QStringLiteral("01.04.2021"), 2, QStringLiteral("0.2")));
    EXPECT_EQ(rows(QStringLiteral("select * from T12345671h.dbf"), {"H"}), (QStringList{"1", "2"}));
}

// Tables, templates and the registry copied from another system may carry their names in other
// letter cases: they are found, and no second file is made beside them.
TEST_F(Engine, OwnFilesAreFoundInAnyLetterCase) {
    const QString reportDir = dir() + QStringLiteral("report/");
    ASSERT_TRUE(QDir().mkpath(reportDir + QStringLiteral("SOURSE")));
    DbfFile::Create(reportDir + QStringLiteral("SOURSE/gvras.dbf"), ParamArchiveColumns());  // marked by its columns
    EXPECT_EQ(TemplateDirectory(reportDir), reportDir + QStringLiteral("SOURSE/"));
    EnsureTemplates(reportDir);
    EXPECT_EQ(QDir(reportDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"SOURSE"});
    EXPECT_EQ(QDir(reportDir + "SOURSE").entryList(QDir::Files, QDir::Name),
              (QStringList{"ArhParam.DBF", "Fluid.DBF", "GVSU.DBF", "Heat.DBF", "Par.DBF", "gvras.dbf"}));

    CreateTableFromTemplate(TemplateDirectory(reportDir) + QStringLiteral("GVRas.DBF"), path("T5551h.dbf"));
    EXPECT_EQ(torvtest::ReadAll(path("T5551h.dbf")), torvtest::ReadAll(reportDir + QStringLiteral("SOURSE/gvras.dbf")));
    ASSERT_TRUE(QFile::rename(path("T5551h.dbf"), path("t5551H.DBF")));
    CreateTableFromTemplate(TemplateDirectory(reportDir) + QStringLiteral("GVRas.DBF"), path("T5551h.dbf"));
    EXPECT_FALSE(QFileInfo::exists(path("T5551h.dbf")));
    exec(QStringLiteral("INSERT Into T5551h.dbf (F_1BAIT) Values ('P')"));
    EXPECT_EQ(rows(QStringLiteral("select * from t5551H.DBF"), {"F_1BAIT"}), QStringList{"P"});

    makeTable(QStringLiteral("TORV2DEV.DBF"), RegistryColumns());
    exec(QStringLiteral("INSERT Into Torv2dev (ID, SERIAL) Values ('1', '555')"));
    EnsureRegistryTable(dir());
    EXPECT_FALSE(QFileInfo::exists(path("Torv2dev.dbf")));
    EXPECT_EQ(rows(QStringLiteral("select * from Torv2dev.dbf"), {"SERIAL"}), QStringList{"555"});
}
