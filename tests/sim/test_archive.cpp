// The simulated device's archive memory: where records lie, the record being filled, the monthly
// slots, the parameter log, the expected rows of a download, and the clock moved back. Everything
// runs in-process on a virtual clock.
#include "protocol/BlockRead.h"
#include "sim/ExpectedRows.h"
#include "sim/ImageBuilder.h"
#include "sim/SimArchive.h"
#include "sim/SimFixture.h"
#include "sim/SimParamLog.h"
#include "device/DevData.h"

#include <gtest/gtest.h>
#include <cmath>
#include <set>

using namespace torv;
using torvtest::SimBench;

namespace {

// The device of the download example: contract hour 10, start of work 14:00 on 15.03.2019, device
// clock 09:36 on 20.04.2019.
const QDateTime kNow(QDate(2019, 4, 20), QTime(9, 36, 0));
const QDateTime kStart(QDate(2019, 3, 15), QTime(14, 0));

SimOptions Options(const QString &scenario = QStringLiteral("gas4"), uint32_t seed = 7) {
    SimOptions o;
    o.scenario = scenario;
    o.seed = seed;
    return o;
}

SimOptions ExampleOptions() {
    SimOptions o = Options();
    o.startOfWork = kStart;
    o.contractHour = 10;
    return o;
}

std::shared_ptr<Torv2Simulator> MakeSim(const SimOptions &o, const QDateTime &now = kNow) {
    return std::make_shared<Torv2Simulator>(o, [now] { return now; });
}

ArchiveRecordBytes Bytes(const QByteArray &b) {
    ArchiveRecordBytes r{};
    for (size_t i = 0; i < r.size(); ++i)
        r[i] = uint8_t(b[int(i)]);
    return r;
}

bool Erased(const ArchiveRecordBytes &r) {
    return std::all_of(r.begin(), r.end(), [](uint8_t b) { return b == 0xFF; });
}

DecodedRecord Decoded(TableFamily f, ArchiveRecordBytes r, char kind, const QDate &dt = QDate(2019, 4, 30)) {
    const int state = ClassifyRecord(r, kind);
    return DecodeRecord(f, r, kind, dt, state, QString());
}

// Every stored column of a family, for row comparisons.
std::vector<double> Columns(const ArchiveValues &v) {
    return {v.P,          v.VP,           v.VC,           v.M,           v.VK,        v.Q,          v.V,
            v.P1,         v.M1,           v.P2,           v.M2,          double(v.T), double(v.TX), double(v.T1),
            double(v.T2), double(v.NPIT), double(v.NDAT), double(v.VIZD)};
}

}  // namespace

// --- placement -------------------------------------------------------------------------------

