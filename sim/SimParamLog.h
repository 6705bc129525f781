// The parameter log of the simulated device (flash sector 5): one 16-byte record per intervention,
// in time order from the start of work, ended by an erased record. Byte 0 is the record class, bytes
// 3–7 the time stamp (packed BCD minute, hour, day, month, two-digit year); floats are IEEE,
// little-endian; a channel byte is (channel − 1) × 16.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <cstdint>
#include <vector>

namespace torv {

namespace paramlog {
constexpr int kRecordSize = 16;
constexpr int kCapacity = 0x10000 / kRecordSize;  // records in the sector
constexpr uint8_t kErased = 0xFF;                 // byte 0 of the record that ends the log
}  // namespace paramlog

// The eight record types.
QByteArray ConstantChangeRecord(const QDateTime &at, char parameter, float newValue, float oldValue);           // 1
QByteArray ZeroCorrectionRecord(const QDateTime &at, int channel, int sensor, float newValue, float previous);  // 2
QByteArray SeasonRecord(const QDateTime &at, bool summer);                                                      // 3
QByteArray TotalsResetRecord(const QDateTime &at);                                                              // 4
QByteArray ClockChangeRecord(const QDateTime &at, const QDateTime &newClock);                                   // 5
QByteArray ContractSwitchRecord(const QDateTime &at, uint16_t sensorWord, float value, bool on, int channel);   // 6
QByteArray HoldModeRecord(const QDateTime &at, bool on, int channel);                                           // 7
QByteArray ContractChangeRecord(const QDateTime &at, uint16_t sensorWord, float newValue);                      // 8

// The type (1…8) a record is read as, 0 for none; the tests of the types in their order.
int ParameterRecordType(const QByteArray &record);
// The time stamp of a record (bytes 3–7) as the device clock shows it (kept in UTC so that no
// daylight saving moves it); invalid when it is not a time.
QDateTime ParameterRecordTime(const QByteArray &record);

// The device's log at `now` for its configuration image (the sensor words named by the contract
// records are those of its channel records), seeded interventions from the start of work on.
// `full`: the log fills the whole sector and has no end record.
std::vector<QByteArray> ParameterLogRecords(const QByteArray &image, uint32_t seed, const QDateTime &start,
                                            const QDateTime &now, bool full);

}  // namespace torv
