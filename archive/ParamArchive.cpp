#include "archive/ParamArchive.h"

#include "archive/ArchiveContext.h"
#include "base/Formats.h"
#include "archive/ArchiveTables.h"
#include "archive/TQuery.h"
#include "archive/TableSchema.h"
#include "device/DevData.h"
#include "protocol/BlockRead.h"
#include "base/CodePage.h"

#include <QDir>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace torv {

namespace {

using namespace parlog;

uint8_t ByteOf(const QByteArray &r, int i) { return uint8_t(r[i]); }

// A record byte as the character the program shows for it (Windows-1251: 0xFF is "я").
QString CharOf(uint8_t b) { return FromCp1251(QByteArray(1, char(b))); }

// Empty items of a row are written as one blank.
QString OrBlank(const QString &s) { return s.isEmpty() ? QStringLiteral(" ") : s; }

// A 32-bit value of the log with the precision it has: its shortest decimal form, so that a
// stored 293.2 stays 293.2 and not 293.20001220703125 once it is converted and shown with five
// decimals.
double LogValue(float f) {
    if (!std::isfinite(f))
        return double(f);
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, f);
    double d = 0;
    std::from_chars(buf, res.ptr, d);
    return d;
}

// Constant changes: a value below −1000 (or not a number) is −1000, one above 1000000 is 1000000.
constexpr double kConstantLow = -1000.0;
constexpr double kConstantHigh = 1000000.0;
double ClampConstant(double v) {
    if (std::isnan(v) || v < kConstantLow)
        return kConstantLow;
    if (v > kConstantHigh)
        return kConstantHigh;
    return v;
}

// Zero corrections: exactly five decimals. A value the device left undefined is written as a
// blank, which the parameter archive window shows as an undefined value; a value too long for its
// column keeps its seven significant digits in the general form.
constexpr int kValueColumnWidth = 20;
QString ZeroCorrectionText(double v) {
    if (!std::isfinite(v))
        return QStringLiteral(" ");
    const QString fixed = FormatFixed(v, 5);
    return fixed.size() <= kValueColumnWidth ? fixed : GeneralNumber(v);
}

// Conversions of contract values to the units the program shows.
constexpr double kKgfToMPa = 0.0980665;  // kgf/cm² → MPa
constexpr double kKelvinOffset = 273.2;

enum class Quantity { Pressure, Temperature, DiffPressure, Flow };

struct WordName {
    int word;
    const char *name;
    Quantity quantity;
};

// The quantities a channel's sensor words stand for, by medium.
enum class MediumGroup { None, Orifice, Flowmeter, Heat };

MediumGroup GroupOf(uint8_t medium) {
    switch (medium) {
    case 'D':
    case 'A':
    case 'S': return MediumGroup::Orifice;
    case 'V':
    case 'B':
    case 'P':
    case 'Q': return MediumGroup::Flowmeter;
    case 'H': return MediumGroup::Heat;
    default: return MediumGroup::None;
    }
}

const char *GroupNotice(MediumGroup g) {
    switch (g) {
    case MediumGroup::Orifice: return "Ошибка16.3: Ошибка в параметрах прибора (D,A,S)";
    case MediumGroup::Flowmeter: return "Ошибка16.2: Ошибка в параметрах прибора (V,B,Q)";
    case MediumGroup::Heat: return "Ошибка16.1: Ошибка в параметрах прибора (H)";
    case MediumGroup::None: break;
    }
    return "Ошибка16: Ошибка в параметрах прибора";
}

// The words examined on a channel of the group. `contractChange` narrows the heat channel to
// dP1, dP2, T1 and T2 (contract changes name only those).
std::vector<WordName> WordsOf(MediumGroup g, bool twoDpSensors, bool contractChange) {
    switch (g) {
    case MediumGroup::Orifice:
        if (twoDpSensors)
            return {{0, "P", Quantity::Pressure},
                    {1, "T", Quantity::Temperature},
                    {2, "Рдиф.(меньш.)", Quantity::DiffPressure},
                    {3, "Рдиф.(больш.)", Quantity::DiffPressure},
                    {4, "Qk", Quantity::Flow}};
        return {{0, "P", Quantity::Pressure},
                {1, "T", Quantity::Temperature},
                {2, "Рдиф.", Quantity::DiffPressure},
                {4, "Qk", Quantity::Flow}};
    case MediumGroup::Flowmeter:
        return {{0, "P", Quantity::Pressure}, {1, "T", Quantity::Temperature}, {2, "Qp", Quantity::Flow}};
    case MediumGroup::Heat:
        if (contractChange)
            return {{1, "T1", Quantity::Temperature},
                    {2, "dP1", Quantity::Pressure},
                    {5, "T2", Quantity::Temperature},
                    {6, "dP2", Quantity::Pressure}};
        return {{0, "P1", Quantity::Pressure},  {1, "T1", Quantity::Temperature},
                {2, "dP1", Quantity::Pressure}, {3, "dP1D2Dsc", Quantity::Pressure},
                {4, "P2", Quantity::Pressure},  {5, "T2", Quantity::Temperature},
                {6, "dP2", Quantity::Pressure}, {7, "P2D2Dsc", Quantity::Pressure}};
    case MediumGroup::None: break;
    }
    return {};
}

