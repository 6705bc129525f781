#include "sim/SimArchive.h"

#include "device/DevData.h"
#include "device/torvunit.h"
#include "sim/Scenario.h"
#include "sim/SimHash.h"
#include "sim/SimParamLog.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace torv {

using namespace archmem;

namespace {

constexpr int kTenthsPerDay = kHoursPerDay * kTenthsPerHour;

// Hours and tenths of an hour are counted from the start of the Julian day count, on the device's
// clock: no time zones, no daylight saving.
qint64 HourIndex(const QDate &d, int hour) { return d.toJulianDay() * kHoursPerDay + hour; }
qint64 HourIndex(const QDateTime &t) { return HourIndex(t.date(), t.time().hour()); }
qint64 TenthIndex(const QDateTime &t) { return HourIndex(t) * kTenthsPerHour + t.time().minute() / 6; }
QDate DateOfHour(qint64 hour) { return QDate::fromJulianDay(hour / kHoursPerDay); }
QDateTime MomentOfHour(qint64 hour) { return QDateTime(DateOfHour(hour), QTime(int(hour % kHoursPerDay), 0)); }
QDate FirstOfMonth(const QDate &d) { return QDate(d.year(), d.month(), 1); }

int ContractHourOf(const QByteArray &image) {
    const int c = uint8_t(image[img::kContractHour]);
    return c <= 23 ? c : 0;
}

using namespace simhash;

// What the numbers are drawn for.
enum Salt {
    SaltChannel = 1,
    SaltNoise = 10,  // 10…19: noise of the hour's quantities
    SaltSensorFault = 20,
    SaltOutOfRange = 21,
    SaltOutage = 30,
    SaltDamagedHour = 31,
    SaltDamagedDay = 32,
};

// Power cuts: on about one day in twelve one begins, mostly for a few hours, sometimes for more
// than a day. Given in tenths of an hour.
constexpr double kOutageChance = 0.08;
constexpr int kLongestOutage = 400;

struct Outage {
    qint64 from = 0, to = 0;
};

bool OutageOfDay(uint32_t seed, qint64 day, Outage &o) {
    const uint64_t h = Hash(seed, 0, day, SaltOutage);
    if (Unit(h) >= kOutageChance)
        return false;
    const uint64_t h2 = Mix(h), h3 = Mix(h2);
    const double kind = Unit(h3);
    const int n = int(Mix(h3) % 1000);
    const int length = kind < 0.6 ? 2 + n % 58 : kind < 0.88 ? 60 + n % 170 : 240 + n % (kLongestOutage - 240);
    o.from = day * kTenthsPerDay + qint64(h2 % kTenthsPerDay);
    o.to = o.from + length;
    return true;
}

void PutF32(ArchiveRecordBytes &r, int offset, double v) {
    const float f = float(v);
    uint32_t u;
    std::memcpy(&u, &f, 4);
    for (int k = 0; k < 4; ++k)
        r[size_t(offset + k)] = uint8_t(u >> (8 * k));
}

void PutU16(ArchiveRecordBytes &r, int offset, long v) {
    const int clamped = int(std::clamp<long>(v, 0, 0xFFFF));
    r[size_t(offset)] = uint8_t(clamped & 0xFF);
    r[size_t(offset + 1)] = uint8_t(clamped >> 8);
}

long Tenths(double kelvin) { return std::lround(kelvin * 10); }

ArchiveRecordBytes Erased() {
    ArchiveRecordBytes r;
    r.fill(0xFF);
    return r;
}

void Store(QByteArray &sector, const FlashPlace &place, const ArchiveRecordBytes &r) {
    std::memcpy(sector.data() + place.address, r.data(), r.size());
}

}  // namespace

// --- the quantities of a period ----------------------------------------------------------------

