// The parameter archive: decoding every record type into its ArhParam row, and the whole read of
// the log from flash sector 5 of the in-process simulator into the table.
#include "ParamLogFixture.h"
#include "archive/ArchiveTables.h"
#include "archive/ParamArchive.h"
#include "archive/TQuery.h"
#include "archive/TableSchema.h"
#include "app/DeviceSettings.h"
#include "sim/SimFixture.h"

#include <QSet>
#include <gtest/gtest.h>
#include <cmath>
#include <limits>
#include <optional>

using namespace torv;
using namespace torvtest;

namespace torv {
// Rows in failure messages.
void PrintTo(const ParamRow &r, std::ostream *os) {
    *os << '[' << r.F_1BAIT.toStdString() << '|' << r.F_2BAIT.toStdString() << '|' << r.F_3.toStdString() << '|'
        << r.F_4.toStdString() << '|' << r.F_5.toStdString() << '|' << r.F_6.toStdString() << '|' << r.F_7.toStdString()
        << ']';
}
}  // namespace torv

namespace {

const Stamp k1405{5, 14, 3, 3, 6};  // 14:05 03.03.2006
const QString kTime1405 = QStringLiteral("03.03.2006 14:5");
const QString kYa = QStringLiteral("я");  // byte 0xFF as the program shows it

ParamRow Row(const char *f1, const QString &f2, const QString &f3, const QString &f4, const QString &f5,
             const QString &f6, const QString &f7) {
    return ParamRow{QString::fromUtf8(f1), f2, f3, f4, f5, f6, f7};
}

struct RowCase {
    const char *what;
    QByteArray image;
    QByteArray record;
    std::optional<ParamRow> row;
    QStringList notices;
};

QByteArray Constant(char letter, float newValue, float oldValue, Stamp s = k1405) {
    return WithFloat(WithFloat(LogRecord('P', 0xFF, uint8_t(letter), s), 8, newValue), 12, oldValue);
}

QByteArray ContractChange(uint16_t word, float value) {
    return WithFloat(WithWord(LogRecord('S', 0, 0, k1405), word), 8, value);
}

QByteArray ContractSwitch(uint16_t word, uint8_t sw, uint8_t channelByte) {
    return WithByte(WithByte(WithWord(LogRecord('C', 0, 0, k1405), word), 12, sw), 15, channelByte);
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

std::vector<RowCase> RowCases() {
    const QByteArray gas = GasImage(), heat = HeatImage();
    QByteArray gasTwice = gas;  // channel 2's word 0 equals channel 1's
    PutChannel(gasTwice, 2, 'V', {Word('I', 1)});
    const QString n16 = QStringLiteral("Ошибка16: Ошибка в параметрах прибора");
    return {
        // 1: constants, clamped, five decimals in general form.
        {"constant R at 14:05",
         gas,
         Constant('R', 0.68f, 0.675f),
         Row("P", kYa, "R", kTime1405, "0.68", "0.675", " "),
         {}},
        {"constant at 09:05",
         gas,
         Constant('P', 745.5f, 740.f, {5, 9, 3, 3, 6}),
         Row("P", kYa, "P", "03.03.2006 09:5", "745.5", "740", " "),
         {}},
        {"constant clamped",
         gas,
         Constant('T', kNaN, 5.0e6f),
         Row("P", kYa, "T", kTime1405, "-1000", "1000000", " "),
         {}},
        {"constant below -1000, infinite",
         gas,
         Constant('N', -5000.f, -kInf),
         Row("P", kYa, "N", kTime1405, "-1000", "-1000", " "),
         {}},
        // 2: zero correction: channel from the channel byte, exactly five decimals.
        {"zero correction channel byte 0x20",
         gas,
         WithFloat(WithFloat(LogRecord('P', 0x20, 2, k1405), 8, 0.01234f), 12, -0.5f),
         Row("P", "3", "2", kTime1405, "0.01234", "-0.50000", " "),
         {}},
        {"zero correction value undefined",
         gas,
         WithFloat(WithFloat(LogRecord('P', 0x00, 0, k1405), 8, kNaN), 12, 1.25f),
         Row("P", "1", "0", kTime1405, " ", "1.25000", " "),
         {}},
        // 3 and 4.
        {"summer", gas, LogRecord('P', 0xFF, 'E', k1405), Row("P", kYa, "E", kTime1405, " ", " ", " "), {}},
        {"winter", gas, LogRecord('P', 0xFF, 'D', k1405), Row("P", kYa, "D", kTime1405, " ", " ", " "), {}},
        {"parameter flag with an unknown letter", gas, LogRecord('P', 0xFF, 'Z', k1405), std::nullopt, {}},
        {"totals reset", gas, LogRecord('D', 'T', 0, k1405), Row("D", "T", " ", kTime1405, " ", " ", " "), {}},
        // 5: the new clock keeps its own date.
        {"clock change",
         gas,
         WithByte(WithByte(WithByte(WithByte(WithByte(LogRecord('D', 'C', 0, k1405), 8, 0x30), 9, 0x08), 10, 0x02), 11,
                           0x03),
                  12, 0x06),
         Row("D", "C", " ", kTime1405, "02.03.2006 08:30", " ", " "),
         {}},
        // 6: contract value switched; the name of the matching sensor word, the record's channel byte.
        {"contract switch T",
         gas,
         ContractSwitch(Word('F', 0), 'E', 0x10),
         Row("C", " ", " ", "E", "2", kTime1405, "T"),
         {}},
        {"contract switch letter from byte 8",
         gas,
         WithByte(ContractSwitch(Word('F', 2), 0, 0x00), 8, 'D'),
         Row("C", " ", " ", "D", "1", kTime1405, "Qk"),
         {}},
        {"contract switch without a match",
         gas,
         ContractSwitch(Word('J', 9), 'E', 0x20),
         Row("C", " ", " ", "E", "3", kTime1405, " "),
         {}},
        {"contract switch heat P1",
         heat,
         ContractSwitch(Word('I', 1), 'D', 0x00),
         Row("C", " ", " ", "D", "1", kTime1405, "P1"),
         {}},
        {"contract switch heat dP1D2Dsc",
         heat,
         ContractSwitch(Word('I', 3), 'E', 0x00),
         Row("C", " ", " ", "E", "1", kTime1405, "dP1D2Dsc"),
         {}},
        // 7.
        {"hold mode off",
         gas,
         WithByte(LogRecord('H', 0, 'D', k1405), 15, 0x30),
         Row("H", " ", "D", kTime1405, "4", " ", " "),
         {}},
        // 8: contract value changed, converted to the unit of its quantity.
        {"contract P channel 2",
         gas,
         ContractChange(Word('I', 5), 20.0f),
         Row("S", " МПа", "I5", kTime1405, "1.96133", "2", "P Канал №2"),
         {}},
        {"contract T orifice",
         gas,
         ContractChange(Word('1', 0), 293.2f),
         Row("S", "гр.С", "10", kTime1405, "20", "1", "T Канал №1"),
         {}},
        {"contract T flowmeter",
         gas,
         ContractChange(Word('F', 0), 253.2f),
         Row("S", " гр.С", "F0", kTime1405, "-20", "2", "T Канал №2"),
         {}},
        {"contract smaller dp",
         gas,
         ContractChange(Word('I', 2), 0.0063f),
         Row("S", " МПа", "I2", kTime1405, "0.0063", "1", "Рдиф.(меньш.) Канал №1"),
         {}},
        {"contract larger dp",
         gas,
         ContractChange(Word('I', 3), 0.063f),
         Row("S", " МПа", "I3", kTime1405, "0.063", "1", "Рдиф.(больш.) Канал №1"),
         {}},
        {"contract single dp",
         gas,
         ContractChange(Word('I', 10), 0.025f),
         Row("S", " МПа", "I10", kTime1405, "0.025", "3", "Рдиф. Канал №3"),
         {}},
        {"contract word 3 of a single-dp channel is no quantity",
         gas,
         ContractChange(Word('D', 1), 1.f),
         Row("S", " ", "D1", kTime1405, "1", " ", "--"),
         {}},
        {"contract Qk",
         gas,
         ContractChange(Word('F', 6), 1250.123456f),
         Row("S", " м3/ч", "F6", kTime1405, "1250.1234", "3", "Qk Канал №3"),
         {}},
        {"contract Qp",
         gas,
         ContractChange(Word('F', 3), 80.5f),
         Row("S", " м3/ч", "F3", kTime1405, "80.5", "2", "Qp Канал №2"),
         {}},
        {"contract later channel wins",
         gasTwice,
         ContractChange(Word('I', 1), 5.f),
         Row("S", " МПа", "I1", kTime1405, "0.49033", "2", "P Канал №2"),
         {}},
        {"contract heat T2",
         heat,
         ContractChange(Word('1', 4), 343.2f),
         Row("S", " гр.С", "14", kTime1405, "70", "1", "T2 Канал №1"),
         {}},
        {"contract heat dP2",
         heat,
         ContractChange(Word('I', 6), 1.f),
         Row("S", " МПа", "I6", kTime1405, "0.09807", "1", "dP2 Канал №1"),
         {}},
        {"contract heat P1 is not examined",
         heat,
         ContractChange(Word('I', 1), 3.f),
         Row("S", " ", "I1", kTime1405, "3", " ", "--"),
         {}},
        {"contract value not a number",
         gas,
         ContractChange(Word('I', 5), kNaN),
         std::nullopt,
         {QStringLiteral("Ошибка16.4: Ошибка в параметрах прибора P"), n16}},
        {"contract value too large",
         gas,
         ContractChange(Word('F', 3), 1.0e20f),
         std::nullopt,
         {QStringLiteral("Ошибка16.4: Ошибка в параметрах прибора Qp"), n16}},
        {"contract channels outside a short image",
         gas.left(200),
         ContractChange(Word('I', 1), 2.f),
         Row("S", " МПа", "I1", kTime1405, "0.19613", "1", "P Канал №1"),
         {QStringLiteral("Ошибка16.2: Ошибка в параметрах прибора (V,B,Q)")}},
        // Time stamps: erased fields become 1, midnight stays.
        {"midnight",
         gas,
         LogRecord('D', 'T', 0, {0, 0, 1, 2, 19}),
         Row("D", "T", " ", "01.02.2019 00:0", " ", " ", " "),
         {}},
        {"erased day and month, hour 25, minute 61",
         gas,
         WithByte(WithByte(LogRecord('D', 'T', 0, {0, 0, 0, 0, 19}), 3, 0x61), 4, 0x25),
         Row("D", "T", " ", "01.01.2019 01:1", " ", " ", " "),
         {}},
        {"no such date", gas, LogRecord('D', 'T', 0, {10, 10, 31, 4, 19}), std::nullopt, {n16}},
        // Records that are no row.
        {"unknown class", gas, LogRecord('X', 0, 0, k1405), std::nullopt, {}},
        {"end of log", gas, LogRecord(char(0xFF), 0xFF, 0xFF, k1405), std::nullopt, {}},
    };
}

}  // namespace

TEST(ParamRecord, EveryTypeGivesItsRow) {
    for (const RowCase &c : RowCases()) {
        SCOPED_TRACE(c.what);
        QStringList notices;
        const std::optional<ParamRow> row = ParameterRowOf(c.image, c.record, &notices);
        EXPECT_EQ(row, c.row);
        EXPECT_EQ(notices, c.notices);
    }
}

TEST(ParamRecord, ClassificationFollowsTheOrderOfTheTypes) {
    struct Case {
        QByteArray rec;
        ParamRecordType type;
    };
    const Case cases[] = {
        {LogRecord('P', 0xFF, 'C', k1405), ParamRecordType::ConstantChange},
        {LogRecord('P', 0x10, 'E', k1405), ParamRecordType::ZeroCorrection},  // byte 1 decides first
        {LogRecord('P', 0xFF, 'E', k1405), ParamRecordType::SeasonSwitch},
        {LogRecord('D', 'T', 0, k1405), ParamRecordType::TotalsReset},
        {LogRecord('D', 'C', 0, k1405), ParamRecordType::ClockChange},
        {LogRecord('D', 'X', 0, k1405), ParamRecordType::None},
        {LogRecord('C', 'T', 0, k1405), ParamRecordType::ContractSwitch},
        {LogRecord('H', 0, 'E', k1405), ParamRecordType::HoldMode},
        {LogRecord('S', 0, 0, k1405), ParamRecordType::ContractChange},
        {QByteArray(8, 'P'), ParamRecordType::None},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ClassifyParameterRecord(c.rec), c.type) << c.rec.toHex(' ').constData();
}

TEST(ParamRecord, ChannelByteRoundsHalvesToEven) {
    const std::pair<uint8_t, int> cases[] = {{0x00, 1}, {0x10, 2}, {0x20, 3}, {0x30, 4}, {0x07, 1},
                                             {0x08, 2}, {0x18, 2}, {0x28, 4}, {0x09, 2}, {0x3F, 5}};
    for (auto [byte, channel] : cases)
        EXPECT_EQ(ChannelOfByte(byte), channel) << int(byte);
}

TEST(ParamRecord, TimeTextAndFiveDecimals) {
    EXPECT_EQ(RecordTimeText(QDate(2006, 3, 3), 9, 5), QStringLiteral("03.03.2006 09:5"));
    EXPECT_EQ(RecordTimeText(QDate(2006, 3, 3), 10, 59), QStringLiteral("03.03.2006 10:59"));
    EXPECT_EQ(RecordTimeText(QDate(2019, 12, 31), 23, 0), QStringLiteral("31.12.2019 23:0"));
    EXPECT_EQ(*FiveDecimals(1.961329999), QStringLiteral("1.96133"));
    EXPECT_EQ(*FiveDecimals(-0.000004), QStringLiteral("0"));
    EXPECT_EQ(*FiveDecimals(1000000), QStringLiteral("1000000"));
    EXPECT_EQ(*FiveDecimals(0.00001), QStringLiteral("0.00001"));
    EXPECT_FALSE(FiveDecimals(std::nan("")));
    EXPECT_FALSE(FiveDecimals(1e14));
}

TEST(ParamRecord, InsertStatementKeepsApostrophes) {
    const ParamRow row = Row("S", " МПа", "'5", kTime1405, "1", "2", "it's \"P\"");
    EXPECT_EQ(ParameterInsertStatement(QStringLiteral("T1230A.dbf"), row),
              QStringLiteral("INSERT Into T1230A.dbf (F_1BAIT, F_2BAIT, F_3, F_4, F_5, F_6, F_7) Values ('S', ' МПа', "
                             "'''5', '03.03.2006 14:5', '1', '2', 'it''s \"P\"')"));
    EXPECT_TRUE(ParameterInsertStatement(QStringLiteral("t"), Row("D", "T", " ", kTime1405, " ", " ", ""))
                    .endsWith(QStringLiteral("' ', ' ')")));
}

// --- the read over the wire -----------------------------------------------------------------------

namespace {

// A device whose flash sector 5 holds the test's log.
class LogDevice : public SimDeviceModel {
public:
    LogDevice(QByteArray log, QByteArray image) : SimDeviceModel(1), log_(std::move(log)), image_(std::move(image)) {}
    QString name() const override { return QStringLiteral("param-log"); }
    QByteArray configurationImage() const override { return image_; }
    QByteArray serialText() const override { return QByteArray("0001234"); }
    void fillFlashSector(int sector, QByteArray &bytes, const QDateTime &t) const override {
        SimDeviceModel::fillFlashSector(sector, bytes, t);
        if (sector == parlog::kSector) {
            bytes.fill(char(0xFF), kFlashSectorSize);
            bytes.replace(0, log_.size(), log_);
        }
    }

private:
    QByteArray log_, image_;
};

class ParamRead : public ::testing::Test {
protected:
    void SetUp() override { bench.app.settings.setDirectoryDefaults(bench.dir.path()); }