TEST(ArchiveMemory, RecordsLieWhereTheDownloadLooksForThem) {
    auto sim = MakeSim(ExampleOptions());
    const SimArchive &a = sim->archive();
    struct Case {
        const char *what;
        char kind;
        int channel;
        QDate day;
        int slot;
        FlashPlace place;
    };
    const Case cases[] = {
        // March is odd: sectors 3 (channels 1, 2) and 4 (channels 3, 4); April even: 1 and 2.
        {"first record after the start of work", 'h', 1, QDate(2019, 3, 15), 4, {3, 14 * 624 + 4 * 26}},
        {"odd month, upper channel", 'h', 2, QDate(2019, 3, 31), 23, {3, 0x8000 + 30 * 624 + 23 * 26}},
        {"odd month, second group", 'h', 3, QDate(2019, 3, 20), 0, {4, 19 * 624}},
        {"even month, upper channel", 'h', 2, QDate(2019, 4, 5), 0, {1, 0x8000 + 4 * 624}},
        {"even month, second group, upper", 'h', 4, QDate(2019, 4, 19), 22, {2, 0x8000 + 18 * 624 + 22 * 26}},
        {"daily, odd month", 'd', 1, QDate(2019, 3, 20), 0, {3, 0x5000 + 19 * 26}},
        {"daily, even month, second group", 'd', 3, QDate(2019, 4, 2), 0, {2, 0x5000 + 26}},
        {"daily, even month, upper", 'd', 4, QDate(2019, 4, 10), 0, {2, 0x8000 + 0x5000 + 9 * 26}},
        {"monthly, March of channel 2", 'm', 2, QDate(2019, 3, 1), 0, {7, 2 * 104 + 26}},
        {"monthly, the month in hand of channel 4", 'm', 4, QDate(2019, 4, 1), 0, {7, 3 * 104 + 3 * 26}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FlashPlace p;
        ArchiveRecordBytes expected;
        if (c.kind == 'h') {
            p = SimArchive::HourPlace(c.channel, c.day, c.slot);
            expected = a.hourRecord(c.channel, c.day, c.slot, kNow);
        } else if (c.kind == 'd') {
            p = SimArchive::DayPlace(c.channel, c.day);
            expected = a.dayRecord(c.channel, c.day, kNow);
        } else {
            p = SimArchive::MonthPlace(c.channel, c.day.month());
            expected = a.monthRecord(c.channel, c.day, kNow);
        }
        EXPECT_EQ(p, c.place);
        const ArchiveRecordBytes served = Bytes(sim->flash(c.place.sector, c.place.address, 26));
        EXPECT_EQ(served, expected);
        EXPECT_FALSE(Erased(served));
    }
    // Before the start of work the device wrote nothing; the day of the start is written from it.
    EXPECT_TRUE(Erased(Bytes(sim->flash(3, 14 * 624 + 3 * 26, 26))));
    EXPECT_TRUE(Erased(Bytes(sim->flash(3, 0x5000 + 13 * 26, 26))));
    EXPECT_FALSE(Erased(Bytes(sim->flash(3, 0x5000 + 14 * 26, 26))));
    // Nothing beyond the records: the gap between the hourly and the daily area stays erased.
    EXPECT_EQ(sim->flash(1, 31 * 624, 0x5000 - 31 * 624), QByteArray(0x5000 - 31 * 624, char(0xFF)));
}

TEST(ArchiveMemory, StartOfWorkAndContractHourInTheImage) {
    auto sim = MakeSim(ExampleOptions());
    const QByteArray image = sim->flash(0, kImageAddress, kImageSize);
    EXPECT_EQ(image, sim->deviceImage());
    // The stamp counts from the contract hour: 04:00 on 15.03.2019 is 14:00 on the clock.
    EXPECT_EQ(image.mid(img::kStartOfWork, 5), QByteArray("\x04\x15\x03\x19\x0A", 5));
    EXPECT_EQ(StartOfWorkOf(image), kStart);

    // By default a year of history, from the contract hour of the scenario's image (gas4: 10);
    // before the contract hour the metering day in hand is the day before.
    auto year = MakeSim(Options(), QDateTime(QDate(2019, 4, 20), QTime(12, 0)));
    EXPECT_EQ(StartOfWorkOf(year->deviceImage()), QDateTime(QDate(2018, 4, 20), QTime(10, 0)));
    auto early = MakeSim(Options());
    EXPECT_EQ(StartOfWorkOf(early->deviceImage()), QDateTime(QDate(2018, 4, 19), QTime(10, 0)));

    // A heat device keeps the start unshifted; a negative history keeps the image's own stamp.
    SimOptions heat = Options(QStringLiteral("heat"));
    heat.historyDays = 30;
    heat.contractHour = 6;
    const QByteArray heatImage = MakeSim(heat)->deviceImage();
    EXPECT_EQ(uint8_t(heatImage[img::kContractHour]), 6);
    EXPECT_EQ(heatImage.mid(img::kStartOfWork, 4), QByteArray("\x06\x21\x03\x19", 4));
    SimOptions own = Options(QStringLiteral("steam"));
    own.historyDays = -1;
    EXPECT_EQ(MakeSim(own)->deviceImage(), ScenarioImage(QStringLiteral("steam")));
}

TEST(ArchiveMemory, SameSeedSameMemory) {
    const QByteArray a = MakeSim(ExampleOptions())->flash(3, 0, 0x10000);
    EXPECT_EQ(a, MakeSim(ExampleOptions())->flash(3, 0, 0x10000));
    SimOptions other = ExampleOptions();
    other.seed = 8;
    EXPECT_NE(a, MakeSim(other)->flash(3, 0, 0x10000));
}

// Steam records carry Q at offset 14 for "MPrgV6" firmware, else the cold-water temperature there
// and Q at 16.
TEST(ArchiveMemory, SteamLayoutFollowsTheFirmware) {
    const QDate day(2019, 4, 10);
    for (const char *firmware : {"MPrgV6.1 steam", "MPrgV5.1 steam"}) {
        SCOPED_TRACE(firmware);
        QByteArray image = ScenarioImage(QStringLiteral("steam"));
        PutTextField(image, img::kFirmwareVersion, img::kLongTextCapacity, QByteArray(firmware));
        const SimArchive a(image, 5, kStart);
        const DecodedRecord r = DecodeRecord(TableFamily::Par, a.hourRecord(1, day, 3, kNow), 'h', day, RecordOrdinary,
                                             QString::fromLatin1(firmware));
        ASSERT_EQ(r.state, RecordOrdinary);
        EXPECT_GT(r.values.Q, 0.2);
        EXPECT_LT(r.values.Q, 3.0);
        if (a.steamV6()) {
            EXPECT_EQ(r.values.TX, 0);
        } else {
            EXPECT_GE(r.values.TX, 2770);
            EXPECT_LE(r.values.TX, 2890);
        }
    }
}

// --- the record being filled ------------------------------------------------------------------

TEST(ArchiveMemory, TheRecordBeingFilledIsPartial) {
    auto sim = MakeSim(ExampleOptions());
    const SimArchive &a = sim->archive();
    // 09:36 on 20.04 is slot 23 of the metering day 19.04; six tenths of it are metered.
    const QDate day(2019, 4, 19);
    const QDateTime hourDone(QDate(2019, 4, 20), QTime(10, 0));
    const DecodedRecord partial = Decoded(TableFamily::GVRas, a.hourRecord(1, day, 23, kNow), 'h');
    const DecodedRecord whole = Decoded(TableFamily::GVRas, a.hourRecord(1, day, 23, hourDone), 'h');
    ASSERT_EQ(partial.state, RecordOrdinary);
    EXPECT_GT(partial.values.VC, 0);
    EXPECT_LT(partial.values.VC, whole.values.VC);
    EXPECT_LE(partial.values.NPIT + partial.values.NDAT, 6);
    EXPECT_EQ(Bytes(sim->flash(1, 18 * 624 + 23 * 26, 26)), a.hourRecord(1, day, 23, kNow));
    // The next hour and the next metering day are not written yet.
    EXPECT_TRUE(Erased(Bytes(sim->flash(1, 19 * 624, 26))));
    EXPECT_TRUE(Erased(Bytes(sim->flash(1, 0x5000 + 19 * 26, 26))));

    const DecodedRecord today = Decoded(TableFamily::GVRas, a.dayRecord(1, day, kNow), 'd');
    const DecodedRecord dayDone = Decoded(TableFamily::GVRas, a.dayRecord(1, day, hourDone), 'd');
    EXPECT_LT(today.values.VC, dayDone.values.VC);
    EXPECT_GT(today.values.VC, 0.9 * dayDone.values.VC);

    const QDate april(2019, 4, 1);
    const DecodedRecord month = Decoded(TableFamily::GVRas, a.monthRecord(1, april, kNow), 'm');
    const DecodedRecord monthDone =
        Decoded(TableFamily::GVRas, a.monthRecord(1, april, QDateTime(QDate(2019, 5, 1), QTime(10, 0))), 'm');
    EXPECT_GT(month.values.VC, 0.5 * monthDone.values.VC);
    EXPECT_LT(month.values.VC, 0.75 * monthDone.values.VC);
    EXPECT_EQ(Bytes(sim->flash(7, 3 * 104, 26)), a.monthRecord(1, april, kNow));
}

// --- sector 7 ----------------------------------------------------------------------------------

TEST(ArchiveMemory, TwelveMonthSlotsHoldTheLastMonthOfTheirNumber) {
    SimOptions o = Options();
    o.historyDays = 500;
    auto sim = MakeSim(o);
    const SimArchive &a = sim->archive();
    for (int number = 1; number <= 12; ++number) {
        const QDate held(number <= 4 ? 2019 : 2018, number, 1);
        for (int channel = 1; channel <= 4; ++channel) {
            SCOPED_TRACE(number * 10 + channel);
            const FlashPlace p = SimArchive::MonthPlace(channel, number);
            const ArchiveRecordBytes r = Bytes(sim->flash(p.sector, p.address, 26));
            EXPECT_EQ(r, a.monthRecord(channel, held, kNow));
            EXPECT_FALSE(Erased(r));
        }
    }

    // The month is the sum of its days: volumes add up, durations too, pressure is averaged.
    const TableFamily f = TableFamily::GVRas;
    double vc = 0, vp = 0, p = 0;
    int npit = 0, ndat = 0, days = 0;
    for (QDate d(2019, 3, 1); d.month() == 3; d = d.addDays(1)) {
        const FlashPlace place = SimArchive::DayPlace(1, d);
        const DecodedRecord r = Decoded(f, Bytes(sim->flash(place.sector, place.address, 26)), 'd', d);
        vc += r.values.VC;
        vp += r.values.VP;
        npit += r.values.NPIT;
        ndat += r.values.NDAT;
        if (r.values.P > 0) {
            p += r.values.P;
            ++days;
        }
    }
    const DecodedRecord march = Decoded(f, Bytes(sim->flash(7, 2 * 104, 26)), 'm', QDate(2019, 3, 31));
    EXPECT_NEAR(march.values.VC, vc, 1e-5 * vc);
    EXPECT_NEAR(march.values.VP, vp, 1e-5 * vp);
    EXPECT_EQ(march.values.NPIT, npit);
    EXPECT_EQ(march.values.NDAT, ndat);
    EXPECT_NEAR(march.values.P, p / days, 0.02 * march.values.P);

    // A device that started in January has nothing in the slots of the months before.
    SimOptions young = Options();
    young.historyDays = 100;
    auto y = MakeSim(young);
    for (int number = 5; number <= 12; ++number)
        EXPECT_TRUE(Erased(Bytes(y->flash(7, (number - 1) * 104, 26)))) << number;
    EXPECT_FALSE(Erased(Bytes(y->flash(7, 0, 26))));
}

// --- the parameter log --------------------------------------------------------------------------

namespace {

std::vector<QByteArray> ReadLogOverTheLine(SimBench &b) {
    std::vector<QByteArray> records;
    for (int address = 0; address < 0x10000; address += 224) {
        QByteArray block(224, '\0');
        ReadFLASH(b.app, block, 5, address, 224);
        for (int i = 0; i < 224; i += 16) {
            if (uint8_t(block[i]) == paramlog::kErased)
                return records;
            records.push_back(block.mid(i, 16));
        }
    }
    return records;
}

std::set<uint16_t> SensorWords(const QByteArray &image) {
    std::set<uint16_t> words;
    for (int n = 0; n < 4; ++n)
        for (int k = 0; k < 31; ++k)
            words.insert(U16At(image, img::kChannelRecords + 64 * n + 1 + 2 * k));
    return words;
}

}  // namespace

TEST(ParameterLog, EveryTypeInTimeOrderEndedByAnErasedRecord) {
    for (const QString &scenario : {QStringLiteral("gas-vdab"), QStringLiteral("heat"), QStringLiteral("gas4")}) {
        SCOPED_TRACE(scenario.toStdString());
        SimBench b(Options(scenario), kNow);
        const std::vector<QByteArray> log = ReadLogOverTheLine(b);
        ASSERT_EQ(b.app.abortState.load(), AbortRunning);
        EXPECT_EQ(log, b.sim->archive().parameterLog(b.sim->deviceTime()));
        std::set<int> types;
        auto naive = [](const QDateTime &t) { return QDateTime(t.date(), t.time(), Qt::UTC); };
        QDateTime last = naive(StartOfWorkOf(b.sim->deviceImage()));
        const std::set<uint16_t> words = SensorWords(b.sim->deviceImage());
        for (const QByteArray &r : log) {
            const int type = ParameterRecordType(r);
            types.insert(type);
            const QDateTime at = ParameterRecordTime(r);
            EXPECT_GE(at, last);
            last = at;
            if (type == 6 || type == 8) {
                const uint16_t w = uint8_t(r[1]) | uint8_t(r[2]) << 8;
                EXPECT_TRUE(words.count(w)) << std::hex << w;
                EXPECT_NE(w & 0xFF, 'D');
            }
            if (type == 2 || type == 6 || type == 7) {
                const int channelByte = uint8_t(r[type == 2 ? 1 : 15]);
                EXPECT_EQ(channelByte % 16, 0);
                EXPECT_LT(channelByte, 64);
            }
        }
        EXPECT_LE(last, naive(b.sim->deviceTime()));
        // gas4 has no sensors connected, so nothing names a contract value.
        if (scenario == QLatin1String("gas4"))
            EXPECT_EQ(types, (std::set<int>{1, 2, 3, 4, 5, 7}));
        else
            EXPECT_EQ(types, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_GT(log.size(), 20u);
    }
}

TEST(ParameterLog, AFullLogFillsTheSectorWithoutAnEnd) {
    SimOptions o = Options(QStringLiteral("gas-vdab"));
    o.fullParameterLog = true;
    auto sim = MakeSim(o);
    const QByteArray sector = sim->flash(5, 0, 0x10000);
    std::set<int> types;
    for (int i = 0; i < 0x10000; i += 16) {
        ASSERT_NE(uint8_t(sector[i]), paramlog::kErased) << i;
        types.insert(ParameterRecordType(sector.mid(i, 16)));
    }
    EXPECT_EQ(types, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(sim->archive().parameterLog(kNow).size(), size_t(paramlog::kCapacity));
}

// --- expected rows --------------------------------------------------------------------------------

namespace {

// Reads the records of the rows through the line as the download does, eight records to a block,
// and decodes them with the program's decoder.
std::vector<ExpectedRow> ReadRows(SimBench &b, int channel, TableFamily family, char kind,
                                  const std::vector<ExpectedRow> &keys, int *blocks = nullptr) {
    std::vector<ExpectedRow> rows;
    QByteArray block;
    FlashPlace blockAt{-1, 0};
    const QString firmware = TextField(b.sim->deviceImage(), img::kFirmwareVersion, img::kLongTextCapacity);
    const int c = b.sim->archive().contractHour();
    for (const ExpectedRow &key : keys) {
        FlashPlace p = kind == 'h'   ? SimArchive::HourPlace(channel, key.dt, (key.h - c + 24) % 24)
                       : kind == 'd' ? SimArchive::DayPlace(channel, key.dt)
                                     : SimArchive::MonthPlace(channel, key.dt.month());
        if (p.sector != blockAt.sector || p.address < blockAt.address || p.address + 26 > blockAt.address + 234) {
            block = QByteArray(234, '\0');
            ReadFLASH(b.app, block, p.sector, p.address, 234);
            blockAt = p;
            if (blocks)
                ++*blocks;
        }
        ArchiveRecordBytes r = Bytes(block.mid(p.address - blockAt.address, 26));
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(r.data()), 26),
                  b.sim->archive().sector(p.sector, b.sim->deviceTime()).mid(p.address, 26));
        const int state = ClassifyRecord(r, kind);
        const DecodedRecord d = DecodeRecord(family, r, kind, key.dt, state, firmware);
        if (state != RecordNotStored && d.state != RecordNotStored)
            rows.push_back({key.dt, key.h, d.values, state != RecordOrdinary});
    }
    return rows;
}

void ExpectSameRows(const std::vector<ExpectedRow> &got, const std::vector<ExpectedRow> &want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].dt, want[i].dt) << i;
        EXPECT_EQ(got[i].h, want[i].h) << i;
        EXPECT_EQ(Columns(got[i].values), Columns(want[i].values)) << i;
    }
}

}  // namespace

