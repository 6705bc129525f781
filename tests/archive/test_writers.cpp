// The archive table writers: statements, compare-then-replace with error 18, plain replacement,
// and the errors each family reports.
#include "TableFixture.h"
#include "TestUtil.h"

#include "app/App.h"
#include "archive/ArchiveTables.h"
#include "archive/TableSchema.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace torv;

namespace {

const QString kDevice = QStringLiteral("1234567");
const QDate kDate(2024, 3, 1);

ArchiveValues GasValues(double p, int t, double vp, double vc, int npit = 0, int ndat = 0, int vizd = 0) {
    ArchiveValues v;
    v.P = p;
    v.T = t;
    v.VP = vp;
    v.VC = vc;
    v.NPIT = npit;
    v.NDAT = ndat;
    v.VIZD = vizd;
    return v;
}

}  // namespace

class Writers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        app.settings.setValueDefaults();
        app.settings.setDataDir(dir.path() + QStringLiteral("/Data/"));
        app.settings.setSettingsReportDir(dir.path() + QLatin1Char('/'));
        EnsureTemplates(app.settings.settingsReportDir());
        ASSERT_TRUE(QDir().mkpath(deviceDir()));
    }

    QString deviceDir() const { return DeviceDirectory(app.settings.dataDir(), kDevice); }

    void makeTables(TableFamily family, int channel = 1) {
        for (char kind : {kHourly, kDaily, kMonthly})
            CreateTableFromTemplate(TemplateDirectory(app.settings.settingsReportDir()) + TemplateFileName(family),
                                    deviceDir() + ArchiveTableName(kDevice, channel, kind));
    }

    ArchivePass pass(char kind = kHourly, int hour = 5, const QDate &date = kDate) {
        ArchivePass p;
        p.deviceNumber = kDevice;
        p.channel = 1;
        p.kind = kind;
        p.recordDate = date;
        p.hour = kind == kHourly ? hour : 0;
        return p;
    }

    QStringList rows(char kind, const QStringList &columns) {
        return torvtest::SelectRows(app.tables, deviceDir(),
                                    QStringLiteral("select * from ") + ArchiveTableName(kDevice, 1, kind), columns);
    }

    bool shown(const QString &start) const {
        for (const QString &t : prompts.texts())
            if (t.contains(start))
                return true;
        return false;
    }

    QTemporaryDir dir;
    VirtualClock clock;
    ScriptedPrompts prompts;
    LinkStatus status;
    RecordingProcessControl processes;
    App app{dir.path(), Seams{&clock, &prompts, &status, &processes}};
    ArchiveQueries queries{app.tables};
    ArchiveTableWriter writer{app, queries};
};

TEST_F(Writers, StatementTexts) {
    ArchivePass p = pass(kHourly, 5);
    const ArchiveValues gas = GasValues(0.196133, 2931, 0.15, 0.0125, 10);
    EXPECT_EQ(KeyWhere(p), QStringLiteral(" WHERE DT ='01.03.2024' AND H = '5'"));
    EXPECT_EQ(
        InsertStatement(TableFamily::GVRas, QStringLiteral("T12345671h.dbf"), gas, p),
        QStringLiteral("INSERT Into T12345671h.dbf (SERIAL, DT, H, P, T, VP, VC, NPIT, NDAT, VIZD) Values "
                       "('1234567', '01.03.2024', '5', '0.19613', '2931', '0.150000', '0.012500', '10', '0', '0')"));
    EXPECT_EQ(UpdateStatement(TableFamily::GVRas, QStringLiteral("T12345671h.dbf"), gas, p),
              QStringLiteral("UPDATE T12345671h.dbf SET P = '0.19613', T = '2931', VP = '0.150000', VC = '0.012500', "
                             "NPIT = '10', NDAT = '0', VIZD = '0' Where DT = '01.03.2024' AND H = '5'"));
    p = pass(kDaily);
    EXPECT_EQ(KeyWhere(p), QStringLiteral(" WHERE DT ='01.03.2024'"));
    ArchiveValues heat;
    heat.P1 = 1500;
    heat.T1 = 3531;
    heat.M1 = 12.5;
    heat.Q = -1;
    heat.NPIT = 240;
    EXPECT_EQ(InsertStatement(TableFamily::Heat, QStringLiteral("T12345671d.dbf"), heat, p),
              QStringLiteral("INSERT Into T12345671d.dbf (SERIAL, DT, H, P1, T1, M1, P2, T2, M2, Q, NPIT, NDAT, VIZD) "
                             "Values ('1234567', '01.03.2024', '0', '1500.00000', '3531', '12.5000', '0.00000', '0', "
                             "'0.0000', '-1.0000', '240', '0', '0')"));
    EXPECT_EQ(ColumnList(TableFamily::Par), QStringLiteral("SERIAL, DT, H, P, T, TX, M, VK, Q, NPIT, NDAT, VIZD"));
    EXPECT_EQ(ColumnList(TableFamily::Fluid), QStringLiteral("SERIAL, DT, H, V, P, T, NPIT, NDAT, VIZD"));
    EXPECT_EQ(ColumnList(TableFamily::GVSU), QStringLiteral("SERIAL, DT, H, P, T, VC, NPIT, NDAT, VIZD"));
    EXPECT_EQ(Quote(QStringLiteral("O'Brien")), QStringLiteral("'O''Brien'"));
    EXPECT_EQ(ArchiveTableName(kDevice, 3, kMonthly), QStringLiteral("T12345673m.dbf"));
    EXPECT_EQ(ParamArchiveTableName(kDevice), QStringLiteral("T12345670A.dbf"));
    EXPECT_EQ(DeviceDirectory(QStringLiteral("/d/Data/"), kDevice), QStringLiteral("/d/Data/T2_1234567/"));
    EXPECT_EQ(DeviceDirectory(QStringLiteral("/d/Data"), kDevice), QStringLiteral("/d/Data/T2_1234567/"));
}

