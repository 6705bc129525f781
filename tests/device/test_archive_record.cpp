// Archive record classification and decoding: units, limits, failure values and the steam layouts.
#include "device/ArchiveRecord.h"
#include "link/LinkStatus.h"

#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace torv;

namespace {

// A 26-byte record built field by field (little-endian), with some filler in the unused bytes so
// that no test record looks empty by accident.
struct Record {
    ArchiveRecordBytes bytes{};
    Record() { bytes[1] = 0x11; }
    Record &f32(int offset, float v) {
        const uint32_t b = std::bit_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            bytes[offset + i] = uint8_t(b >> (8 * i));
        return *this;
    }
    Record &bits(int offset, uint32_t b) {
        for (int i = 0; i < 4; ++i)
            bytes[offset + i] = uint8_t(b >> (8 * i));
        return *this;
    }
    Record &u16(int offset, int v) {
        bytes[offset] = uint8_t(v);
        bytes[offset + 1] = uint8_t(v >> 8);
        return *this;
    }
};

// P at 0, T at 4, VP (or spare volume) at 6, VC at 10, durations at 20, 22, 24.
Record Gas(float p, int t, float vp, float vc) {
    Record r;
    r.f32(0, p).u16(4, t).f32(6, vp).f32(10, vc).u16(20, 1).u16(22, 2).u16(24, 3);
    return r;
}

const QDate kDay(2021, 4, 30);
constexpr uint32_t kQuietNaN = 0x7FC00000;
constexpr uint32_t kNegativeNaN = 0xFFC00000;

DecodedRecord Decode(TableFamily f, const Record &r, const QString &firmware = {}, char kind = kHourly,
                     int state = RecordOrdinary) {
    return DecodeRecord(f, r.bytes, kind, kDay, state, firmware);
}

}  // namespace

TEST(ClassifyRecord, EmptyRecordsByKind) {
    struct Case {
        char kind;
        int state;
        int npit;
    } cases[] = {{kHourly, RecordEmpty, 10}, {kDaily, RecordEmpty, 240}, {kMonthly, RecordEmptyMonthly, 0}};
    for (const Case &c : cases) {
        ArchiveRecordBytes r;
        r.fill(0xFF);
        LinkStatus status;
        EXPECT_EQ(ClassifyRecord(r, c.kind, &status), c.state) << c.kind;
        EXPECT_EQ(status.text(Role::Label10), QStringLiteral("Запись пустая. Все ячейки равны 255"));
        ArchiveRecordBytes expected{};
        expected[20] = uint8_t(c.npit);
        EXPECT_EQ(r, expected) << c.kind;
    }
}

TEST(ClassifyRecord, AllZeroRecordIsNotStoredWhateverItsDurations) {
    ArchiveRecordBytes r{};
    r[0] = 7;  // bytes 0, 4 and 21–25 are not examined
    r[4] = 9;
    r[21] = r[22] = r[24] = 0x10;
    const ArchiveRecordBytes before = r;
    LinkStatus status;
    EXPECT_EQ(ClassifyRecord(r, kHourly, &status), RecordNotStored);
    EXPECT_EQ(status.text(Role::Label10), QStringLiteral("Запись пустая. Все ячейки равны 0"));
    EXPECT_EQ(r, before);
    r[20] = 1;  // byte 20 is part of the test
    EXPECT_EQ(ClassifyRecord(r, kHourly, &status), RecordOrdinary);
}

TEST(ClassifyRecord, EmptyRecordsDecodeAsPeriodsWithoutPower) {
    ArchiveRecordBytes r;
    r.fill(0xFF);
    const int state = ClassifyRecord(r, kMonthly);
    const DecodedRecord d = DecodeRecord(TableFamily::GVRas, r, kMonthly, QDate(2021, 4, 30), state);
    EXPECT_EQ(d.state, RecordEmptyMonthly);
    EXPECT_EQ(d.values.NPIT, 7200);
    EXPECT_EQ(d.values.P, 0);
    EXPECT_EQ(d.values.VC, 0);
    r.fill(0xFF);
    const DecodedRecord h = DecodeRecord(TableFamily::Par, r, kHourly, kDay, ClassifyRecord(r, kHourly));
    EXPECT_EQ(h.state, RecordEmpty);
    EXPECT_EQ(h.values.NPIT, 10);
}