TEST(ExpectedRows, TheDownloadExample) {
    auto sim = MakeSim(ExampleOptions());
    const auto hourly = ExpectedRows(*sim, 1, TableFamily::GVRas, 'h', 60);
    ASSERT_FALSE(hourly.empty());
    // From 14:00 on 15.03 (slot 4) to 08:00 on 20.04; 09:00 is being filled.
    EXPECT_EQ(hourly.front().dt, QDate(2019, 3, 15));
    EXPECT_EQ(hourly.front().h, 14);
    EXPECT_EQ(hourly.back().dt, QDate(2019, 4, 19));
    EXPECT_EQ(hourly.back().h, 8);
    EXPECT_EQ(hourly.size(), size_t(20 + 16 * 24 + 18 * 24 + 23));
    for (size_t i = 1; i < hourly.size(); ++i) {
        const int step = (hourly[i].h - hourly[i - 1].h + 24) % 24;
        ASSERT_EQ(step, 1) << i;
    }
    const auto daily = ExpectedRows(*sim, 1, TableFamily::GVRas, 'd', 60);
    EXPECT_EQ(daily.front().dt, QDate(2019, 3, 15));
    EXPECT_EQ(daily.back().dt, QDate(2019, 4, 18));
    EXPECT_EQ(daily.size(), size_t(17 + 18));
    // March only: April is being accumulated.
    const auto monthly = ExpectedRows(*sim, 1, TableFamily::GVRas, 'm', 60);
    ASSERT_EQ(monthly.size(), 1u);
    EXPECT_EQ(monthly.front().dt, QDate(2019, 3, 31));

    // Depth 10: the start date moves to 10.04 at the start hour; the monthly archive keeps its start.
    const auto shallow = ExpectedRows(*sim, 1, TableFamily::GVRas, 'h', 10);
    EXPECT_EQ(shallow.front().dt, QDate(2019, 4, 10));
    EXPECT_EQ(shallow.front().h, 14);
    EXPECT_EQ(ExpectedRows(*sim, 1, TableFamily::GVRas, 'd', 10).front().dt, QDate(2019, 4, 10));
    EXPECT_EQ(ExpectedRows(*sim, 1, TableFamily::GVRas, 'm', 10).size(), 1u);
}