TEST_F(Writers, DecodedRecordsAreStoredWithTheirDecimals) {
    makeTables(TableFamily::GVRas);
    ArchiveRecordBytes raw{};
    auto f32 = [&](int at, float v) { memcpy(&raw[at], &v, 4); };
    f32(0, 2.0f);
    raw[4] = 0x73;  // T = 2931
    raw[5] = 0x0B;
    f32(6, 150.0f);
    f32(10, 12.5f);
    ArchivePass p = pass(kDaily);
    writer.WriteRecord(TableFamily::GVRas, DecodeRecord(TableFamily::GVRas, raw, kDaily, kDate, 0).values, p);
    EXPECT_EQ(rows(kDaily, {"DT", "H", "P", "T", "VP", "VC"}),
              QStringList{"01.03.2024|0|0.19613|2931|0.150000|0.012500"});
    // The same bytes on a propane channel keep the device's volumes.
    QFile::remove(deviceDir() + ArchiveTableName(kDevice, 1, kDaily));
    app.tables.forget(deviceDir());
    makeTables(TableFamily::C3H8);
    writer.WriteRecord(TableFamily::C3H8, DecodeRecord(TableFamily::C3H8, raw, kDaily, kDate, 0).values, p);
    EXPECT_EQ(rows(kDaily, {"VP", "VC"}), QStringList{"150.000000|12.500000"});
    EXPECT_TRUE(prompts.texts().isEmpty());
}

TEST_F(Writers, UnchangedRedownloadRaisesNothingAndKeepsTheFile) {
    makeTables(TableFamily::GVRas);
    const QString file = deviceDir() + ArchiveTableName(kDevice, 1, kHourly);
    for (int round = 0; round < 2; ++round) {
        for (int day = 1; day <= 2; ++day)
            for (int h = 0; h < 24; ++h) {
                ArchivePass p = pass(kHourly, h, QDate(2024, 3, day));
                writer.WriteRecord(TableFamily::GVRas, GasValues(0.2 + h * 0.01, 2900 + h, 0.1 * h, 0.05 * h, 10), p);
                EXPECT_FALSE(p.stop);
            }
    }
    EXPECT_TRUE(prompts.texts().isEmpty());
    EXPECT_EQ(app.abortState.load(), AbortRunning);
    const QStringList all = rows(kHourly, {"DT", "H"});
    ASSERT_EQ(all.size(), 48);
    EXPECT_EQ(all.filter(QStringLiteral("01.03.2024|")).size(), 24);
    EXPECT_EQ(all.first(), QStringLiteral("01.03.2024|0"));
    EXPECT_EQ(all.last(), QStringLiteral("02.03.2024|23"));
    const QByteArray bytes = torvtest::ReadAll(file);
    const int header = uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8;
    const int record = uint8_t(bytes[10]) | uint8_t(bytes[11]) << 8;
    EXPECT_EQ(bytes.size(), header + 48 * record + 1);  // header, 48 records, end mark
}

