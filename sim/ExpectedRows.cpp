#include "sim/ExpectedRows.h"

#include "device/DevData.h"
#include "device/torvunit.h"
#include "sim/SimArchive.h"
#include "sim/Simulator.h"

#include <map>

namespace torv {

namespace {

constexpr int kDaysBackWhenStartIsLater = 25;

QDate FirstOfMonth(const QDate &d) { return QDate(d.year(), d.month(), 1); }
QDate LastOfMonth(const QDate &d) { return FirstOfMonth(d).addMonths(1).addDays(-1); }

// Sectors made once per computation.
class Memory {
public:
    Memory(const SimArchive &archive, const QDateTime &now) : archive_(archive), now_(now) {}
    ArchiveRecordBytes record(const FlashPlace &p) {
        auto it = sectors_.find(p.sector);
        if (it == sectors_.end())
            it = sectors_.emplace(p.sector, archive_.sector(p.sector, now_)).first;
        ArchiveRecordBytes r;
        for (int i = 0; i < kArchiveRecordSize; ++i)
            r[size_t(i)] = uint8_t(it->second[p.address + i]);
        return r;
    }

private:
    const SimArchive &archive_;
    QDateTime now_;
    std::map<int, QByteArray> sectors_;
};

// Classifies and decodes one record as the download does; false when it is not stored.
bool Decode(const SimArchive &archive, TableFamily family, ArchiveRecordBytes r, char kind, const QDate &dt, int h,
            std::vector<ExpectedRow> &rows) {
    const int state = ClassifyRecord(r, kind);
    if (state == RecordNotStored)
        return false;
    const QString firmware = TextField(archive.image(), img::kFirmwareVersion, img::kLongTextCapacity);
    const DecodedRecord d = DecodeRecord(family, r, kind, dt, state, firmware);
    if (d.state == RecordNotStored)
        return false;
    rows.push_back({dt, h, d.values, state != RecordOrdinary});
    return true;
}

}  // namespace

DownloadWindow DownloadWindowAt(const QByteArray &image, const QDateTime &deviceNow, int depthDays) {
    DownloadWindow w;
    w.deviceDate = deviceNow.date();
    w.deviceHour = deviceNow.time().hour();
    w.contractHour = uint8_t(image[img::kContractHour]) <= 23 ? uint8_t(image[img::kContractHour]) : 0;
    const QDateTime start = StartOfWorkOf(image);
    w.workStart = start.isValid() ? start.date() : QDate(2000, 1, 1);
    w.startHour = start.isValid() ? start.time().hour() : 0;
    w.startDate = w.workStart;
    if (w.startDate > w.deviceDate)
        w.startDate = w.deviceDate.addDays(-kDaysBackWhenStartIsLater);
    if (w.startDate.daysTo(w.deviceDate) > depthDays)
        w.startDate = w.deviceDate.addDays(-depthDays);
    w.currentMonth = FirstOfMonth(w.deviceDate);
    w.previousMonth = w.currentMonth.addMonths(-1);
    w.fillingDay = w.deviceHour < w.contractHour ? w.deviceDate.addDays(-1) : w.deviceDate;
    w.fillingSlot = (w.deviceHour - w.contractHour + 24) % 24;
    w.accumulatedMonth = FirstOfMonth(w.fillingDay);
    return w;
}

std::vector<std::pair<int, TableFamily>> ArchiveChannels(const QByteArray &image) {
    std::vector<std::pair<int, TableFamily>> out;
    const bool heatDevice = TTorv2s::DeviceKindOf(image) == KindHeat;
    if (heatDevice)
        out.emplace_back(1, TableFamily::Heat);
    for (int n = 1; n <= 4; ++n) {
        const char medium = image[img::kChannelRecords + img::kChannelRecordSize * (n - 1)];
        const TableFamily f = FamilyForMedium(medium, heatDevice);
        if (f != TableFamily::None && f != TableFamily::Heat)
            out.emplace_back(n, f);
    }
    return out;
}

std::vector<ExpectedRow> ExpectedRows(const SimArchive &archive, int channel, TableFamily family, char kind,
                                      int depthDays, const QDateTime &deviceNow) {
    const DownloadWindow w = DownloadWindowAt(archive.image(), deviceNow, depthDays);
    Memory memory(archive, deviceNow);
    std::vector<ExpectedRow> rows;
    const int c = w.contractHour;

    if (kind == kHourly) {
        // Positions are (metering day, slot); the first is the start date's slot of the start
        // hour, or slot 0 of the previous month's first day when the start lies further back.
        const bool fromStart = w.startDate >= w.previousMonth;
        const QDate firstDay = fromStart ? w.startDate : w.previousMonth;
        const int firstSlot = fromStart ? (w.startHour - c + 24) % 24 : 0;
        const QDate lastOfRead = LastOfMonth(w.currentMonth);
        for (QDate d = firstDay; d <= w.fillingDay && d <= lastOfRead; d = d.addDays(1)) {
            for (int slot = d == firstDay ? firstSlot : 0; slot < 24; ++slot) {
                if (d == w.fillingDay && slot >= w.fillingSlot)
                    break;
                Decode(archive, family, memory.record(SimArchive::HourPlace(channel, d, slot)), kind, d,
                       (c + slot) % 24, rows);
            }
        }
    } else if (kind == kDaily) {
        const QDate first = std::max(w.startDate, w.previousMonth);
        for (QDate d = first; d < w.fillingDay; d = d.addDays(1))
            Decode(archive, family, memory.record(SimArchive::DayPlace(channel, d)), kind, d, 0, rows);
    } else if (kind == kMonthly) {
        const QDate oldestHeld = w.accumulatedMonth.addMonths(-(archmem::kMonthSlots - 1));
        for (QDate m = std::max(FirstOfMonth(w.workStart), oldestHeld); m < w.accumulatedMonth; m = m.addMonths(1))
            Decode(archive, family, memory.record(SimArchive::MonthPlace(channel, m.month())), kind, LastOfMonth(m),
                   0, rows);
    }
    return rows;
}

std::vector<ExpectedRow> ExpectedRows(const Torv2Simulator &sim, int channel, TableFamily family, char kind,
                                      int depthDays) {
    return ExpectedRows(sim, channel, family, kind, depthDays, sim.deviceTime());
}

std::vector<ExpectedRow> ExpectedRows(const Torv2Simulator &sim, int channel, TableFamily family, char kind,
                                      int depthDays, const QDateTime &deviceNow) {
    return ExpectedRows(sim.archive(), channel, family, kind, depthDays, deviceNow);
}

}  // namespace torv
