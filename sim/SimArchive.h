// The archive memory of the simulated device: hourly, daily and monthly records of every channel
// and the parameter log, generated deterministically from the seed for the device's clock.
//
// What the device keeps, and where:
// - Hourly and daily records of the metering month in hand and of the month before it. A month's
//   records lie in sector 1 (channels 1, 2) or 2 (channels 3, 4) when its number is even, in
//   sector 3 or 4 when it is odd; channels 1 and 3 from address 0, channels 2 and 4 from 0x8000.
//   Hourly: 24 records a metering day from the contract hour, (day − 1) × 624 + slot × 26.
//   Daily: 0x5000 + (day − 1) × 26. A metering day begins at the contract hour, so the hours after
//   midnight and before it belong to the day before. When a new metering month begins the device
//   erases the sector of that month's parity, so it never holds anything older.
// - Monthly records in sector 7: twelve month slots, one per month number, at
//   (month − 1) × 104 + (channel − 1) × 26. Each slot holds the last month with that number; the
//   slot of the current metering month holds the month being accumulated (it replaced the same
//   month of the year before when that month began).
// - The record still being filled (the current hour, the current metering day, the current
//   month) is written as far as it has been metered, in tenths of an hour.
// - Before the start of work and for hours or days the device was without power it wrote
//   nothing: such records stay erased (all 0xFF). An hour or day with part of it without power is
//   written with that part as NPIT; daily and monthly records sum the hours' durations.
// - The parameter log (sector 5): 16-byte records in time order, ended by an erased record.
//
// The memory is a function of the device clock: whatever the clock shows, the archive looks as if
// the device had run with that clock since its start of work, except for spans it re-metered
// after its clock was moved back (rewriteHours).
#pragma once

#include "device/ArchiveRecord.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

namespace torv {

namespace archmem {
constexpr int kHourlyEvenSector = 1;  // channels 1, 2; channels 3, 4 in the next sector
constexpr int kHourlyOddSector = 3;
constexpr int kUpperChannelBase = 0x8000;  // channels 2 and 4
constexpr int kHoursPerDay = 24;
constexpr int kDayBlock = kHoursPerDay * kArchiveRecordSize;  // 624
constexpr int kDailyOffset = 0x5000;
constexpr int kMonthlySector = 7;
constexpr int kMonthSlot = 4 * kArchiveRecordSize;  // 104
constexpr int kMonthSlots = 12;
constexpr int kParameterLogSector = 5;
constexpr int kTenthsPerHour = 10;
}  // namespace archmem

struct FlashPlace {
    int sector = 0;
    int address = 0;
    bool operator==(const FlashPlace &) const = default;
};

// Start of work: the first hour the device metered, as its clock showed it. The configuration
// image keeps it as a time stamp counted from the contract hour (the program shifts it on by the
// contract hour, except on a heat device), so the stamp is the start moved back by that shift.
int StartOfWorkShift(const QByteArray &image);
void PutStartOfWork(QByteArray &image, const QDateTime &start);
// The start of work as the program reads it from the image; invalid when the stamp is unset or
// not a date.
QDateTime StartOfWorkOf(const QByteArray &image);
// The beginning of the metering day `historyDays` days before the one in hand at `deviceNow`.
QDateTime DefaultStartOfWork(const QDateTime &deviceNow, int historyDays, int contractHour);

class SimArchive {
public:
    // `image` is the device's configuration image (media, contract hour, sensor words, firmware);
    // `start` the start of work (whole hour).
    SimArchive(const QByteArray &image, uint32_t seed, const QDateTime &start, bool fullParameterLog = false);

    const QByteArray &image() const { return image_; }
    uint32_t seed() const { return seed_; }
    int contractHour() const { return contractHour_; }
    QDateTime startOfWork() const { return start_; }
    bool fullParameterLog() const { return fullLog_; }
    // The family of the records a channel keeps; None for channels without archives.
    TableFamily family(int channel) const { return families_[size_t(channel - 1) & 3]; }
    bool steamV6() const { return steamV6_; }