TEST(ExpectedRows, DeviceDateOnTheFirstBeforeTheContractHour) {
    SimOptions o = Options();
    o.historyDays = 400;
    const QDateTime now(QDate(2019, 5, 1), QTime(5, 20));
    auto sim = MakeSim(o, now);
    // 05:00 on 01.05 is slot 19 of the metering day 30.04, still April's.
    const auto hourly = ExpectedRows(*sim, 2, TableFamily::GVSU, 'h', 60);
    EXPECT_EQ(hourly.front().dt, QDate(2019, 4, 1));
    EXPECT_EQ(hourly.front().h, 10);
    EXPECT_EQ(hourly.back().dt, QDate(2019, 4, 30));
    EXPECT_EQ(hourly.back().h, 4);
    EXPECT_EQ(hourly.size(), size_t(29 * 24 + 19));
    const auto daily = ExpectedRows(*sim, 2, TableFamily::GVSU, 'd', 60);
    EXPECT_EQ(daily.back().dt, QDate(2019, 4, 29));
    const auto monthly = ExpectedRows(*sim, 2, TableFamily::GVSU, 'm', 60);
    ASSERT_EQ(monthly.size(), 11u);  // May 2018 … March 2019; April is being accumulated
    EXPECT_EQ(monthly.front().dt, QDate(2018, 5, 31));
    EXPECT_EQ(monthly.back().dt, QDate(2019, 3, 31));
}