    void useLog(const QByteArray &log, const QByteArray &image = GasImage()) {
        bench.sim = std::make_shared<Torv2Simulator>(SimOptions{}, std::make_unique<LogDevice>(log, image),
                                                     [this] { return bench.clock.now(); });
        QString unused;
        bench.app.device.TakeConfigurationImage(image, ConfigurationLink{}, unused);
        bench.app.deviceNumber = QStringLiteral("1234");
        OpenLink(bench.app);  // the configuration read has the link open
    }

    QString dir() const { return DeviceDirectory(bench.app.settings.dataDir(), bench.app.deviceNumber); }
    QString table() const { return ParamArchiveTableName(bench.app.deviceNumber); }

    std::vector<ParamRow> stored() {
        TQuery q(bench.app.tables);
        q.setDatabaseName(dir());
        q.setSql(QStringLiteral("select * from ") + table());
        q.open();
        std::vector<ParamRow> rows;
        for (q.first(); !q.eof(); q.next()) {
            auto f = [&q](const char *c) { return q.fieldByName(QLatin1String(c)).asString(); };
            rows.push_back({f("F_1BAIT"), f("F_2BAIT"), f("F_3"), f("F_4"), f("F_5"), f("F_6"), f("F_7")});
        }
        return rows;
    }

    void storeJunkRow() {
        QDir().mkpath(dir());
        CreateTableFromTemplate(TemplateDirectory(bench.app.settings.settingsReportDir()) + kParamTemplateName,
                                dir() + table());
        TQuery q(bench.app.tables);
        q.setDatabaseName(dir());
        q.setSql(ParameterInsertStatement(table(), Row("X", "X", "X", "X", "X", "X", "X")));
        q.execSql();
    }

