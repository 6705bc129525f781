// The archive download: walks a device's flash memory record by record for one channel and stores
// the hourly, daily and monthly records the user asked for. ReadAllData runs the passes of one
// channel; ReadWriteArh fetches, classifies, decodes and stores one record.
//
// Device memory of the archives (flash sectors and addresses):
//   hourly, even months   sector 1 (channels 1, 2) or 2 (channels 3, 4): base + (day − 1) × 624 + slot × 26
//   hourly, odd months    sector 3 or 4, same addresses
//   daily                 the same sectors: base + 0x5000 + (day − 1) × 26
//   monthly               sector 7: (month − 1) × 104 + (channel − 1) × 26
// base is 0 for channels 1 and 3 and 0x8000 for channels 2 and 4; slot s of a metering day is
// the hour (contract hour + s) mod 24. Sector 7 has twelve month slots, one per month number, each
// holding the last month of that number; the slot of the current month is still accumulating.
#pragma once

#include "archive/ArchiveTables.h"
#include "device/ArchiveRecord.h"

#include <QDate>
#include <QString>
#include <array>
#include <stdexcept>

namespace torv {

class ArchiveContext;

namespace ArchiveMemory {
constexpr int kRecordsPerRead = 9;                                 // one read brings nine records …
constexpr int kRecordsUsedPerRead = 8;                             // … of which eight are used
constexpr int kBlockBytes = kRecordsPerRead * kArchiveRecordSize;  // 234
constexpr int kDayBytes = 24 * kArchiveRecordSize;                 // 624
constexpr int kDailyOffset = 0x5000;
constexpr int kSecondChannelBase = 0x8000;
constexpr int kMonthlySector = 7;
constexpr int kMonthSlotBytes = 4 * kArchiveRecordSize;  // 104
constexpr int kMonthSlots = 12;

// Sector of the hourly and daily records of a month.
int DaySector(int channel, int month);
int ChannelBase(int channel);
int HourlyAddress(int channel, int day, int slot);
int DailyAddress(int channel, int day);
int MonthlyAddress(int channel, int month);
}  // namespace ArchiveMemory

// A start-of-work text that is not a date: the download cannot start.
class DownloadError : public std::runtime_error {
public:
    explicit DownloadError(const QString &text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString &text() const { return text_; }

private:
    QString text_;
};

class TArchiveDownload {
public:
    // `deviceNumber` names the tables for the whole download: a later handshake over a noisy line
    // may bring a damaged serial number, and the device does not change in the middle of a download.
    TArchiveDownload(ArchiveContext &app, const QString &deviceNumber);

    // All passes of one channel, then the gas totals request.
    void ReadAllData(const QString &familyName, int channel);

    // The pass in hand; public for tests.
    struct Pass {
        TableFamily family = TableFamily::None;
        int channel = 1;
        char kind = kHourly;
        int sector = 0;
        int address = 0;
        QDate recordDate;
        int hour = 0;          // hour counter
        QByteArray block;      // the last block read
        int remaining = 0;     // records of the block not yet used
        int blockAddress = 0;  // address of the next record of the block
        int state = RecordOrdinary;
        bool stop = false;
        QDate startDate;
        int startHour = 0;
    };
    const Pass &pass() const { return pass_; }

    // The progress of the whole download (set up by channel 1).
    int total() const { return total_; }
    int remainingWork() const { return remainingWork_; }

    void ReadWriteArh();

private:
    QDate MeteringDayOfDevice() const;
    void StartMoment();
    void SetUpProgress();
    void ShowProgress();
    void HourlyPass();
    void BeginMonth(const QString &title, const QDate &month, int address);
    void HourlyDayLoop(const QString &dayText, const QDate &endMonth);
    void PositionDaily(const QDate &firstDay);
    void DailyPass();
    void MonthlyPass();
    void PositionHourly(const QDate &firstDay);
    bool FetchRecord(ArchiveRecordBytes &record);
    void StoreRecord(ArchiveRecordBytes &record);
    void ReceptionError();
    QString Place() const;

    ArchiveContext &app_;
    QString deviceNumber_;
    ArchiveQueries queries_;
    Pass pass_;
    QDate deviceDate_;
    int deviceHour_ = 0;
    int contractHour_ = 0;
    QString firmware_;
    int total_ = 0;
    int remainingWork_ = 0;
};

// The start of work from the start-of-work text "HH:00  DD-MM-YYYY" (characters 8–9 the day,
// 11–12 the month, 14–17 the year, 1–2 the hour). Throws DownloadError when it is not a date.
QDate StartDateOf(const QString &startOfWork, int *hour = nullptr);

// The channel's download name by its medium ("GVSU", "GVRas", "Fluid", "C3H8", "Par"; empty: none).
QString DownloadName(uint8_t medium);

}  // namespace torv