TEST(DecodeRecord, GasAndPropaneUnits) {
    const Record r = Gas(2.0f, 2931, 150.0f, 12.5f);
    const DecodedRecord gas = Decode(TableFamily::GVRas, r);
    EXPECT_EQ(gas.state, RecordOrdinary);
    EXPECT_NEAR(gas.values.P, 0.196133, 1e-9);
    EXPECT_NEAR(gas.values.VP, 0.15, 1e-12);
    EXPECT_NEAR(gas.values.VC, 0.0125, 1e-12);
    EXPECT_EQ(gas.values.T, 2931);
    EXPECT_EQ(gas.values.NPIT, 1);
    EXPECT_EQ(gas.values.NDAT, 2);
    EXPECT_EQ(gas.values.VIZD, 3);
    const DecodedRecord propane = Decode(TableFamily::C3H8, r);
    EXPECT_EQ(propane.values.VP, 150);
    EXPECT_EQ(propane.values.VC, 12.5);
    EXPECT_NEAR(propane.values.P, 0.196133, 1e-9);
}

TEST(DecodeRecord, PressureVolumeAndTemperatureLimits) {
    struct Case {
        const char *what;
        float p, vp, vc;
        int t;
        double P, VP, VC;
        int T;
    } cases[] = {
        {"negative pressure ends as 0", -0.5f, 1, 1, 2931, 0, 0.001, 0.001, 2931},
        {"negative zero pressure ends as 0", -0.0f, 1, 1, 2931, 0, 0.001, 0.001, 2931},
        {"huge pressure is invalid", 2e13f, 1, 1, 2931, -1, 0.001, 0.001, 2931},
        {"tiny pressure is 0", 1e-5f, 1, 1, 2931, 0, 0.001, 0.001, 2931},
        {"tiny volume is 0", 1, 1, 0.005f, 2931, 0.0980665, 0.001, 0, 2931},
        {"any negative volume is invalid", 1, -0.005f, -0.005f, 2931, 0.0980665, -1, -1, 2931},
        {"negative zero volume is invalid", 1, -0.0f, -0.0f, 2931, 0.0980665, -1, -1, 2931},
        {"huge volumes are invalid", 1, 2e15f, 2e15f, 2931, 0.0980665, -1, -1, 2931},
        {"gas temperature above 10000", 1, 1, 1, 10001, 0.0980665, 0.001, 0.001, 0},
        {"gas temperature of 10000 stays", 1, 1, 1, 10000, 0.0980665, 0.001, 0.001, 10000},
    };
    for (const Case &c : cases) {
        const DecodedRecord d = Decode(TableFamily::GVRas, Gas(c.p, c.t, c.vp, c.vc));
        EXPECT_EQ(d.state, RecordOrdinary) << c.what;
        EXPECT_NEAR(d.values.P, c.P, 1e-7) << c.what;
        EXPECT_NEAR(d.values.VP, c.VP, 1e-9) << c.what;
        EXPECT_NEAR(d.values.VC, c.VC, 1e-9) << c.what;
        EXPECT_EQ(d.values.T, c.T) << c.what;
    }
}

TEST(DecodeRecord, OrificeGasTakesTheSpareVolume) {
    Record r = Gas(1, 2900, 4000.0f, -3.0f);
    EXPECT_NEAR(Decode(TableFamily::GVSU, r).values.VC, 4.0, 1e-12);
    r = Gas(1, 2900, 4000.0f, 2e12f);
    EXPECT_NEAR(Decode(TableFamily::GVSU, r).values.VC, 4.0, 1e-12);
    r = Gas(1, 2900, 4000.0f, 7.0f);
    EXPECT_NEAR(Decode(TableFamily::GVSU, r).values.VC, 0.007, 1e-12);
    r = Gas(1, 10001, 4000.0f, 7.0f);
    EXPECT_EQ(Decode(TableFamily::GVSU, r).values.T, 0);
}