// The record of channel n in the image; throws when the image does not hold it whole.
QByteArray ChannelRecordOf(const QByteArray &image, int n) {
    const int at = img::kChannelRecords + img::kChannelRecordSize * (n - 1);
    if (at + img::kChannelRecordSize > image.size())
        throw std::out_of_range("channel record outside the configuration image");
    return image.mid(at, img::kChannelRecordSize);
}

uint8_t MediumByte(const QByteArray &image, int n) {
    const int at = img::kChannelRecords + img::kChannelRecordSize * (n - 1);
    return at < image.size() ? uint8_t(image[at]) : kNoMedium;
}

// Word 3's class letter (record byte 7) names a second differential-pressure sensor unless it is
// 'D' (no sensor) or unset.
bool TwoDpSensors(const QByteArray &record) {
    const uint8_t c = uint8_t(record[7]);
    return c != 'D' && c != 0xFF;
}

struct Converted {
    double value;
    QString unit;
};

Converted Convert(Quantity q, double raw, MediumGroup g) {
    switch (q) {
    case Quantity::Pressure: return {raw * kKgfToMPa, QStringLiteral(" МПа")};
    case Quantity::Temperature:
        return {raw - kKelvinOffset, g == MediumGroup::Orifice ? QStringLiteral("гр.С") : QStringLiteral(" гр.С")};
    case Quantity::DiffPressure: return {raw, QStringLiteral(" МПа")};
    case Quantity::Flow: return {raw, QStringLiteral(" м3/ч")};
    }
    return {raw, QString()};
}

// Both contract records walk the channels the same way.
QuantityMatch MatchQuantity(const QByteArray &image, uint16_t word, bool contractChange, double raw,
                            QStringList *notices) {
    QuantityMatch m;
    for (int n = 1; n <= 4; ++n) {
        const MediumGroup g = GroupOf(MediumByte(image, n));
        if (g == MediumGroup::None)
            continue;
        if (contractChange && g == MediumGroup::Heat && n != 1)
            continue;
        try {
            const QByteArray record = ChannelRecordOf(image, n);
            for (const WordName &w : WordsOf(g, TwoDpSensors(record), contractChange)) {
                if (U16At(record, chrec::kSlotWords + 2 * w.word) != word)
                    continue;
                m.matched = true;
                m.name = QString::fromUtf8(w.name);
                m.channel = n;
                if (contractChange) {
                    const Converted c = Convert(w.quantity, raw, g);
                    m.value = c.value;
                    m.unit = c.unit;
                }
            }
        } catch (const std::exception &) {
            // The other channels are still examined.
            if (notices)
                notices->append(QString::fromUtf8(GroupNotice(g)));
        }
    }
    if (!m.matched && contractChange) {
        m.name = QStringLiteral("--");
        m.value = raw;
    }
    return m;
}

uint16_t SensorWordOf(const QByteArray &r) { return uint16_t(ByteOf(r, kItem1) | (ByteOf(r, kItem2) << 8)); }

// Thrown for a record whose fields cannot be turned into a row ("Ошибка16").
struct RecordFault : std::runtime_error {
    RecordFault() : std::runtime_error("parameter record fault") {}
};

QString TimeTextOf(const QByteArray &r) {
    const RecordTime t = RecordTimeOf(r);
    if (!t.date.isValid())
        throw RecordFault();
    return RecordTimeText(t.date, t.hour, t.minute);
}