namespace {

using Metered = SimArchive::Metered;

constexpr double Metered::*kAverages[] = {&Metered::P,  &Metered::T,  &Metered::TX, &Metered::P1,
                                          &Metered::T1, &Metered::P2, &Metered::T2};
constexpr double Metered::*kTotals[] = {&Metered::VP, &Metered::VC, &Metered::M,  &Metered::VK,
                                        &Metered::Q,  &Metered::V,  &Metered::M1, &Metered::M2};

// Sums periods into a longer one: totals and durations add up, pressures and temperatures are
// averaged over the time with power (plainly when there was none).
class Totals {
public:
    void add(const Metered &m) {
        for (auto f : kAverages) {
            weighted_.*f += m.*f * m.on;
            plain_.*f += m.*f;
        }
        for (auto f : kTotals)
            weighted_.*f += m.*f;
        weighted_.NPIT += m.NPIT;
        weighted_.NDAT += m.NDAT;
        weighted_.VIZD += m.VIZD;
        weighted_.on += m.on;
        weighted_.covered += m.covered;
        ++count_;
    }
    int count() const { return count_; }
    Metered result() const {
        Metered r = weighted_;
        for (auto f : kAverages)
            r.*f = r.on > 0 ? weighted_.*f / r.on : count_ > 0 ? plain_.*f / count_ : 0;
        return r;
    }

private:
    Metered weighted_, plain_;
    int count_ = 0;
};

}  // namespace

// --- start of work ---------------------------------------------------------------------------

int StartOfWorkShift(const QByteArray &image) {
    const int c = ContractHourOf(image);
    return TTorv2s::DeviceKindOf(image) != KindHeat && c >= 1 && c <= 23 ? c : 0;
}

void PutStartOfWork(QByteArray &image, const QDateTime &start) {
    const qint64 stampHour = HourIndex(start) - StartOfWorkShift(image);
    const QDate d = DateOfHour(stampHour);
    image[img::kStartOfWork] = char(IntToBcd(int(stampHour % kHoursPerDay)));
    image[img::kStartOfWork + 1] = char(IntToBcd(d.day()));
    image[img::kStartOfWork + 2] = char(IntToBcd(d.month()));
    image[img::kStartOfWork + 3] = char(IntToBcd(d.year() % 100));
}

QDateTime StartOfWorkOf(const QByteArray &image) {
    const auto b = [&](int i) { return uint8_t(image[img::kStartOfWork + i]); };
    if (b(0) == 0xFF)
        return {};
    const QDate d(2000 + BcdToInt(b(3)), BcdToInt(b(2)), BcdToInt(b(1)));
    const int hour = BcdToInt(b(0));
    if (!d.isValid() || hour > 23)
        return {};
    return MomentOfHour(HourIndex(d, hour) + StartOfWorkShift(image));
}

QDateTime DefaultStartOfWork(const QDateTime &deviceNow, int historyDays, int contractHour) {
    const QDate day = DateOfHour(HourIndex(deviceNow) - contractHour).addDays(-historyDays);
    return QDateTime(day, QTime(contractHour, 0));
}

// --- the memory ------------------------------------------------------------------------------

SimArchive::SimArchive(const QByteArray &image, uint32_t seed, const QDateTime &start, bool fullParameterLog)
    : image_(image), seed_(seed), start_(MomentOfHour(HourIndex(start))), startHour_(HourIndex(start)),
      contractHour_(ContractHourOf(image)), fullLog_(fullParameterLog),
      steamV6_(IsSteamV6Firmware(TextField(image, img::kFirmwareVersion, img::kLongTextCapacity))) {
    const bool heatDevice = TTorv2s::DeviceKindOf(image) == KindHeat;
    for (int n = 1; n <= 4; ++n) {
        media_[size_t(n - 1)] = uint8_t(image[img::kChannelRecords + img::kChannelRecordSize * (n - 1)]);
        families_[size_t(n - 1)] = FamilyForMedium(char(media_[size_t(n - 1)]), heatDevice);
    }
}

bool SimArchive::HoldsArchive(int sector) {
    return (sector >= kHourlyEvenSector && sector <= kParameterLogSector) || sector == kMonthlySector;
}

qint64 SimArchive::snapshotKey(const QDateTime &now) const { return TenthIndex(now) * 4096 + rewrites(); }

QDate SimArchive::meteringDay(const QDateTime &t) const { return DateOfHour(HourIndex(t) - contractHour_); }

qint64 SimArchive::dayStartHour(const QDate &day) const { return HourIndex(day, contractHour_); }