    // Sectors whose contents this memory makes: 1–5 and 7.
    static bool HoldsArchive(int sector);
    // The 64 KiB of such a sector at device time `now`.
    QByteArray sector(int sector, const QDateTime &now) const;
    // Changes whenever the memory may have changed: every tenth of an hour and every rewrite.
    qint64 snapshotKey(const QDateTime &now) const;

    // The metering day a moment belongs to, and the slot of a clock hour.
    QDate meteringDay(const QDateTime &t) const;
    int slotOf(int clockHour) const { return (clockHour - contractHour_ + 48) % 24; }

    static FlashPlace HourPlace(int channel, const QDate &day, int slot);
    static FlashPlace DayPlace(int channel, const QDate &day);
    static FlashPlace MonthPlace(int channel, int month);

    // The quantities of a period as the device metered them, in the device's own units:
    // pressures in kgf/cm² (P1, P2 of heat in kPa), temperatures in kelvin, volumes and VK in the
    // device's volume unit, masses and heat as kept; durations in tenths of an hour.
    struct Metered {
        // Averages over the time with power.
        double P = 0, T = 0, TX = 0, P1 = 0, T1 = 0, P2 = 0, T2 = 0;
        // Totals of the period.
        double VP = 0, VC = 0, M = 0, VK = 0, Q = 0, V = 0, M1 = 0, M2 = 0;
        int NPIT = 0, NDAT = 0, VIZD = 0;  // tenths of an hour
        int on = 0;                        // tenths of an hour with power
        int covered = 0;                   // tenths of an hour metered so far
    };
    // What the device wrote into one record: nothing (erased), the metered quantities, or a record
    // damaged on purpose (see setDamagedRecordRate).
    struct Content {
        enum Kind { Erased, Written, Damaged } kind = Erased;
        Metered m;
    };
    Content hourContent(int channel, const QDate &day, int slot, const QDateTime &now) const;
    Content dayContent(int channel, const QDate &day, const QDateTime &now) const;
    Content monthContent(int channel, const QDate &month, const QDateTime &now) const;

    // Records as the device holds them at `now` (erased when the device has not written them).
    ArchiveRecordBytes hourRecord(int channel, const QDate &day, int slot, const QDateTime &now) const;
    ArchiveRecordBytes dayRecord(int channel, const QDate &day, const QDateTime &now) const;
    ArchiveRecordBytes monthRecord(int channel, const QDate &month, const QDateTime &now) const;

    // The clock was moved back and the device has since metered the `hours` hours before
    // `newNow` again: their records (and the days and months holding them) change.
    void rewriteHours(const QDateTime &newNow, int hours);
    int rewrites() const;

    // A share of the closed hourly and daily records is damaged on purpose: all zeros in the
    // examined bytes (durations left in place) or a value that is not a number. The download
    // skips such records.
    void setDamagedRecordRate(double rate) { damagedRate_ = rate; }
    double damagedRecordRate() const { return damagedRate_; }

    // The parameter log at `now`: its 16-byte records in log order (without the end record).
    std::vector<QByteArray> parameterLog(const QDateTime &now) const;

private:
    struct Span {
        qint64 from, to;  // hour indices, to exclusive
        int variant;
    };

    Metered hourSample(int channel, qint64 hour) const;
    Metered hourMeasure(int channel, qint64 hour, qint64 nowTenth) const;
    Metered dayMeasure(int channel, const QDate &day, qint64 nowTenth, bool *any) const;
    Metered monthMeasure(int channel, const QDate &month, qint64 nowTenth, bool *any) const;
    int offTenths(qint64 fromTenth, qint64 toTenth) const;
    int variantOf(qint64 hour) const;
    bool damaged(int channel, qint64 index, int salt, ArchiveRecordBytes &r) const;
    ArchiveRecordBytes encode(int channel, const Metered &m) const;
    qint64 dayStartHour(const QDate &day) const;
    QDate heldMonth(int hourlySector, const QDate &currentMonth) const;

    QByteArray image_;
    uint32_t seed_;
    QDateTime start_;
    qint64 startHour_;
    int contractHour_;
    bool fullLog_;
    double damagedRate_ = 0;
    bool steamV6_;
    std::array<TableFamily, 4> families_{};
    std::array<uint8_t, 4> media_{};

    mutable std::mutex mutex_;
    std::vector<Span> spans_;
};

}  // namespace torv
