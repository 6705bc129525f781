// The parameter archive: the device's log of interventions (changes of constants, zero corrections,
// summer/winter switching, reset of totals, clock changes, contract values switched or changed,
// hold mode) kept in flash sector 5 as 16-byte records. The configuration read reads the whole log
// and stores every record it understands as one row of the device's table ArhParam
// ("T" + device number + "0A.dbf"); the parameter archive window and the reports read that table.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace torv {

class ArchiveContext;

// The log in the device.
namespace parlog {
constexpr int kSector = 5;
constexpr int kSectorSize = 0x10000;
constexpr int kRecordSize = 16;
constexpr int kRecordsPerBlock = 14;
constexpr int kBlockSize = kRecordSize * kRecordsPerBlock;  // 224 bytes a read
constexpr uint8_t kEndOfLog = 0xFF;                         // byte 0 of the first unused record

// Bytes of a record.
constexpr int kClass = 0;   // record class letter
constexpr int kItem1 = 1;   // parameter flag (0xFF), channel byte or sensor word low byte
constexpr int kItem2 = 2;   // parameter letter, sensor number, switch letter, word high byte
constexpr int kMinute = 3;  // time stamp, packed BCD
constexpr int kHour = 4;
constexpr int kDay = 5;
constexpr int kMonth = 6;
constexpr int kYear = 7;       // two digits, 2000 + yy
constexpr int kNewValue = 8;   // f32
constexpr int kOldValue = 12;  // f32
constexpr int kNewMinute = 8;  // clock change: the new clock, packed BCD
constexpr int kNewHour = 9;
constexpr int kNewDay = 10;
constexpr int kNewMonth = 11;
constexpr int kNewYear = 12;
constexpr int kContractSwitch = 12;  // 'E' on / 'D' off
constexpr int kChannelByte = 15;

constexpr uint8_t kParameterFlag = 0xFF;  // byte 1 of constant changes and summer/winter records
constexpr uint8_t kOn = 'E';
constexpr uint8_t kOff = 'D';
}  // namespace parlog

// Record types, tested in this order.
enum class ParamRecordType {
    None = 0,
    ConstantChange = 1,  // 'P', 0xFF, one of P R C N T
    ZeroCorrection = 2,  // 'P', channel byte
    SeasonSwitch = 3,    // 'P', 0xFF, 'E' summer / 'D' winter
    TotalsReset = 4,     // 'D', 'T'
    ClockChange = 5,     // 'D', 'C'
    ContractSwitch = 6,  // 'C'
    HoldMode = 7,        // 'H'
    ContractChange = 8,  // 'S'
};

// One row of ArhParam; every column is text.
struct ParamRow {
    QString F_1BAIT, F_2BAIT, F_3, F_4, F_5, F_6, F_7;
    bool operator==(const ParamRow &) const = default;
};

ParamRecordType ClassifyParameterRecord(const QByteArray &record);

// The channel of a channel byte c: c / 16 + 1 to the nearest integer, halves to even (the high
// nibble + 1 for the bytes the device writes).
int ChannelOfByte(uint8_t c);

// "DD.MM.YYYY H:M" with a "0" before an hour below 10 and no leading zero on the minute
// ("03.03.2006 09:5").
QString RecordTimeText(const QDate &date, int hour, int minute);

// The time stamp of a record (bytes 3–7). A day or month that is 0 or out of range, an hour of 24
// or more and a minute of 60 or more are taken as 1. Invalid when the result is no calendar date
// (31 April, 29 February of a common year).
struct RecordTime {
    QDate date;
    int hour = 0;
    int minute = 0;
};
RecordTime RecordTimeOf(const QByteArray &record);

// A value of a constant change or a contract change: taken to 5 decimals, trailing zeros dropped
// ("0.68", "1.96133", "1000000"); nullopt when it cannot be (not a number, or too large).
std::optional<QString> FiveDecimals(double v);

// The quantity a contract record (types 6 and 8) names by its sensor word, found among the sensor
// words of the channels' records in the configuration image. A later match overrides an earlier one.
struct QuantityMatch {
    bool matched = false;
    QString name;  // "P", "T", "Рдиф.", "Qk", "dP1", …; "--" (type 8) when nothing matched
    QString unit;  // type 8: " МПа", "гр.С", " гр.С", " м3/ч"
    int channel = 0;
    double value = 0;  // type 8: the value converted to the unit
};
QuantityMatch ContractSwitchQuantity(const QByteArray &image, uint16_t word);
// `notices` receives "Ошибка16.x" texts of channels that could not be examined.
QuantityMatch ContractChangeQuantity(const QByteArray &image, uint16_t word, float value, QStringList *notices);

// One record decoded into its row. `notices` receives the texts to show, in order; nullopt when the
// record gives no row (end of log, unknown type, or an error).
std::optional<ParamRow> ParameterRowOf(const QByteArray &image, const QByteArray &record, QStringList *notices);

// "INSERT Into <table> (F_1BAIT, …, F_7) Values ('…', …)", apostrophes in values doubled.
QString ParameterInsertStatement(const QString &table, const ParamRow &row);

// Decodes one 16-byte record of the log against the current device's configuration image and
// inserts its row. Returns true at the end of the log (byte 0 is 0xFF); nothing is inserted then.
bool DecodeParameterRecord(ArchiveContext &app, const QByteArray &record);
// Inserts one row into the device's ArhParam. A failing insert shows "Ошибка17…", sets the abort
// state to 2 and puts the error into the link status window's error line. False on failure.
bool InsertParameterRow(ArchiveContext &app, const ParamRow &row);

// The whole read: the table is emptied, then the log is read from flash sector 5 in blocks of 14
// records and decoded until its end (a record starting with 0xFF, or the end of the sector).
void ReadParameterArchive(ArchiveContext &app);

}  // namespace torv