FlashPlace SimArchive::HourPlace(int channel, const QDate &day, int slot) {
    const int first = day.month() % 2 == 0 ? kHourlyEvenSector : kHourlyOddSector;
    const int base = channel % 2 == 0 ? kUpperChannelBase : 0;
    return {first + (channel >= 3 ? 1 : 0), base + (day.day() - 1) * kDayBlock + slot * kArchiveRecordSize};
}

FlashPlace SimArchive::DayPlace(int channel, const QDate &day) {
    FlashPlace p = HourPlace(channel, day, 0);
    p.address = (channel % 2 == 0 ? kUpperChannelBase : 0) + kDailyOffset + (day.day() - 1) * kArchiveRecordSize;
    return p;
}

FlashPlace SimArchive::MonthPlace(int channel, int month) {
    return {kMonthlySector, (month - 1) * kMonthSlot + (channel - 1) * kArchiveRecordSize};
}

void SimArchive::rewriteHours(const QDateTime &newNow, int hours) {
    if (hours <= 0)
        return;
    std::lock_guard lock(mutex_);
    const qint64 to = HourIndex(newNow);
    spans_.push_back({to - hours, to, int(spans_.size()) + 1});
}

int SimArchive::rewrites() const {
    std::lock_guard lock(mutex_);
    return int(spans_.size());
}

int SimArchive::variantOf(qint64 hour) const {
    std::lock_guard lock(mutex_);
    for (auto it = spans_.rbegin(); it != spans_.rend(); ++it)
        if (hour >= it->from && hour < it->to)
            return it->variant;
    return 0;
}

int SimArchive::offTenths(qint64 fromTenth, qint64 toTenth) const {
    int off = 0;
    const qint64 lastDay = (toTenth - 1) / kTenthsPerDay;
    for (qint64 day = fromTenth / kTenthsPerDay - 2; day <= lastDay; ++day) {
        Outage o;
        if (!OutageOfDay(seed_, day, o))
            continue;
        const qint64 a = std::max(o.from, fromTenth), b = std::min(o.to, toTenth);
        if (b > a)
            off += int(b - a);
    }
    return std::min<int>(off, int(toTenth - fromTenth));
}