TEST(ExpectedRows, ReadOverTheLineTheyDecodeTheSame) {
    SimBench b(ExampleOptions(), kNow);
    const QDateTime now = b.sim->deviceTime();
    struct Case {
        int channel;
        TableFamily family;
        char kind;
    };
    for (const Case &c : {Case{2, TableFamily::GVSU, 'h'}, Case{3, TableFamily::GVRas, 'd'},
                          Case{4, TableFamily::GVSU, 'm'}, Case{1, TableFamily::GVRas, 'm'}}) {
        SCOPED_TRACE(std::string(1, c.kind) + std::to_string(c.channel));
        const auto want = ExpectedRows(*b.sim, c.channel, c.family, c.kind, 60, now);
        ExpectSameRows(ReadRows(b, c.channel, c.family, c.kind, want), want);
        EXPECT_EQ(b.app.abortState.load(), AbortRunning);
    }
}

TEST(ExpectedRows, CorruptedAndDroppedBytesChangeNoRow) {
    SimOptions o = Options(QStringLiteral("heat"));
    o.faults.corruptRate = 0.002;
    o.faults.dropRate = 0.001;
    SimBench b(o, kNow);
    const QDateTime now = b.sim->deviceTime();
    const auto want = ExpectedRows(*b.sim, 1, TableFamily::Heat, 'h', 20, now);
    ASSERT_EQ(want.size(), size_t(20 * 24 + 9));  // heat: metering days from midnight, 31.03 to 09:00
    int blocks = 0;
    ExpectSameRows(ReadRows(b, 1, TableFamily::Heat, 'h', want, &blocks), want);
    EXPECT_GT(b.sim->counters().readRequests, blocks + 10);  // damaged blocks were read again
}