    SimBench bench;
};

// The stored form of a row: texts without trailing blanks, cut to their columns.
ParamRow StoredForm(ParamRow r) {
    auto cut = [](QString &s, int width) {
        s = s.left(width);
        while (s.endsWith(QLatin1Char(' ')))
            s.chop(1);
    };
    cut(r.F_1BAIT, 2);
    cut(r.F_2BAIT, 6);
    cut(r.F_3, 2);
    cut(r.F_4, 20);
    cut(r.F_5, 20);
    cut(r.F_6, 20);
    cut(r.F_7, 120);
    return r;
}

}  // namespace

TEST_F(ParamRead, WholeLogIsStoredInLogOrderAndReplacesTheLastRead) {
    QByteArray log;
    std::vector<ParamRow> expected;
    QStringList notices;
    const QByteArray image = GasImage();
    for (const RowCase &c : RowCases()) {
        if (c.image != image || uint8_t(c.record[0]) == 0xFF)
            continue;
        log += c.record;
        if (c.row)
            expected.push_back(StoredForm(*c.row));
        notices += c.notices;
    }
    // An apostrophe as the sensor class letter of a contract change.
    log += ContractChange(Word('\'', 7), 5.f);
    expected.push_back(StoredForm(Row("S", "", "'7", kTime1405, "5", "", "--")));
    log += LogRecord(char(0xFF), 0xFF, 0xFF, k1405);
    log += LogRecord('D', 'T', 0, k1405);  // after the end: never read as a row
    useLog(log);
    storeJunkRow();

    ReadParameterArchive(bench.app);

    EXPECT_EQ(bench.app.abortState.load(), AbortRunning);
    EXPECT_EQ(stored(), expected);
    // Three blocks of 14 records hold the log and its end.
    EXPECT_GT(log.size(), 2 * parlog::kBlockSize);
    EXPECT_EQ(bench.sim->counters().readRequests, 3);
    // The notices of the records that gave none, in log order.
    EXPECT_EQ(bench.prompts.texts(), notices);
    EXPECT_EQ(notices.size(), 5);
}

TEST_F(ParamRead, TableEmptiedIsTheTableFilledWhenTheHandshakeRenamesTheDevice) {
    useLog(LogRecord('D', 'T', 0, k1405) + LogRecord(char(0xFF), 0, 0, k1405));
    bench.app.deviceNumber = QStringLiteral("999");  // stale; the first block read's handshake says 1234
    ReadParameterArchive(bench.app);
    EXPECT_EQ(bench.app.deviceNumber, QStringLiteral("1234"));
    bench.app.deviceNumber = QStringLiteral("999");
    EXPECT_EQ(stored().size(), 1u);
    EXPECT_TRUE(bench.prompts.texts().isEmpty());
}

TEST_F(ParamRead, EmptyLogLeavesTheTableEmpty) {
    useLog(LogRecord(char(0xFF), 0, 0, k1405));
    storeJunkRow();
    ReadParameterArchive(bench.app);
    EXPECT_TRUE(stored().empty());
    EXPECT_EQ(bench.sim->counters().readRequests, 1);
    EXPECT_TRUE(bench.prompts.texts().isEmpty()) << bench.prompts.texts().join(QLatin1Char('/')).toStdString();
}

TEST_F(ParamRead, TableIsMadeFromItsTemplateWhenMissing) {
    useLog(LogRecord('D', 'T', 0, k1405) + LogRecord(char(0xFF), 0, 0, k1405));
    ASSERT_FALSE(QFile::exists(dir() + table()));
    ReadParameterArchive(bench.app);
    EXPECT_EQ(stored(), (std::vector<ParamRow>{Row("D", "T", "", kTime1405, "", "", "")}));
}

TEST_F(ParamRead, LogFillingTheWholeSectorEndsAtTheSectorEnd) {
    QByteArray log;
    for (int i = 0; i < parlog::kSectorSize / parlog::kRecordSize; ++i)
        log += LogRecord('D', 'T', 0, {i % 60, (i / 60) % 24, 1 + i / 1440, 5, 19});
    ASSERT_EQ(log.size(), kFlashSectorSize);
    useLog(log);
    ReadParameterArchive(bench.app);
    const std::vector<ParamRow> rows = stored();
    ASSERT_EQ(rows.size(), 4096u);
    EXPECT_EQ(rows.front().F_4, QStringLiteral("01.05.2019 00:0"));
    EXPECT_EQ(rows.back().F_4, QStringLiteral("03.05.2019 20:15"));
    // 292 blocks of 224 bytes and the last 128 bytes of the sector; nothing past it.
    EXPECT_EQ(bench.sim->counters().readRequests, 293);
    EXPECT_EQ(bench.sim->counters().lastCountByte, 128);
}

TEST_F(ParamRead, FailingInsertStopsTheReadAndShowsTheErrorLine) {
    useLog(LogRecord('D', 'T', 0, k1405) + LogRecord('D', 'T', 0, k1405) + LogRecord(char(0xFF), 0, 0, k1405));
    // A table without the F_7 column: emptying it works, every insert fails.
    QDir().mkpath(dir());
    QVector<DbfColumn> columns = ParamArchiveColumns();
    columns.removeLast();
    DbfFile::Create(dir() + table(), columns);

    ReadParameterArchive(bench.app);

    EXPECT_EQ(bench.app.abortState.load(), AbortDeclined);
    const std::vector<PromptRequest> shown = bench.prompts.requests();
    ASSERT_EQ(shown.size(), 1u);  // the read stops at the next record
    EXPECT_EQ(shown[0].countdown, 15);
    EXPECT_EQ(shown[0].text().trimmed(),
              QStringLiteral("Ошибка17: Ошибка записи в таблицу арвхива параметров ") +
                  ParameterInsertStatement(table(), Row("D", "T", " ", kTime1405, " ", " ", " ")));
    EXPECT_EQ(bench.status.text(Role::Label4), QStringLiteral("Ошибка17:Ошибка записи в таблицу арвхива параметров"));
    EXPECT_TRUE(bench.status.roleVisible(Role::Label4));
}

TEST_F(ParamRead, TableThatCannotBeEmptiedStopsBeforeReading) {
    useLog(LogRecord('D', 'T', 0, k1405));
    // A damaged table file.
    QDir().mkpath(dir());
    QFile f(dir() + table());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a table");
    f.close();

    ReadParameterArchive(bench.app);

    EXPECT_EQ(bench.app.abortState.load(), AbortDeclined);
    ASSERT_EQ(bench.prompts.requests().size(), 1u);
    EXPECT_EQ(bench.prompts.requests()[0].countdown, 10);
    EXPECT_EQ(bench.prompts.texts().first(),
              QStringLiteral("Ошибка16: Ошибка удаления записи параметра прибора delete from ") + table());
    EXPECT_EQ(bench.sim->counters().readRequests, 0);
}

TEST_F(ParamRead, AbortStopsAtTheNextBlock) {
    QByteArray log;
    for (int i = 0; i < 40; ++i)
        log += LogRecord('D', 'T', 0, k1405);
    useLog(log);
    int blocks = 0;
    bench.app.setPumpHook([&] {
        // The user cancels during the first block read.
        if (bench.sim->counters().readRequests == 1 && blocks++ == 0)
            bench.app.abortState = AbortUser;
    });
    ReadParameterArchive(bench.app);
    EXPECT_EQ(bench.app.abortState.load(), AbortUser);
    EXPECT_LE(bench.sim->counters().readRequests, 1);
    EXPECT_LE(stored().size(), 14u);
}

TEST(ParamDecode, EndOfLogIsReportedAndStoresNothing) {
    SimBench bench;
    bench.app.settings.setDirectoryDefaults(bench.dir.path());
    bench.app.deviceNumber = QStringLiteral("77");
    EXPECT_TRUE(DecodeParameterRecord(bench.app, LogRecord(char(0xFF), 'D', 'T', k1405)));
    EXPECT_FALSE(DecodeParameterRecord(bench.app, LogRecord('X', 0, 0, k1405)));
    EXPECT_TRUE(bench.prompts.texts().isEmpty());
}

// --- the simulator's own log ------------------------------------------------------------------------

class ScenarioLog : public ::testing::TestWithParam<QString> {};

TEST_P(ScenarioLog, EveryRecordOfTheDeviceLogIsStored) {
    SimOptions o;
    o.scenario = GetParam();
    SimBench bench(o);
    bench.app.settings.setDirectoryDefaults(bench.dir.path());
    bench.app.deviceNumber = QStringLiteral("4242");
    QString unused;
    bench.app.device.TakeConfigurationImage(bench.sim->deviceImage(), ConfigurationLink{}, unused);
    // As the configuration read does: the clock read's handshake names the device first.
    ASSERT_TRUE(ReadDeviceClock(bench.app));
    ASSERT_NE(bench.app.deviceNumber, QStringLiteral("4242"));

    ReadParameterArchive(bench.app);

    // What the device holds, decoded record by record.
    std::vector<ParamRow> expected;
    QSet<int> types;
    const QByteArray sector = bench.sim->flash(parlog::kSector, 0, parlog::kSectorSize);
    for (int at = 0; at < sector.size() && uint8_t(sector[at]) != parlog::kEndOfLog; at += parlog::kRecordSize) {
        const QByteArray rec = sector.mid(at, parlog::kRecordSize);
        types.insert(int(ClassifyParameterRecord(rec)));
        if (const auto row = ParameterRowOf(bench.app.device.KindImage(), rec, nullptr))
            expected.push_back(StoredForm(*row));
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_FALSE(types.contains(int(ParamRecordType::None)));
    EXPECT_EQ(bench.app.abortState.load(), AbortRunning);
    EXPECT_TRUE(bench.prompts.texts().isEmpty()) << bench.prompts.texts().join(QLatin1Char('/')).toStdString();
    TQuery q(bench.app.tables);
    q.setDatabaseName(DeviceDirectory(bench.app.settings.dataDir(), bench.app.deviceNumber));
    q.setSql(QStringLiteral("select * from ") + ParamArchiveTableName(bench.app.deviceNumber));
    q.open();
    std::vector<ParamRow> rows;
    for (q.first(); !q.eof(); q.next()) {
        auto f = [&q](const char *c) { return q.fieldByName(QLatin1String(c)).asString(); };
        rows.push_back({f("F_1BAIT"), f("F_2BAIT"), f("F_3"), f("F_4"), f("F_5"), f("F_6"), f("F_7")});
    }
    EXPECT_EQ(rows, expected);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioLog, ::testing::ValuesIn(ScenarioNames()),
                         [](const ::testing::TestParamInfo<QString> &info) {
                             return QString(info.param).replace(QLatin1Char('-'), QLatin1Char('_')).toStdString();
                         });

TEST(ScenarioLogFull, SectorWithoutEndRecordIsReadWhole) {
    SimOptions o;
    o.fullParameterLog = true;
    SimBench bench(o);
    bench.app.settings.setDirectoryDefaults(bench.dir.path());
    QString unused;
    bench.app.device.TakeConfigurationImage(bench.sim->deviceImage(), ConfigurationLink{}, unused);
    ASSERT_TRUE(ReadDeviceClock(bench.app));
    ReadParameterArchive(bench.app);
    TQuery q(bench.app.tables);
    q.setDatabaseName(DeviceDirectory(bench.app.settings.dataDir(), bench.app.deviceNumber));
    q.setSql(QStringLiteral("select * from ") + ParamArchiveTableName(bench.app.deviceNumber));
    q.open();
    EXPECT_EQ(q.recordCount(), parlog::kSectorSize / parlog::kRecordSize);
    EXPECT_EQ(bench.sim->counters().lastCountByte, 128);
}