// The new clock of a clock change: its own date (decoded from BCD only, so a damaged date shows
// as the device logged it) and time.
QString NewClockText(const QByteArray &r) {
    const int day = BcdToInt(ByteOf(r, kNewDay));
    const int month = BcdToInt(ByteOf(r, kNewMonth));
    const int year = 2000 + BcdToInt(ByteOf(r, kNewYear));
    const QString date = QStringLiteral("%1.%2.%3")
                             .arg(day, 2, 10, QLatin1Char('0'))
                             .arg(month, 2, 10, QLatin1Char('0'))
                             .arg(year, 4, 10, QLatin1Char('0'));
    const int hour = BcdToInt(ByteOf(r, kNewHour));
    const int minute = BcdToInt(ByteOf(r, kNewMinute));
    return date + QLatin1Char(' ') + (hour < 10 ? QStringLiteral("0") : QString()) + QString::number(hour) +
           QLatin1Char(':') + QString::number(minute);
}

ParamRow RowOf(const QByteArray &image, const QByteArray &r, ParamRecordType type, QStringList *notices) {
    switch (type) {
    case ParamRecordType::ConstantChange: {
        const QString newValue = *FiveDecimals(ClampConstant(LogValue(FloatAt(r, kNewValue))));
        const QString oldValue = *FiveDecimals(ClampConstant(LogValue(FloatAt(r, kOldValue))));
        return {QStringLiteral("P"),
                CharOf(ByteOf(r, kItem1)),
                CharOf(ByteOf(r, kItem2)),
                TimeTextOf(r),
                newValue,
                oldValue,
                QStringLiteral(" ")};
    }
    case ParamRecordType::ZeroCorrection:
        return {QStringLiteral("P"),
                QString::number(ChannelOfByte(ByteOf(r, kItem1))),
                QString::number(ByteOf(r, kItem2)),
                TimeTextOf(r),
                ZeroCorrectionText(LogValue(FloatAt(r, kNewValue))),
                ZeroCorrectionText(LogValue(FloatAt(r, kOldValue))),
                QStringLiteral(" ")};
    case ParamRecordType::SeasonSwitch:
        return {QStringLiteral("P"), CharOf(ByteOf(r, kItem1)), CharOf(ByteOf(r, kItem2)), TimeTextOf(r),
                QStringLiteral(" "), QStringLiteral(" "),       QStringLiteral(" ")};
    case ParamRecordType::TotalsReset:
        return {QStringLiteral("D"), QStringLiteral("T"), QStringLiteral(" "), TimeTextOf(r),
                QStringLiteral(" "), QStringLiteral(" "), QStringLiteral(" ")};
    case ParamRecordType::ClockChange:
        return {QStringLiteral("D"), QStringLiteral("C"), QStringLiteral(" "), TimeTextOf(r),
                NewClockText(r),     QStringLiteral(" "), QStringLiteral(" ")};
    case ParamRecordType::ContractSwitch: {
        uint8_t sw = ByteOf(r, kContractSwitch);
        if (sw != kOn && sw != kOff)
            sw = ByteOf(r, kNewValue);
        const QuantityMatch m = ContractSwitchQuantity(image, SensorWordOf(r));
        return {QStringLiteral("C"),
                QStringLiteral(" "),
                QStringLiteral(" "),
                CharOf(sw),
                QString::number(ChannelOfByte(ByteOf(r, kChannelByte))),
                TimeTextOf(r),
                m.matched ? m.name : QStringLiteral(" ")};
    }
    case ParamRecordType::HoldMode:
        return {QStringLiteral("H"),
                QStringLiteral(" "),
                CharOf(ByteOf(r, kItem2)),
                TimeTextOf(r),
                QString::number(ChannelOfByte(ByteOf(r, kChannelByte))),
                QStringLiteral(" "),
                QStringLiteral(" ")};
    case ParamRecordType::ContractChange: {
        const QString time = TimeTextOf(r);
        const QuantityMatch m = ContractChangeQuantity(image, SensorWordOf(r), FloatAt(r, kNewValue), notices);
        const std::optional<QString> value = FiveDecimals(m.value);
        if (!value) {
            if (notices)
                notices->append(QStringLiteral("Ошибка16.4: Ошибка в параметрах прибора ") + m.name);
            throw RecordFault();
        }
        const QString name = m.matched ? m.name + QStringLiteral(" Канал №") + QString::number(m.channel) : m.name;
        return {QStringLiteral("S"),
                OrBlank(m.unit),
                CharOf(ByteOf(r, kItem1)) + QString::number(ByteOf(r, kItem2)),
                time,
                *value,
                m.matched ? QString::number(m.channel) : QStringLiteral(" "),
                name};
    }
    case ParamRecordType::None: break;
    }
    throw RecordFault();
}

}  // namespace