TEST_F(Writers, CompareRulesOfTheGasAndAirTables) {
    struct Case {
        const char *what;
        TableFamily family;
        ArchiveValues stored, fresh;
        bool error18;
    } cases[] = {
        {"P 0.2000 against 0.2150", TableFamily::GVRas, GasValues(0.2, 2931, 1, 1), GasValues(0.215, 2931, 1, 1),
         false},
        {"P 0.1 against 0.37", TableFamily::GVRas, GasValues(0.1, 2931, 1, 1), GasValues(0.37, 2931, 1, 1), true},
        {"VP 0.1 against 0.37", TableFamily::GVRas, GasValues(1, 2931, 0.1, 1), GasValues(1, 2931, 0.37, 1), true},
        {"stored VC larger", TableFamily::GVRas, GasValues(1, 2931, 1, 500), GasValues(1, 2931, 1, 0.5), false},
        {"T 2931 against 2932", TableFamily::GVRas, GasValues(1, 2931, 1, 1), GasValues(1, 2932, 1, 1), true},
        {"NPIT in GVRas", TableFamily::GVRas, GasValues(1, 2931, 1, 1, 0), GasValues(1, 2931, 1, 1, 10), false},
        {"NPIT in GVSU", TableFamily::GVSU, GasValues(1, 2931, 0, 1, 0), GasValues(1, 2931, 0, 1, 10), true},
        {"NDAT", TableFamily::C3H8, GasValues(1, 2931, 1, 1, 0, 0), GasValues(1, 2931, 1, 1, 0, 3), true},
        {"VIZD", TableFamily::GVSU, GasValues(1, 2931, 0, 1, 0, 0, 0), GasValues(1, 2931, 0, 1, 0, 0, 1), true},
        {"VC 0.1 against 0.37 in GVSU", TableFamily::GVSU, GasValues(1, 2931, 0, 0.1), GasValues(1, 2931, 0, 0.37),
         true},
        {"P 0.1 against 0.25: halves go to even", TableFamily::GVRas, GasValues(0.1, 2931, 1, 1),
         GasValues(0.25, 2931, 1, 1), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(deviceDir()).removeRecursively();
        QDir().mkpath(deviceDir());
        app.tables.forget(deviceDir());
        makeTables(c.family);
        prompts.clear();
        app.abortState = AbortRunning;
        ArchivePass first = pass(kDaily);
        writer.WriteRecord(c.family, c.stored, first);
        ArchivePass second = pass(kDaily);
        writer.WriteRecord(c.family, c.fresh, second);
        EXPECT_EQ(second.stop, c.error18);
        EXPECT_EQ(shown(QStringLiteral("Ошибка 18:")), c.error18);
        EXPECT_EQ(app.abortState.load(), c.error18 ? AbortModem : AbortRunning);
        const QString storedT = rows(kDaily, {"T"}).value(0);
        EXPECT_EQ(storedT, QString::number(c.error18 ? c.stored.T : c.fresh.T));
        EXPECT_EQ(rows(kDaily, {"DT"}).size(), 1);
    }
}

TEST_F(Writers, Error18ShowsTheDifferencesAndKeepsTheRow) {
    makeTables(TableFamily::GVRas);
    status.addLine(Role::RichEdit3, QStringLiteral("old"));
    ArchivePass first = pass(kHourly, 7);
    writer.WriteRecord(TableFamily::GVRas, GasValues(0.1, 2931, 1, 1.0, 0, 2, 3), first);
    ArchivePass second = pass(kHourly, 7);
    writer.WriteRecord(TableFamily::GVRas, GasValues(0.37, 2931, 1, 1.04, 10, 2, 3), second);
    EXPECT_EQ(status.lines(Role::RichEdit3),
              (QStringList{"P было1 стало 4", "Vc было10 стало 10", "NPit было0 стало 10", "NDAT было2 стало 2",
                           "VIZD было3 стало 3"}));
    ASSERT_EQ(prompts.requests().size(), 1u);
    EXPECT_EQ(prompts.requests()[0].countdown, 15);
    EXPECT_EQ(prompts.requests()[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(prompts.requests()[0].lines.value(1),
              QStringLiteral("Ошибка 18: Полученные данные из прибора не совпадают с данными программы:'01.03.2024'h. "
                             "Такая ошибка возникает при изменении даты в приборе. Если Вы уверены, что дата в приборе "
                             "правильная, то удалите архивы в программе и скачайте повторно."));
    EXPECT_TRUE(second.stop);
    EXPECT_EQ(app.abortState.load(), AbortModem);
    EXPECT_EQ(rows(kHourly, {"P", "NPIT"}), QStringList{"0.10000|0"});
}

TEST_F(Writers, SteamLiquidAndHeatRowsAreReplacedWhateverTheyHeld) {
    for (TableFamily family : {TableFamily::Par, TableFamily::Fluid, TableFamily::Heat}) {
        SCOPED_TRACE(FamilyName(family).toStdString());
        QDir(deviceDir()).removeRecursively();
        QDir().mkpath(deviceDir());
        app.tables.forget(deviceDir());
        makeTables(family);
        ArchiveValues a;
        a.P = 0.1;
        a.V = 5;
        a.Q = 1;
        a.T = a.T1 = 2931;
        ArchiveValues b = a;
        b.P = 9.5;
        b.V = 0.25;
        b.Q = 7.5;
        b.T = b.T1 = 4000;
        for (const ArchiveValues &v : {a, b, b}) {
            ArchivePass p = pass(kMonthly, 0, QDate(2024, 2, 29));
            writer.WriteRecord(family, v, p);
        }
        const QString t = family == TableFamily::Heat ? QStringLiteral("T1") : QStringLiteral("T");
        EXPECT_EQ(rows(kMonthly, {"DT"}).size(), 1);
        EXPECT_EQ(rows(kMonthly, {t}), QStringList{"4000"});
        EXPECT_TRUE(prompts.texts().isEmpty());
    }
}

TEST_F(Writers, AMissingGasTableIsErrorSeventySix) {
    ArchivePass p = pass(kHourly, 3);
    writer.WriteRecord(TableFamily::GVRas, GasValues(1, 1, 1, 1), p);
    const auto requests = prompts.requests();
    ASSERT_EQ(requests.size(), 2u);
    const QString select = QStringLiteral("select * from T12345671h.dbf WHERE DT ='01.03.2024' AND H = '3'");
    EXPECT_EQ(
        requests[0].lines.value(1),
        QStringLiteral("Ошибка базы данных. Перезагрузите программу и продолжите опрос с текущего прибора") + select);
    EXPECT_EQ(requests[0].countdown, 15);
    EXPECT_EQ(requests[1].lines.value(1), QStringLiteral("Ошибка 76. Неправильная запись в БД WriteGVRas") + select);
    EXPECT_EQ(requests[1].countdown, 5);
    EXPECT_EQ(app.abortState.load(), AbortUser);
    EXPECT_FALSE(QFile::exists(deviceDir() + ArchiveTableName(kDevice, 1, kHourly)));
}

TEST_F(Writers, OtherFamiliesLeaveTableErrorsToThePass) {
    for (TableFamily family : {TableFamily::GVSU, TableFamily::Par, TableFamily::Fluid, TableFamily::Heat}) {
        ArchivePass p = pass(kDaily);
        EXPECT_THROW(writer.WriteRecord(family, ArchiveValues(), p), TableError) << FamilyName(family).toStdString();
    }
    EXPECT_TRUE(prompts.texts().isEmpty());
    EXPECT_EQ(app.abortState.load(), AbortRunning);
    // A value the steam table cannot hold fails the statement without a half-written row.
    makeTables(TableFamily::Par);
    ArchiveValues huge;
    huge.M = 1e300;
    ArchivePass p = pass(kDaily);
    EXPECT_THROW(writer.WriteRecord(TableFamily::Par, huge, p), TableError);
    EXPECT_TRUE(rows(kDaily, {"DT"}).isEmpty());
}

TEST_F(Writers, AFailedGasInsertIsErrorTwentyOne) {
    makeTables(TableFamily::GVRas);
    ArchivePass p = pass(kDaily);
    writer.WriteRecord(TableFamily::GVRas, GasValues(1e16, 2931, 1, 1), p);
    ASSERT_EQ(prompts.requests().size(), 1u);
    EXPECT_TRUE(prompts.requests()[0].lines.value(1).startsWith(
        QStringLiteral("Ошибка 21: Записи в таблицу данных S=INSERT Into T12345671d.dbf (SERIAL, DT, H, P,")));
    EXPECT_EQ(prompts.requests()[0].countdown, 5);
    EXPECT_EQ(app.abortState.load(), AbortModem);
    EXPECT_TRUE(rows(kDaily, {"DT"}).isEmpty());
}

TEST_F(Writers, TheLargestDecodedValuesFitTheirColumns) {
    // The decoding bounds every value to ±10¹³ at most; each family's table must hold the extremes.
    ArchiveValues big;
    big.P = 1e12;
    big.VP = big.VC = 1e12;
    big.M = big.M1 = big.M2 = 1e13;
    big.VK = big.Q = big.V = 1e12;
    big.P1 = big.P2 = 65535;
    big.T = big.TX = big.T1 = big.T2 = big.NPIT = big.NDAT = big.VIZD = 65535;
    ArchiveValues low = big;
    low.P = low.VP = low.VC = low.VK = low.Q = low.V = -1;
    low.M1 = low.M2 = -1e13;
    for (TableFamily family :
         {TableFamily::C3H8, TableFamily::GVSU, TableFamily::Par, TableFamily::Fluid, TableFamily::Heat}) {
        SCOPED_TRACE(FamilyName(family).toStdString());
        QDir(deviceDir()).removeRecursively();
        QDir().mkpath(deviceDir());
        app.tables.forget(deviceDir());
        makeTables(family);
        for (const ArchiveValues &v : {big, low}) {
            ArchivePass p = pass(kDaily, 0, v.P > 0 ? kDate : kDate.addDays(1));
            EXPECT_NO_THROW(writer.WriteRecord(family, v, p));
        }
        EXPECT_EQ(rows(kDaily, {"DT"}).size(), 2);
        EXPECT_TRUE(prompts.texts().isEmpty());
    }
}