// The quantities of one full hour with power: plausible for the medium, with the seasons, the
// day's load curve, weekends and noise.
SimArchive::Metered SimArchive::hourSample(int channel, qint64 hour) const {
    const uint8_t medium = media_[size_t(channel - 1)];
    const int variant = variantOf(hour);
    const QDate date = DateOfHour(hour);
    const int clockHour = int(hour % kHoursPerDay);
    auto level = [&](int k) { return Unit(Hash(seed_, channel, k, SaltChannel)); };
    auto noise = [&](int k) { return Signed(Hash(seed_, channel, hour, SaltNoise + k)); };
    const double season = std::cos(2 * std::numbers::pi * (date.dayOfYear() - 15) / 365.25);  // 1 in winter
    const double daily = std::sin(2 * std::numbers::pi * (clockHour - 8) / 24.0);             // 1 at 14:00
    const double weekend = date.dayOfWeek() >= 6 ? 0.8 : 1.0;
    const bool heating = medium == 'V' || medium == 'D' || medium == 'S' || medium == 'Q' || medium == 'H';
    const double load = (1 + (heating ? 0.35 * season : 0.0)) * (1 + 0.2 * daily) * weekend * (1 + 0.06 * noise(3));

    Metered m;
    m.on = m.covered = kTenthsPerHour;
    switch (families_[size_t(channel - 1)]) {
    case TableFamily::GVRas:
    case TableFamily::GVSU:
    case TableFamily::C3H8: {
        const bool propane = medium == 'P';
        const double p = propane ? 9.0 + 3.0 * level(0) : 2.6 + 2.8 * level(0);
        m.P = std::clamp(p + 0.15 * daily + 0.05 * noise(1), propane ? 8.0 : 2.0, propane ? 12.5 : 6.0);
        m.T = 282.0 - 8.0 * season + 1.5 * daily + 0.5 * noise(2);
        if (propane) {
            m.VP = (0.8 + 2.0 * level(1)) * load;
            m.VC = m.VP * (1 - 0.0027 * (m.T - 288.15));
        } else {
            m.VP = (60.0 + 200.0 * level(1)) * load;
            m.VC = m.VP * (m.P + 1.0332) / 1.0332 * 293.15 / m.T / 0.998;
        }
        break;
    }
    case TableFamily::Par: {
        m.P = 7.0 + 4.0 * level(0) + 0.2 * daily + 0.05 * noise(1);
        const double superheat = medium == 'S' ? 20.0 * level(2) : 0.0;
        m.T = 433.0 + 3.5 * (m.P - 7.0) + superheat + 0.5 * noise(2);
        m.M = (0.6 + 2.0 * level(1)) * load;
        const bool litres = uint8_t(image_[img::kVolumeUnit]) == 'L';
        m.VK = m.M * (0.85 + 0.1 * level(3)) * (litres ? 1000.0 : 1.0);
        m.TX = 283.0 - 5.0 * season + 0.3 * noise(4);
        m.Q = m.M * (660.0 - (m.TX - 273.15)) / 1000.0;
        break;
    }
    case TableFamily::Fluid:
        m.V = (5.0 + 35.0 * level(1)) * load;
        m.P = std::clamp(2.5 + 3.0 * level(0) + 0.2 * daily + 0.05 * noise(1), 2.0, 6.0);
        m.T = 283.0 - 4.0 * season + 0.3 * noise(2);
        break;
    case TableFamily::Heat: {
        const double outdoor = 5.0 - 15.0 * season + 3.0 * daily;  // °C
        const double demand = std::clamp((8.0 - outdoor) / 28.0, 0.0, 1.0);
        m.T1 = 273.15 + 70.0 + 20.0 * demand + 0.4 * noise(2);
        m.T2 = m.T1 - (15.0 + 10.0 * demand) + 0.3 * noise(4);
        m.M1 = (6.0 + 8.0 * level(1)) * (1 + 0.05 * noise(3));
        m.M2 = m.M1 * 0.985;
        m.P1 = std::round(580.0 + 60.0 * level(0) + 10.0 * daily);
        m.P2 = std::round(350.0 + 40.0 * level(2));
        m.Q = m.M1 * (m.T1 - m.T2) * 0.001;
        break;
    }
    case TableFamily::None: break;
    }
    // A re-metered hour reads differently: half a kelvin warmer, a little more volume.
    if (variant > 0) {
        for (double Metered::*t : {&Metered::T, &Metered::TX, &Metered::T1, &Metered::T2})
            if (m.*t != 0)
                m.*t += 0.5;
        for (auto f : kTotals)
            m.*f *= 1.04;
    }
    const uint64_t fault = Hash(seed_, channel, hour, SaltSensorFault);
    if (Unit(fault) < 0.01)
        m.NDAT = 1 + int(Mix(fault) % 10);
    const uint64_t range = Hash(seed_, channel, hour, SaltOutOfRange);
    if (Unit(range) < 0.015)
        m.VIZD = 1 + int(Mix(range) % 6);
    return m;
}

// The hour as metered up to nowTenth: the part without power counts as NPIT and carries no
// volume.
SimArchive::Metered SimArchive::hourMeasure(int channel, qint64 hour, qint64 nowTenth) const {
    Metered m = hourSample(channel, hour);
    const qint64 from = hour * kTenthsPerHour;
    const int covered = int(std::min<qint64>(kTenthsPerHour, nowTenth - from));
    const int off = offTenths(from, from + covered);
    const int on = covered - off;
    for (auto f : kTotals)
        m.*f *= double(on) / kTenthsPerHour;
    m.NPIT = off;
    m.NDAT = std::min(m.NDAT, on);
    m.VIZD = std::min(m.VIZD, on);
    m.on = on;
    m.covered = covered;
    return m;
}

SimArchive::Metered SimArchive::dayMeasure(int channel, const QDate &day, qint64 nowTenth, bool *any) const {
    Totals t;
    const qint64 first = dayStartHour(day);
    for (qint64 h = std::max(first, startHour_); h < first + kHoursPerDay && h * kTenthsPerHour <= nowTenth; ++h)
        t.add(hourMeasure(channel, h, nowTenth));
    *any = t.count() > 0;
    return t.result();
}