TEST(DecodeRecord, SteamLayoutsAndLimits) {
    Record r;
    r.f32(0, 10).u16(4, 10001).f32(6, 5.5f).f32(10, 2000).u16(14, 4000).f32(16, 1.25f).u16(20, 10);
    const DecodedRecord plain = Decode(TableFamily::Par, r, QStringLiteral("MPrgV5.2"));
    EXPECT_EQ(plain.values.T, 10001);  // a gas limit does not apply to steam
    EXPECT_EQ(plain.values.TX, 4000);
    EXPECT_FLOAT_EQ(plain.values.Q, 1.25);
    EXPECT_FLOAT_EQ(plain.values.M, 5.5);
    EXPECT_DOUBLE_EQ(plain.values.VK, 2.0);
    EXPECT_NEAR(plain.values.P, 0.980665, 1e-9);

    Record v6;
    v6.f32(0, 10).u16(4, 20001).f32(6, -0.5f).f32(10, -1).f32(14, 3.75f).u16(20, 10);
    const DecodedRecord six = Decode(TableFamily::Par, v6, QStringLiteral("MPrgV6.15"));
    EXPECT_FLOAT_EQ(six.values.Q, 3.75);
    EXPECT_EQ(six.values.TX, 0);
    EXPECT_EQ(six.values.T, 0);
    EXPECT_EQ(six.values.M, 0);    // below −0.0001
    EXPECT_EQ(six.values.VK, -1);  // sign set
    // Only the first six characters decide the layout.
    EXPECT_NE(Decode(TableFamily::Par, v6, QStringLiteral("MPrgV5")).values.Q, 3.75);
    EXPECT_NE(Decode(TableFamily::Par, v6, QStringLiteral("mprgv6")).values.Q, 3.75);
}

TEST(DecodeRecord, LiquidAndHeat) {
    Record liquid;
    liquid.f32(0, 0.005f).f32(4, 3).u16(8, 50001).u16(20, 240);
    const DecodedRecord l = Decode(TableFamily::Fluid, liquid, {}, kDaily);
    EXPECT_EQ(l.values.V, 0);
    EXPECT_NEAR(l.values.P, 0.2941995, 1e-9);
    EXPECT_EQ(l.values.T, 0);
    EXPECT_EQ(l.values.NPIT, 240);

    Record heat;
    heat.u16(0, 1500).u16(2, 20001).f32(4, 12.5f).u16(8, 65001).u16(10, 3531).f32(12, 7).f32(16, -0.5f);
    const DecodedRecord h = Decode(TableFamily::Heat, heat);
    EXPECT_EQ(h.values.P1, 1500);
    EXPECT_EQ(h.values.T1, 0);
    EXPECT_EQ(h.values.P2, 65001);  // heat pressures are taken as they are
    EXPECT_EQ(h.values.T2, 3531);
    EXPECT_EQ(h.values.M1, 12.5);
    EXPECT_EQ(h.values.Q, 0);
    heat.f32(16, 2e12f);
    EXPECT_EQ(Decode(TableFamily::Heat, heat).values.Q, -1);
}