// Every scenario's archives decode without a rejected record and with values of their medium.
TEST(ExpectedRows, EveryScenarioDecodesWithoutRejection) {
    for (const QString &scenario : ScenarioNames()) {
        auto sim = MakeSim(Options(scenario, 3));
        const DownloadWindow w = DownloadWindowAt(sim->deviceImage(), kNow, 60);
        const int hours = int(w.previousMonth.daysTo(w.fillingDay)) * 24 + w.fillingSlot;
        const int days = int(w.previousMonth.daysTo(w.fillingDay));
        const auto channels = ArchiveChannels(sim->deviceImage());
        ASSERT_FALSE(channels.empty()) << scenario.toStdString();
        int empty = 0;
        for (const auto &[channel, family] : channels) {
            SCOPED_TRACE(scenario.toStdString() + " " + std::to_string(channel));
            const auto h = ExpectedRows(*sim, channel, family, 'h', 60);
            const auto d = ExpectedRows(*sim, channel, family, 'd', 60);
            const auto m = ExpectedRows(*sim, channel, family, 'm', 60);
            EXPECT_EQ(h.size(), size_t(hours));
            EXPECT_EQ(d.size(), size_t(days));
            EXPECT_EQ(m.size(), 11u);
            for (const auto *rows : {&h, &d, &m}) {
                for (const ExpectedRow &r : *rows) {
                    if (r.empty) {
                        ++empty;
                        continue;
                    }
                    const ArchiveValues &v = r.values;
                    const int period = rows == &h ? 10 : rows == &d ? 240 : 240 * r.dt.day();
                    EXPECT_LE(v.NPIT + v.NDAT, period);
                    EXPECT_LE(v.VIZD, period);
                    switch (family) {
                    case TableFamily::GVRas:
                    case TableFamily::GVSU:
                        EXPECT_GE(v.P, 0.19);
                        EXPECT_LE(v.P, 0.6);
                        EXPECT_GE(v.T, 2700);
                        EXPECT_LE(v.T, 3000);
                        EXPECT_GE(v.VC, 0);
                        EXPECT_GE(v.VP, 0);
                        break;
                    case TableFamily::C3H8:
                        EXPECT_GT(v.P, 0.7);
                        EXPECT_GE(v.T, 2700);
                        EXPECT_GE(v.VC, 0);
                        break;
                    case TableFamily::Par:
                        EXPECT_GT(v.P, 0.6);
                        EXPECT_GE(v.T, 4200);
                        EXPECT_LE(v.T, 4900);
                        EXPECT_GE(v.M, 0);
                        EXPECT_GE(v.Q, 0);
                        EXPECT_GE(v.VK, 0);
                        break;
                    case TableFamily::Fluid:
                        EXPECT_GE(v.P, 0.19);
                        EXPECT_GE(v.T, 2750);
                        EXPECT_GE(v.V, 0);
                        break;
                    case TableFamily::Heat:
                        EXPECT_GT(v.P1, v.P2);
                        EXPECT_GT(v.T1, v.T2);
                        EXPECT_GT(v.T2, 3000);
                        EXPECT_GE(v.Q, 0);
                        break;
                    case TableFamily::None: ADD_FAILURE();
                    }
                }
            }
        }
        // Power cuts leave empty hours in two months of archives.
        EXPECT_GT(empty, 0) << scenario.toStdString();
    }
}