ParamRecordType ClassifyParameterRecord(const QByteArray &r) {
    if (r.size() < kRecordSize)
        return ParamRecordType::None;
    const uint8_t b0 = ByteOf(r, kClass), b1 = ByteOf(r, kItem1), b2 = ByteOf(r, kItem2);
    if (b0 == 'P' && b1 == kParameterFlag && (b2 == 'P' || b2 == 'R' || b2 == 'C' || b2 == 'N' || b2 == 'T'))
        return ParamRecordType::ConstantChange;
    if (b0 == 'P' && b1 != kParameterFlag)
        return ParamRecordType::ZeroCorrection;
    if (b0 == 'P' && b1 == kParameterFlag && (b2 == kOn || b2 == kOff))
        return ParamRecordType::SeasonSwitch;
    if (b0 == 'D' && b1 == 'T')
        return ParamRecordType::TotalsReset;
    if (b0 == 'D' && b1 == 'C')
        return ParamRecordType::ClockChange;
    if (b0 == 'C')
        return ParamRecordType::ContractSwitch;
    if (b0 == 'H')
        return ParamRecordType::HoldMode;
    if (b0 == 'S')
        return ParamRecordType::ContractChange;
    return ParamRecordType::None;
}

int ChannelOfByte(uint8_t c) { return int(std::nearbyint(c / 16.0 + 1.0)); }

QString RecordTimeText(const QDate &date, int hour, int minute) {
    const QString text = FormatDate(date) + QLatin1Char(' ') + (hour < 10 ? QStringLiteral("0") : QString()) +
                         QString::number(hour) + QLatin1Char(':') + QString::number(minute);
    return text.left(20);
}

RecordTime RecordTimeOf(const QByteArray &r) {
    int day = BcdToInt(ByteOf(r, kDay));
    int month = BcdToInt(ByteOf(r, kMonth));
    const int year = 2000 + BcdToInt(ByteOf(r, kYear));
    int hour = BcdToInt(ByteOf(r, kHour));
    int minute = BcdToInt(ByteOf(r, kMinute));
    // Fields the device left erased or damaged are taken as 1; midnight and the full hour are
    // real times and stay as they are.
    if (day == 0 || day > 31)
        day = 1;
    if (month == 0 || month > 12)
        month = 1;
    if (hour >= 24)
        hour = 1;
    if (minute >= 60)
        minute = 1;
    return RecordTime{QDate(year, month, day), hour, minute};
}