TEST(DecodeRecord, ValuesThatAreNotNumbersFailTheRecord) {
    struct Case {
        TableFamily family;
        Record record;
        const char *what;
    } cases[] = {
        {TableFamily::GVRas, Record(Gas(1, 1, 1, 1)).bits(0, kQuietNaN), "gas P"},
        {TableFamily::GVRas, Record(Gas(1, 1, 1, 1)).bits(10, kQuietNaN), "gas VC"},
        {TableFamily::C3H8, Record(Gas(1, 1, 1, 1)).bits(6, kQuietNaN), "propane VP"},
        {TableFamily::GVSU, Record(Gas(1, 1, 1, 1)).bits(10, kQuietNaN), "orifice VC"},
        {TableFamily::Par, Record(Gas(1, 1, 1, 1)).bits(16, kQuietNaN), "steam Q"},
        {TableFamily::Par, Record(Gas(1, 1, 1, 1)).f32(6, std::numeric_limits<float>::infinity()), "steam M infinite"},
        {TableFamily::Heat, Record().bits(4, kQuietNaN), "heat M1"},
        {TableFamily::Fluid, Record().bits(4, kQuietNaN), "liquid P"},
    };
    for (const Case &c : cases) {
        LinkStatus status;
        const DecodedRecord d = DecodeRecord(c.family, c.record.bytes, kMonthly, kDay, RecordOrdinary, {}, &status);
        EXPECT_EQ(d.state, RecordNotStored) << c.what;
        EXPECT_EQ(status.text(Role::Edit1), QStringLiteral("Исключение1 Ошибка разбора данных")) << c.what;
        EXPECT_EQ(d.values.NPIT, 7200) << c.what;
        EXPECT_EQ(d.values.NDAT, 0) << c.what;
        EXPECT_EQ(d.values.VIZD, 0) << c.what;
    }
    // A not-a-number with the sign bit is caught by the sign test first.
    const DecodedRecord signedNaN = Decode(TableFamily::GVRas, Record(Gas(1, 1, 1, 1)).bits(0, kNegativeNaN));
    EXPECT_EQ(signedNaN.state, RecordOrdinary);
    EXPECT_EQ(signedNaN.values.P, 0);
}

TEST(DecodeRecord, FailureValuesOfEachFamily) {
    const Record bad = Record(Gas(1, 2931, 1, 1)).bits(0, kQuietNaN).bits(16, kQuietNaN).bits(4, kQuietNaN);
    const DecodedRecord gas = Decode(TableFamily::GVRas, bad, {}, kDaily);
    EXPECT_EQ(gas.values.P, -1);
    EXPECT_EQ(gas.values.VP, -1);
    EXPECT_EQ(gas.values.VC, -1);
    EXPECT_EQ(gas.values.T, 0);
    EXPECT_EQ(gas.values.NPIT, 24);
    const DecodedRecord steam = Decode(TableFamily::Par, bad);
    EXPECT_EQ(steam.values.P, -1);
    EXPECT_EQ(steam.values.VK, -1);
    EXPECT_EQ(steam.values.Q, -1);
    EXPECT_EQ(steam.values.M, 0);
    EXPECT_EQ(steam.values.NPIT, 1);
    const DecodedRecord liquid = Decode(TableFamily::Fluid, bad);
    EXPECT_EQ(liquid.values.P, -1);
    EXPECT_EQ(liquid.values.V, -1);
    const DecodedRecord heat = Decode(TableFamily::Heat, bad);
    EXPECT_EQ(heat.values.Q, -1);
    EXPECT_EQ(heat.values.P1, 0);
    EXPECT_EQ(heat.values.M1, 0);
}

TEST(TableFamilies, ByMediumAndName) {
    const struct {
        char medium;
        bool heatDevice;
        TableFamily family;
    } cases[] = {
        {'V', false, TableFamily::GVRas},      {'B', false, TableFamily::GVRas}, {'P', false, TableFamily::C3H8},
        {'D', false, TableFamily::GVSU},       {'A', false, TableFamily::GVSU},  {'S', false, TableFamily::Par},
        {'Q', false, TableFamily::Par},        {'L', false, TableFamily::Fluid}, {'H', true, TableFamily::Heat},
        {'L', true, TableFamily::Fluid},       {'S', true, TableFamily::None},   {'T', false, TableFamily::None},
        {char(0xFF), false, TableFamily::None}};
    for (const auto &c : cases)
        EXPECT_EQ(FamilyForMedium(c.medium, c.heatDevice), c.family) << c.medium;
    for (const char *name : {"GVRas", "C3H8", "GVSU", "Par", "Fluid", "Heat"})
        EXPECT_EQ(FamilyName(FamilyFromName(QLatin1String(name))), QLatin1String(name));
    EXPECT_EQ(FamilyFromName(QStringLiteral("gvras")), TableFamily::None);
}