// Records damaged on purpose are the ones a download skips: all zero, or not a number.
TEST(ExpectedRows, DamagedRecordsAreNotStored) {
    SimOptions o = Options(QStringLiteral("gas-vdab"));
    o.damagedRecordRate = 0.05;
    auto sim = MakeSim(o);
    const SimArchive &a = sim->archive();
    const DownloadWindow w = DownloadWindowAt(sim->deviceImage(), kNow, 60);
    for (const auto &[channel, family] : ArchiveChannels(sim->deviceImage())) {
        SCOPED_TRACE(channel);
        std::set<std::pair<QDate, int>> stored;
        for (const ExpectedRow &r : ExpectedRows(*sim, channel, family, 'h', 60))
            stored.insert({r.dt, r.h});
        int zero = 0, notANumber = 0;
        for (QDate d = w.previousMonth; d <= w.fillingDay; d = d.addDays(1)) {
            for (int slot = 0; slot < 24 && !(d == w.fillingDay && slot >= w.fillingSlot); ++slot) {
                ArchiveRecordBytes r = a.hourRecord(channel, d, slot, kNow);
                const bool kept = stored.count({d, (w.contractHour + slot) % 24}) > 0;
                const int state = ClassifyRecord(r, 'h');
                const bool rejected =
                    state != RecordNotStored && DecodeRecord(family, r, 'h', d, state).state == RecordNotStored;
                zero += state == RecordNotStored;
                notANumber += rejected;
                EXPECT_EQ(kept, state != RecordNotStored && !rejected) << d.toString().toStdString() << " " << slot;
            }
        }
        EXPECT_GT(zero, 10);
        EXPECT_GT(notANumber, 10);
    }
    // Some days are damaged too; over the line the kept ones read the same.
    SimBench b(o, kNow);
    const auto want = ExpectedRows(*b.sim, 2, TableFamily::GVRas, 'd', 60, b.sim->deviceTime());
    EXPECT_LT(want.size(), size_t(w.previousMonth.daysTo(w.fillingDay)));
    ExpectSameRows(ReadRows(b, 2, TableFamily::GVRas, 'd', want), want);
}

