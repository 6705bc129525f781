#include "sim/ExpectedRows.h"

#include "device/DevData.h"
#include "device/torvunit.h"
#include "sim/SimArchive.h"
#include "sim/Simulator.h"

#include <algorithm>
#include <cmath>

namespace torv {

namespace {

constexpr int kDaysBackWhenStartIsLater = 25;

QDate FirstOfMonth(const QDate &d) { return QDate(d.year(), d.month(), 1); }
QDate LastOfMonth(const QDate &d) { return FirstOfMonth(d).addMonths(1).addDays(-1); }

// What a table row holds for a record the device wrote, worked out from the quantities the
// scenario metered, by the storage rules of the table families (units, factors and limits), not by
// the program's decoder: a fault in the decoder shows as a difference.
constexpr double kPressureToMPa = 0.0980665;  // kgf/cm² to MPa
constexpr double kToThousands = 0.001;        // volumes and VK in thousands of the device's unit
constexpr double kSmallest = 0.00001;
constexpr double kHugeValue = 1e12;

double AsStored(double v) { return double(float(v)); }  // the device keeps 32-bit floats
int TenthsOf(double kelvin) { return int(std::clamp<long>(std::lround(kelvin * 10), 0, 0xFFFF)); }
int Whole(double v) { return int(std::clamp<long>(std::lround(v), 0, 0xFFFF)); }

double Pressure(double kgf) {
    const double p = AsStored(kgf) * kPressureToMPa;
    return p < kSmallest ? 0 : p > kHugeValue ? -1 : p;
}
double Volume(double v) {
    if (std::signbit(v) || v > kHugeValue || v < -kSmallest)
        return -1;
    return v > 0 && v < kSmallest ? 0 : v;
}
double Limited(int tenths, int limit) { return tenths > limit ? 0 : tenths; }

ArchiveValues StoredValues(TableFamily family, const SimArchive::Metered &m, bool steamV6) {
    ArchiveValues v;
    switch (family) {
    case TableFamily::GVRas:
    case TableFamily::C3H8: {
        const double factor = family == TableFamily::GVRas ? kToThousands : 1;
        v.P = Pressure(m.P);
        v.T = int(Limited(TenthsOf(m.T), 10000));
        v.VP = AsStored(m.VP) * factor;
        v.VP = std::signbit(v.VP) || v.VP > kHugeValue || v.VP < -kSmallest ? -1 : v.VP;
        v.VC = Volume(AsStored(m.VC) * factor);
        break;
    }
    case TableFamily::GVSU:
        v.P = Pressure(m.P);
        v.T = int(Limited(TenthsOf(m.T), 10000));
        v.VC = Volume(AsStored(m.VC) * kToThousands);
        break;
    case TableFamily::Par:
        v.P = Pressure(m.P);
        v.T = int(Limited(TenthsOf(m.T), 20000));
        v.TX = steamV6 ? 0 : int(Limited(TenthsOf(m.TX), 20000));
        v.M = AsStored(m.M) < -0.0001 ? 0 : AsStored(m.M);
        v.Q = AsStored(m.Q) < -0.0001 ? 0 : AsStored(m.Q) > kHugeValue ? -1 : AsStored(m.Q);
        v.VK = AsStored(m.VK) * kToThousands;
        v.VK = std::signbit(v.VK) || v.VK > kHugeValue ? -1 : v.VK;
        break;
    case TableFamily::Fluid:
        v.V = Volume(AsStored(m.V) * kToThousands);
        v.P = Pressure(m.P);
        v.T = int(Limited(TenthsOf(m.T), 50000));
        break;
    case TableFamily::Heat:
        v.P1 = Whole(m.P1);
        v.T1 = int(Limited(TenthsOf(m.T1), 20000));
        v.M1 = AsStored(m.M1);
        v.P2 = Whole(m.P2);
        v.T2 = int(Limited(TenthsOf(m.T2), 20000));
        v.M2 = AsStored(m.M2);
        v.Q = AsStored(m.Q) < -0.0001 ? 0 : AsStored(m.Q) > kHugeValue ? -1 : AsStored(m.Q);
        break;
    case TableFamily::None: break;
    }
    v.NPIT = m.NPIT;
    v.NDAT = m.NDAT;
    v.VIZD = m.VIZD;
    return v;
}

// The row a record gives, or none: a record damaged on purpose is not stored; an erased one is a
// period without power (an hour 10 tenths, a day 240, a month its days × 240).
void Expect(TableFamily family, const SimArchive::Content &c, char kind, const QDate &dt, int h, bool steamV6,
            std::vector<ExpectedRow> &rows) {
    switch (c.kind) {
    case SimArchive::Content::Damaged: return;
    case SimArchive::Content::Erased: {
        ArchiveValues empty;
        empty.NPIT = kind == kHourly ? 10 : kind == kDaily ? 240 : dt.day() * 240;
        rows.push_back({dt, h, empty, true});
        return;
    }
    case SimArchive::Content::Written: rows.push_back({dt, h, StoredValues(family, c.m, steamV6), false}); return;
    }
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
    const bool v6 = archive.steamV6();
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
                Expect(family, archive.hourContent(channel, d, slot, deviceNow), kind, d, (c + slot) % 24, v6, rows);
            }
        }
    } else if (kind == kDaily) {
        const QDate first = std::max(w.startDate, w.previousMonth);
        for (QDate d = first; d < w.fillingDay; d = d.addDays(1))
            Expect(family, archive.dayContent(channel, d, deviceNow), kind, d, 0, v6, rows);
    } else if (kind == kMonthly) {
        const QDate oldestHeld = w.accumulatedMonth.addMonths(-(archmem::kMonthSlots - 1));
        for (QDate m = std::max(FirstOfMonth(w.workStart), oldestHeld); m < w.accumulatedMonth; m = m.addMonths(1))
            Expect(family, archive.monthContent(channel, m, deviceNow), kind, LastOfMonth(m), 0, v6, rows);
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