SimArchive::Metered SimArchive::monthMeasure(int channel, const QDate &month, qint64 nowTenth, bool *any) const {
    Totals t;
    for (QDate d = FirstOfMonth(month); d.month() == month.month(); d = d.addDays(1)) {
        bool dayAny = false;
        const Metered m = dayMeasure(channel, d, nowTenth, &dayAny);
        if (dayAny)
            t.add(m);
    }
    *any = t.count() > 0;
    return t.result();
}

ArchiveRecordBytes SimArchive::encode(int channel, const Metered &m) const {
    using namespace ArchiveOffset;
    ArchiveRecordBytes r{};
    switch (families_[size_t(channel - 1)]) {
    case TableFamily::GVRas:
    case TableFamily::C3H8:
        PutF32(r, P, m.P);
        PutU16(r, T, Tenths(m.T));
        PutF32(r, VP, m.VP);
        PutF32(r, VC, m.VC);
        break;
    case TableFamily::GVSU:
        PutF32(r, P, m.P);
        PutU16(r, T, Tenths(m.T));
        PutF32(r, VP, m.VC);  // the spare volume
        PutF32(r, VC, m.VC);
        break;
    case TableFamily::Par:
        PutF32(r, P, m.P);
        PutU16(r, T, Tenths(m.T));
        PutF32(r, VP, m.M);
        PutF32(r, VC, m.VK);
        if (steamV6_) {
            PutF32(r, SteamQV6, m.Q);
        } else {
            PutU16(r, SteamTX, Tenths(m.TX));
            PutF32(r, SteamQ, m.Q);
        }
        break;
    case TableFamily::Fluid:
        PutF32(r, FluidV, m.V);
        PutF32(r, FluidP, m.P);
        PutU16(r, FluidT, Tenths(m.T));
        break;
    case TableFamily::Heat:
        PutU16(r, HeatP1, std::lround(m.P1));
        PutU16(r, HeatT1, Tenths(m.T1));
        PutF32(r, HeatM1, m.M1);
        PutU16(r, HeatP2, std::lround(m.P2));
        PutU16(r, HeatT2, Tenths(m.T2));
        PutF32(r, HeatM2, m.M2);
        PutF32(r, HeatQ, m.Q);
        break;
    case TableFamily::None: return Erased();
    }
    PutU16(r, NPIT, m.NPIT);
    PutU16(r, NDAT, m.NDAT);
    PutU16(r, VIZD, m.VIZD);
    return r;
}

// Replaces a closed record by a damaged one when the draw says so: half of them all zero in the
// bytes the classification examines (bytes 0, 4 and the durations keep values), half with a
// value that is not a number where the family's decoding first compares one.
bool SimArchive::damaged(int channel, qint64 index, int salt, ArchiveRecordBytes &r) const {
    if (damagedRate_ <= 0)
        return false;
    const uint64_t h = Hash(seed_, channel, index, salt);
    if (Unit(h) >= damagedRate_)
        return false;
    if (Mix(h) % 2 == 0) {
        for (int i : {1, 2, 3})
            r[size_t(i)] = 0;
        for (int i = 5; i <= 20; ++i)
            r[size_t(i)] = 0;
    } else {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        PutF32(r, family(channel) == TableFamily::Heat ? ArchiveOffset::HeatQ : 0, nan);
    }
    return true;
}

SimArchive::Content SimArchive::hourContent(int channel, const QDate &day, int slot, const QDateTime &now) const {
    const qint64 hour = dayStartHour(day) + slot;
    const qint64 nowTenth = TenthIndex(now);
    if (family(channel) == TableFamily::None || hour < startHour_ || hour * kTenthsPerHour > nowTenth)
        return {};
    const Metered m = hourMeasure(channel, hour, nowTenth);
    if (m.covered == kTenthsPerHour && m.on == 0)
        return {};  // the device was off the whole hour
    ArchiveRecordBytes r = encode(channel, m);
    const bool spoilt = m.covered == kTenthsPerHour && damaged(channel, hour, SaltDamagedHour, r);
    return {spoilt ? Content::Damaged : Content::Written, m};
}