std::optional<QString> FiveDecimals(double v) {
    // Beyond 2^63 hundred-thousandths the value has no five-decimal form.
    constexpr double kLimit = 9.2e13;
    if (!std::isfinite(v) || std::fabs(v) >= kLimit)
        return std::nullopt;
    double rounded = std::nearbyint(v * 1e5) / 1e5;
    if (rounded == 0)
        rounded = 0;  // no "-0"
    QString s = FormatFixed(rounded, 5);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

QuantityMatch ContractSwitchQuantity(const QByteArray &image, uint16_t word) {
    return MatchQuantity(image, word, false, 0, nullptr);
}

QuantityMatch ContractChangeQuantity(const QByteArray &image, uint16_t word, float value, QStringList *notices) {
    return MatchQuantity(image, word, true, LogValue(value), notices);
}

std::optional<ParamRow> ParameterRowOf(const QByteArray &image, const QByteArray &record, QStringList *notices) {
    if (record.isEmpty() || ByteOf(record, kClass) == kEndOfLog)
        return std::nullopt;
    const ParamRecordType type = ClassifyParameterRecord(record);
    if (type == ParamRecordType::None)
        return std::nullopt;
    try {
        return RowOf(image, record, type, notices);
    } catch (const std::exception &) {
        if (notices)
            notices->append(QStringLiteral("Ошибка16: Ошибка в параметрах прибора"));
        return std::nullopt;
    }
}

QString ParameterInsertStatement(const QString &table, const ParamRow &row) {
    const QStringList values{Quote(row.F_1BAIT), Quote(row.F_2BAIT), Quote(row.F_3),         Quote(row.F_4),
                             Quote(row.F_5),     Quote(row.F_6),     Quote(OrBlank(row.F_7))};
    return QStringLiteral("INSERT Into ") + table + QStringLiteral(" (F_1BAIT, F_2BAIT, F_3, F_4, F_5, F_6, F_7") +
           QStringLiteral(") Values (") + values.join(QStringLiteral(", ")) + QStringLiteral(")");
}

namespace {

// The table a read fills: fixed when the read starts, so the table emptied is the table filled
// even if a handshake in between renames the device.
struct ParamTable {
    QString directory;
    QString name;
};

ParamTable CurrentParamTable(const ArchiveContext &app) {
    return {DeviceDirectory(app.settings.dataDir(), app.deviceNumber), ParamArchiveTableName(app.deviceNumber)};
}

void LogTableError(ArchiveContext &app, const QString &text) { app.status().addLine(Role::RichEdit1, text); }

bool InsertInto(ArchiveContext &app, const ParamTable &table, const ParamRow &row) {
    const QString statement = ParameterInsertStatement(table.name, row);
    try {
        TQuery q(app.tables);
        q.setDatabaseName(table.directory);
        q.setSql(statement);
        q.execSql();
        return true;
    } catch (const std::exception &e) {
        LogTableError(app, QString::fromUtf8(e.what()));
        app.prompts().ShowNotice(QStringLiteral("Ошибка17: Ошибка записи в таблицу арвхива параметров ") + statement,
                                 15);
        app.abortState = AbortDeclined;
        app.status().setText(Role::Label4, QStringLiteral("Ошибка17:Ошибка записи в таблицу арвхива параметров"));
        app.status().setRoleVisible(Role::Label4, true);
        return false;
    }
}

bool DecodeInto(ArchiveContext &app, const ParamTable &table, const QByteArray &record) {
    if (record.isEmpty() || ByteOf(record, kClass) == kEndOfLog)
        return true;
    QStringList notices;
    const std::optional<ParamRow> row = ParameterRowOf(app.device.KindImage(), record, &notices);
    for (const QString &n : notices)
        app.prompts().ShowNotice(n);
    if (row)
        InsertInto(app, table, *row);
    return false;
}

}  // namespace

bool InsertParameterRow(ArchiveContext &app, const ParamRow &row) {
    return InsertInto(app, CurrentParamTable(app), row);
}

bool DecodeParameterRecord(ArchiveContext &app, const QByteArray &record) {
    return DecodeInto(app, CurrentParamTable(app), record);
}

void ReadParameterArchive(ArchiveContext &app) {
    const ParamTable target = CurrentParamTable(app);
    const QString &dir = target.directory;
    const QString &table = target.name;

    // The table, made from its template when the device has none yet.
    try {
        if (!QDir().mkpath(dir))
            throw TableError(QStringLiteral("Не удалось создать каталог ") + QDir::toNativeSeparators(dir));
        CreateTableFromTemplate(TemplateDirectory(app.settings.settingsReportDir()) + QLatin1String(kParamTemplateName),
                                JoinPath(dir, table));
    } catch (const TableError &e) {
        LogTableError(app, e.text());  // the delete below fails and says so
    }

    // 1. The table holds exactly the log read last.
    const QString deleteAll = QStringLiteral("delete from ") + table;
    try {
        TQuery q(app.tables);
        q.setDatabaseName(dir);
        q.setSql(deleteAll);
        q.execSql();
    } catch (const std::exception &e) {
        LogTableError(app, QString::fromUtf8(e.what()));
        app.prompts().ShowNotice(QStringLiteral("Ошибка16: Ошибка удаления записи параметра прибора ") + deleteAll, 10);
        app.abortState = AbortDeclined;
    }

    // 2. Blocks of 14 records until the end of the log or of the sector.
    int address = 0;
    bool end = false;
    while (!end) {
        if (app.abortState != AbortRunning)
            break;
        if (address >= kSectorSize)
            break;  // a full log has no end record: the sector ends it
        const int count = std::min(kBlockSize, kSectorSize - address);
        try {
            QByteArray block(count, '\0');
            ReadFLASH(app, block, kSector, address, count);
            address += count;
            for (int i = 0; i + kRecordSize <= count; i += kRecordSize) {
                if (app.abortState != AbortRunning || end)
                    break;
                end = DecodeInto(app, target, block.mid(i, kRecordSize));
            }
        } catch (const std::exception &) {
            // 3.
            app.prompts().ShowNotice(QStringLiteral("Ошибка15: Ошибка в параметрах прибора"));
            break;
        }
    }
    // 4. The RS232 bus bridge ends its exchange here; the block reads of this build do not go
    // through the bridge.
}

}  // namespace torv
