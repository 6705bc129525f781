#include "device/ArchiveRecord.h"

#include "link/LinkStatus.h"

#include <bit>
#include <cmath>

namespace torv {

namespace {

// Unit conversions of the stored values.
constexpr double kKgfToMPa = 0.0980665;  // kgf/cm² → MPa
constexpr double kThousands = 0.001;     // volumes in thousands of the device's unit
constexpr double kHuge = 1e12;           // the device's "no sensible value" bound
constexpr double kTiny = 0.00001;
constexpr double kSmallNegative = -0.0001;
// Largest magnitude every value column of the tables holds with its decimals.
constexpr double kStorable = 1e13;

constexpr int kGasTemperatureLimit = 10000;
constexpr int kSteamTemperatureLimit = 20000;
constexpr int kFluidTemperatureLimit = 50000;
constexpr int kHeatTemperatureLimit = 20000;

constexpr int kHourTenths = 10;  // NPIT of an empty hourly record
constexpr int kDayTenths = 240;  // NPIT of an empty daily record

// Raised by a comparison with a value that is not a number, or by a value the tables cannot hold.
struct DecodeFault {};

float F32(const ArchiveRecordBytes &r, int offset) {
    uint32_t bits = uint32_t(r[offset]) | uint32_t(r[offset + 1]) << 8 | uint32_t(r[offset + 2]) << 16 |
                    uint32_t(r[offset + 3]) << 24;
    return std::bit_cast<float>(bits);
}

int U16(const ArchiveRecordBytes &r, int offset) { return int(r[offset]) | int(r[offset + 1]) << 8; }

bool SignSet(double v) { return std::signbit(v); }

bool Below(double v, double limit) {
    if (std::isnan(v))
        throw DecodeFault{};
    return v < limit;
}

bool Above(double v, double limit) {
    if (std::isnan(v))
        throw DecodeFault{};
    return v > limit;
}

// P: sign set → −1; below 0 → −1; below 0.00001 → 0; above 10¹² → −1. Each step replaces the
// value in hand, so a negative pressure ends as 0.
double PressureRule(double p) {
    if (SignSet(p))
        p = -1;
    if (Below(p, 0))
        p = -1;
    if (Below(p, kTiny))
        p = 0;
    if (Above(p, kHuge))
        p = -1;
    return p;
}

// VC of the gas families and V of the liquid family.
double VolumeRule(double v) {
    if (SignSet(v))
        v = -1;
    if (Above(v, kHuge))
        v = -1;
    if (Above(v, 0) && Below(v, kTiny))
        v = 0;
    if (Below(v, -kTiny))
        v = -1;
    return v;
}

// VP of GVRas and C3H8.
double WorkingVolumeRule(double v) {
    if (SignSet(v))
        v = -1;
    if (Above(v, kHuge))
        v = -1;
    if (Below(v, -kTiny))
        v = -1;
    return v;
}

// Q of steam and heat.
double HeatQuantityRule(double q) {
    if (Below(q, kSmallNegative))
        q = 0;
    if (Above(q, kHuge))
        q = -1;
    return q;
}

void CheckStorable(double v) {
    if (!std::isfinite(v) || std::fabs(v) > kStorable)
        throw DecodeFault{};
}

void ReadDurations(const ArchiveRecordBytes &r, ArchiveValues &v) {
    v.NPIT = U16(r, ArchiveOffset::NPIT);
    v.NDAT = U16(r, ArchiveOffset::NDAT);
    v.VIZD = U16(r, ArchiveOffset::VIZD);
}

void ApplyEmptyMonth(int state, const QDate &recordDate, ArchiveValues &v) {
    if (state == RecordEmptyMonthly)
        v.NPIT = recordDate.day() * kDayTenths;
}

ArchiveValues DecodeGas(const ArchiveRecordBytes &r, bool thousands, int state, const QDate &date) {
    ArchiveValues v;
    v.P = F32(r, ArchiveOffset::P);
    v.T = U16(r, ArchiveOffset::T);
    v.VP = F32(r, ArchiveOffset::VP);
    v.VC = F32(r, ArchiveOffset::VC);
    ReadDurations(r, v);
    if (thousands) {
        v.VP *= kThousands;
        v.VC *= kThousands;
    }
    v.P *= kKgfToMPa;
    v.P = PressureRule(v.P);
    if (v.T > kGasTemperatureLimit)
        v.T = 0;
    v.VC = VolumeRule(v.VC);
    v.VP = WorkingVolumeRule(v.VP);
    ApplyEmptyMonth(state, date, v);
    for (double x : {v.P, v.VP, v.VC})
        CheckStorable(x);
    return v;
}

ArchiveValues DecodeOrificeGas(const ArchiveRecordBytes &r, int state, const QDate &date) {
    ArchiveValues v;
    v.P = F32(r, ArchiveOffset::P);
    v.T = U16(r, ArchiveOffset::T);
    v.VC = F32(r, ArchiveOffset::VC);
    ReadDurations(r, v);
    // The volume at offset 10 is replaced by the spare volume when it is out of range.
    if (Below(v.VC, 0) || Above(v.VC, kHuge))
        v.VC = F32(r, ArchiveOffset::VP);
    v.VC *= kThousands;
    v.P *= kKgfToMPa;
    v.P = PressureRule(v.P);
    if (v.T > kGasTemperatureLimit)
        v.T = 0;
    v.VC = VolumeRule(v.VC);
    ApplyEmptyMonth(state, date, v);
    for (double x : {v.P, v.VC})
        CheckStorable(x);
    return v;
}

ArchiveValues DecodeSteam(const ArchiveRecordBytes &r, bool v6Layout, int state, const QDate &date) {
    ArchiveValues v;
    v.P = F32(r, ArchiveOffset::P);
    v.T = U16(r, ArchiveOffset::T);
    v.M = F32(r, ArchiveOffset::VP);
    v.VK = F32(r, ArchiveOffset::VC);
    if (v6Layout) {
        v.Q = F32(r, ArchiveOffset::SteamQV6);
        v.TX = 0;
    } else {
        v.TX = U16(r, ArchiveOffset::SteamTX);
        v.Q = F32(r, ArchiveOffset::SteamQ);
    }
    ReadDurations(r, v);
    v.P *= kKgfToMPa;
    v.VK *= kThousands;
    v.P = PressureRule(v.P);
    if (v.T > kSteamTemperatureLimit)
        v.T = 0;
    if (v.TX > kSteamTemperatureLimit)
        v.TX = 0;
    if (Below(v.M, kSmallNegative))
        v.M = 0;
    v.Q = HeatQuantityRule(v.Q);
    if (SignSet(v.VK))
        v.VK = -1;
    if (Above(v.VK, kHuge))
        v.VK = -1;
    ApplyEmptyMonth(state, date, v);
    for (double x : {v.P, v.M, v.VK, v.Q})
        CheckStorable(x);
    return v;
}

ArchiveValues DecodeFluid(const ArchiveRecordBytes &r, int state, const QDate &date) {
    ArchiveValues v;
    v.V = F32(r, ArchiveOffset::FluidV);
    v.P = F32(r, ArchiveOffset::FluidP);
    v.T = U16(r, ArchiveOffset::FluidT);
    ReadDurations(r, v);
    v.V *= kThousands;
    v.P *= kKgfToMPa;
    if (v.T > kFluidTemperatureLimit)
        v.T = 0;
    v.P = PressureRule(v.P);
    v.V = VolumeRule(v.V);
    ApplyEmptyMonth(state, date, v);
    for (double x : {v.P, v.V})
        CheckStorable(x);
    return v;
}

ArchiveValues DecodeHeat(const ArchiveRecordBytes &r, int state, const QDate &date) {
    ArchiveValues v;
    v.P1 = U16(r, ArchiveOffset::HeatP1);
    v.T1 = U16(r, ArchiveOffset::HeatT1);
    v.M1 = F32(r, ArchiveOffset::HeatM1);
    v.P2 = U16(r, ArchiveOffset::HeatP2);
    v.T2 = U16(r, ArchiveOffset::HeatT2);
    v.M2 = F32(r, ArchiveOffset::HeatM2);
    v.Q = F32(r, ArchiveOffset::HeatQ);
    ReadDurations(r, v);
    if (v.T1 > kHeatTemperatureLimit)
        v.T1 = 0;
    if (v.T2 > kHeatTemperatureLimit)
        v.T2 = 0;
    v.Q = HeatQuantityRule(v.Q);
    ApplyEmptyMonth(state, date, v);
    for (double x : {v.M1, v.M2, v.Q})
        CheckStorable(x);
    return v;
}

// The values the tables would show after a failed decoding.
ArchiveValues FailureValues(TableFamily family, char kind, const QDate &recordDate) {
    ArchiveValues v;  // T, TX, M, NDAT, VIZD and the heat values start at 0
    switch (family) {
    case TableFamily::GVRas:
    case TableFamily::C3H8: v.P = v.VP = v.VC = -1; break;
    case TableFamily::GVSU: v.P = v.VC = -1; break;
    case TableFamily::Par: v.P = v.VK = v.Q = -1; break;
    case TableFamily::Fluid: v.P = v.V = -1; break;
    case TableFamily::Heat: v.Q = -1; break;
    case TableFamily::None: break;
    }
    if (kind == kMonthly)
        v.NPIT = recordDate.day() * kDayTenths;
    else if (kind == kDaily)
        v.NPIT = 24;
    else
        v.NPIT = 1;
    return v;
}

}  // namespace

QString FamilyName(TableFamily family) {
    switch (family) {
    case TableFamily::GVRas: return QStringLiteral("GVRas");
    case TableFamily::C3H8: return QStringLiteral("C3H8");
    case TableFamily::GVSU: return QStringLiteral("GVSU");
    case TableFamily::Par: return QStringLiteral("Par");
    case TableFamily::Fluid: return QStringLiteral("Fluid");
    case TableFamily::Heat: return QStringLiteral("Heat");
    case TableFamily::None: break;
    }
    return {};
}

TableFamily FamilyFromName(const QString &name) {
    for (TableFamily f : {TableFamily::GVRas, TableFamily::C3H8, TableFamily::GVSU, TableFamily::Par,
                          TableFamily::Fluid, TableFamily::Heat})
        if (name == FamilyName(f))
            return f;
    return TableFamily::None;
}

TableFamily FamilyForMedium(char medium, bool heatDevice) {
    if (heatDevice) {
        if (medium == 'H')
            return TableFamily::Heat;
        if (medium == 'L')
            return TableFamily::Fluid;
        return TableFamily::None;
    }
    switch (medium) {
    case 'B':
    case 'V': return TableFamily::GVRas;
    case 'P': return TableFamily::C3H8;
    case 'A':
    case 'D': return TableFamily::GVSU;
    case 'Q':
    case 'S': return TableFamily::Par;
    case 'L': return TableFamily::Fluid;
    case 'H': return TableFamily::Heat;
    default: return TableFamily::None;
    }
}

bool IsSteamV6Firmware(const QString &firmwareVersion) {
    return firmwareVersion.left(6) == QLatin1String(kSteamV6Firmware);
}

int ClassifyRecord(ArchiveRecordBytes &record, char kind, LinkStatus *status) {
    auto bytesAre = [&](uint8_t value, int from, int to) {
        for (int i = from; i <= to; ++i)
            if (record[i] != value)
                return false;
        return true;
    };
    const bool allFF = bytesAre(0xFF, 1, 3) && record[5] == 0xFF;
    // Bytes 0, 4 and 21–25 are not examined for the all-zero test.
    const bool allZero = bytesAre(0x00, 1, 3) && bytesAre(0x00, 5, 20);
    if (allFF) {
        if (status)
            status->setText(Role::Label10, QStringLiteral("Запись пустая. Все ячейки равны 255"));
    } else if (allZero) {
        if (status)
            status->setText(Role::Label10, QStringLiteral("Запись пустая. Все ячейки равны 0"));
        return RecordNotStored;
    } else {
        return RecordOrdinary;
    }
    // An empty record stands for a period without power.
    record.fill(0);
    if (kind == kHourly) {
        record[ArchiveOffset::NPIT] = kHourTenths;
    } else if (kind == kDaily) {
        record[ArchiveOffset::NPIT] = kDayTenths;
    } else if (kind == kMonthly) {
        return RecordEmptyMonthly;
    }
    return RecordEmpty;
}

DecodedRecord DecodeRecord(TableFamily family, const ArchiveRecordBytes &record, char kind, const QDate &recordDate,
                           int state, const QString &firmwareVersion, LinkStatus *status) {
    DecodedRecord out;
    out.state = state;
    try {
        switch (family) {
        case TableFamily::GVRas: out.values = DecodeGas(record, true, state, recordDate); break;
        case TableFamily::C3H8: out.values = DecodeGas(record, false, state, recordDate); break;
        case TableFamily::GVSU: out.values = DecodeOrificeGas(record, state, recordDate); break;
        case TableFamily::Par:
            out.values = DecodeSteam(record, IsSteamV6Firmware(firmwareVersion), state, recordDate);
            break;
        case TableFamily::Fluid: out.values = DecodeFluid(record, state, recordDate); break;
        case TableFamily::Heat: out.values = DecodeHeat(record, state, recordDate); break;
        case TableFamily::None: out.state = RecordNotStored; break;
        }
    } catch (const DecodeFault &) {
        out.values = FailureValues(family, kind, recordDate);
        out.state = RecordNotStored;
        if (status)
            status->setText(Role::Edit1, QStringLiteral("Исключение1 Ошибка разбора данных"));
    }
    return out;
}

}  // namespace torv