// --- the clock moved back ------------------------------------------------------------------------

TEST(ClockMovedBack, TheReMeteredHoursReadDifferently) {
    auto sim = MakeSim(ExampleOptions());
    const auto before = ExpectedRows(*sim, 1, TableFamily::GVRas, 'h', 60);
    sim->moveClockBack(5);
    EXPECT_EQ(sim->deviceTime(), kNow.addSecs(-5 * 3600));
    const auto after = ExpectedRows(*sim, 1, TableFamily::GVRas, 'h', 60);
    ASSERT_EQ(after.size(), before.size() - 5);
    for (size_t i = 0; i < after.size(); ++i) {
        ASSERT_EQ(after[i].dt, before[i].dt);
        ASSERT_EQ(after[i].h, before[i].h);
        if (i + 5 < after.size()) {
            EXPECT_EQ(Columns(after[i].values), Columns(before[i].values)) << i;
        } else if (!after[i].empty) {
            // The stored temperature no longer matches: a download reports the changed clock.
            EXPECT_EQ(after[i].values.T, before[i].values.T + 5) << i;
            EXPECT_GT(after[i].values.VC, before[i].values.VC) << i;
        }
    }

    // The same device started with its clock already moved back.
    SimOptions o = ExampleOptions();
    o.clockBackHours = 5;
    auto started = MakeSim(o);
    EXPECT_EQ(started->deviceTime(), sim->deviceTime());
    EXPECT_EQ(started->flash(1, 0, 0x10000), sim->flash(1, 0, 0x10000));
}