SimArchive::Content SimArchive::dayContent(int channel, const QDate &day, const QDateTime &now) const {
    if (family(channel) == TableFamily::None)
        return {};
    bool any = false;
    const Metered m = dayMeasure(channel, day, TenthIndex(now), &any);
    if (!any || (m.covered == kTenthsPerDay && m.on == 0))
        return {};
    ArchiveRecordBytes r = encode(channel, m);
    const bool spoilt = m.covered == kTenthsPerDay && damaged(channel, day.toJulianDay(), SaltDamagedDay, r);
    return {spoilt ? Content::Damaged : Content::Written, m};
}

SimArchive::Content SimArchive::monthContent(int channel, const QDate &month, const QDateTime &now) const {
    if (family(channel) == TableFamily::None)
        return {};
    bool any = false;
    const Metered m = monthMeasure(channel, month, TenthIndex(now), &any);
    if (!any || m.on == 0)
        return {};
    return {Content::Written, m};
}

ArchiveRecordBytes SimArchive::hourRecord(int channel, const QDate &day, int slot, const QDateTime &now) const {
    const Content content = hourContent(channel, day, slot, now);
    if (content.kind == Content::Erased)
        return Erased();
    ArchiveRecordBytes r = encode(channel, content.m);
    if (content.kind == Content::Damaged)
        damaged(channel, dayStartHour(day) + slot, SaltDamagedHour, r);
    return r;
}

ArchiveRecordBytes SimArchive::dayRecord(int channel, const QDate &day, const QDateTime &now) const {
    const Content content = dayContent(channel, day, now);
    if (content.kind == Content::Erased)
        return Erased();
    ArchiveRecordBytes r = encode(channel, content.m);
    if (content.kind == Content::Damaged)
        damaged(channel, day.toJulianDay(), SaltDamagedDay, r);
    return r;
}

ArchiveRecordBytes SimArchive::monthRecord(int channel, const QDate &month, const QDateTime &now) const {
    const Content content = monthContent(channel, month, now);
    return content.kind == Content::Erased ? Erased() : encode(channel, content.m);
}

// The month an hourly sector holds: the metering month in hand when their parities agree, else
// the month before it.
QDate SimArchive::heldMonth(int hourlySector, const QDate &currentMonth) const {
    const bool evenSector = hourlySector < kHourlyOddSector;
    return (currentMonth.month() % 2 == 0) == evenSector ? currentMonth : currentMonth.addMonths(-1);
}

QByteArray SimArchive::sector(int sector, const QDateTime &now) const {
    QByteArray bytes(kFlashSectorSize, char(0xFF));
    const QDate current = FirstOfMonth(meteringDay(now));
    if (sector >= kHourlyEvenSector && sector < kParameterLogSector) {
        const QDate month = heldMonth(sector, current);
        const int firstChannel = sector % 2 == 1 ? 1 : 3;
        for (int channel = firstChannel; channel <= firstChannel + 1; ++channel) {
            if (family(channel) == TableFamily::None)
                continue;
            for (QDate d = month; d.month() == month.month(); d = d.addDays(1)) {
                for (int slot = 0; slot < kHoursPerDay; ++slot)
                    Store(bytes, HourPlace(channel, d, slot), hourRecord(channel, d, slot, now));
                Store(bytes, DayPlace(channel, d), dayRecord(channel, d, now));
            }
        }
    } else if (sector == kParameterLogSector) {
        int at = 0;
        for (const QByteArray &r : parameterLog(now)) {
            bytes.replace(at, r.size(), r);
            at += r.size();
        }
    } else if (sector == kMonthlySector) {
        for (int number = 1; number <= kMonthSlots; ++number) {
            const QDate month(current.year() - (number > current.month() ? 1 : 0), number, 1);
            for (int channel = 1; channel <= 4; ++channel)
                if (family(channel) != TableFamily::None)
                    Store(bytes, MonthPlace(channel, number), monthRecord(channel, month, now));
        }
    }
    return bytes;
}

std::vector<QByteArray> SimArchive::parameterLog(const QDateTime &now) const {
    return ParameterLogRecords(image_, seed_, start_, now, fullLog_);
}

}  // namespace torv
