// What a download must store, computed from the simulated device's memory: for a channel, its
// table family and an archive kind, the rows (DT, H and the decoded values) that the program keeps
// after downloading at a given device time with a given depth. The values are worked out from the
// quantities the scenario metered into each record, by the tables' storage rules (units, factors,
// limits) written here once more — never by the program's decoder, whose faults would otherwise be
// copied into the expectation — so a table can be compared row by row.
//
// Which records are stored:
// - The start date is the start of work as the program reads it from the configuration image (the
//   stamp moved on by the contract hour), replaced by device date − 25 days when it lies after the
//   device date, and by device date − depth when it lies further back than the depth. The start
//   hour is the start of work's.
// - Hourly: the previous and the current month (of the device date), from the start date's slot
//   of the start hour up to the record being filled (the device hour of the metering day in hand),
//   which is not stored; nor is anything after it.
// - Daily: the same months from the start date up to the day before the metering day in hand.
// - Monthly: each record under the last day of its own month, from the start-of-work month (the
//   depth does not apply) on, but only the months the twelve month slots still hold, and never the
//   month being accumulated (the month of the metering day in hand).
// - An empty record (all 0xFF) is stored as zeros with the period without power (NPIT 10, 240, or
//   the days of the month × 240); a record damaged on purpose (all zero, not a number) is not
//   stored.
#pragma once

#include "device/ArchiveRecord.h"

#include <QDate>
#include <QDateTime>
#include <utility>
#include <vector>

namespace torv {

class SimArchive;
class Torv2Simulator;

struct ExpectedRow {
    QDate dt;
    int h = 0;
    ArchiveValues values;
    bool empty = false;  // from an erased record: the period without power
};

// The dates of a download at `deviceNow` with `depthDays` of depth.
struct DownloadWindow {
    QDate deviceDate;
    int deviceHour = 0;
    int contractHour = 0;
    QDate workStart;  // start-of-work date as the image gives it
    QDate startDate;  // after the corrections
    int startHour = 0;
    QDate previousMonth;  // first days of the months read
    QDate currentMonth;
    QDate fillingDay;  // the metering day in hand and the slot of the record being filled
    int fillingSlot = 0;
    QDate accumulatedMonth;  // first day of the month the device is accumulating
};
DownloadWindow DownloadWindowAt(const QByteArray &image, const QDateTime &deviceNow, int depthDays);

// The channels a download reads and their table families, in order: a heat device's "Heat" as
// channel 1, then every channel with a family of its own.
std::vector<std::pair<int, TableFamily>> ArchiveChannels(const QByteArray &image);

std::vector<ExpectedRow> ExpectedRows(const SimArchive &archive, int channel, TableFamily family, char kind,
                                      int depthDays, const QDateTime &deviceNow);
// At the simulator's clock (or at `deviceNow`, the device time the download read).
std::vector<ExpectedRow> ExpectedRows(const Torv2Simulator &sim, int channel, TableFamily family, char kind,
                                      int depthDays);
std::vector<ExpectedRow> ExpectedRows(const Torv2Simulator &sim, int channel, TableFamily family, char kind,
                                      int depthDays, const QDateTime &deviceNow);

}  // namespace torv
