#include "sim/SimParamLog.h"

#include "device/DevData.h"
#include "sim/SimHash.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace torv {

using namespace simhash;

namespace {

// Record layout.
constexpr int kClass = 0;
constexpr int kByte1 = 1;
constexpr int kByte2 = 2;
constexpr int kStamp = 3;      // minute, hour, day, month, year
constexpr int kValue = 8;      // f32
constexpr int kPrevious = 12;  // f32
constexpr int kSwitch = 12;    // 'E' on, 'D' off (contract switching)
constexpr int kChannelByte = 15;
constexpr uint8_t kNotChannel = 0xFF;  // byte 1 of the device-wide 'P' records

constexpr uint8_t kOn = 'E';
constexpr uint8_t kOff = 'D';

constexpr int kSaltDay = 40;
constexpr int kSaltPick = 41;

QByteArray Blank(char cls, const QDateTime &at) {
    QByteArray r(paramlog::kRecordSize, char(0xFF));
    r[kClass] = cls;
    r[kStamp] = char(IntToBcd(at.time().minute()));
    r[kStamp + 1] = char(IntToBcd(at.time().hour()));
    r[kStamp + 2] = char(IntToBcd(at.date().day()));
    r[kStamp + 3] = char(IntToBcd(at.date().month()));
    r[kStamp + 4] = char(IntToBcd(at.date().year() % 100));
    return r;
}

void PutWord(QByteArray &r, uint16_t word) {
    r[kByte1] = char(word & 0xFF);
    r[kByte2] = char(word >> 8);
}

uint8_t ChannelByte(int channel) { return uint8_t((channel - 1) * 16); }

}  // namespace

QByteArray ConstantChangeRecord(const QDateTime &at, char parameter, float newValue, float oldValue) {
    QByteArray r = Blank('P', at);
    r[kByte1] = char(kNotChannel);
    r[kByte2] = parameter;
    PutFloat(r, kValue, newValue);
    PutFloat(r, kPrevious, oldValue);
    return r;
}

QByteArray ZeroCorrectionRecord(const QDateTime &at, int channel, int sensor, float newValue, float previous) {
    QByteArray r = Blank('P', at);
    r[kByte1] = char(ChannelByte(channel));
    r[kByte2] = char(sensor);
    PutFloat(r, kValue, newValue);
    PutFloat(r, kPrevious, previous);
    return r;
}

QByteArray SeasonRecord(const QDateTime &at, bool summer) {
    QByteArray r = Blank('P', at);
    r[kByte1] = char(kNotChannel);
    r[kByte2] = char(summer ? kOn : kOff);
    return r;
}

QByteArray TotalsResetRecord(const QDateTime &at) {
    QByteArray r = Blank('D', at);
    r[kByte1] = 'T';
    return r;
}

QByteArray ClockChangeRecord(const QDateTime &at, const QDateTime &newClock) {
    QByteArray r = Blank('D', at);
    r[kByte1] = 'C';
    r[kValue] = char(IntToBcd(newClock.time().minute()));
    r[kValue + 1] = char(IntToBcd(newClock.time().hour()));
    r[kValue + 2] = char(IntToBcd(newClock.date().day()));
    r[kValue + 3] = char(IntToBcd(newClock.date().month()));
    r[kValue + 4] = char(IntToBcd(newClock.date().year() % 100));
    return r;
}

QByteArray ContractSwitchRecord(const QDateTime &at, uint16_t sensorWord, float value, bool on, int channel) {
    QByteArray r = Blank('C', at);
    PutWord(r, sensorWord);
    PutFloat(r, kValue, value);
    r[kSwitch] = char(on ? kOn : kOff);
    r[kChannelByte] = char(ChannelByte(channel));
    return r;
}

QByteArray HoldModeRecord(const QDateTime &at, bool on, int channel) {
    QByteArray r = Blank('H', at);
    r[kByte2] = char(on ? kOn : kOff);
    r[kChannelByte] = char(ChannelByte(channel));
    return r;
}

QByteArray ContractChangeRecord(const QDateTime &at, uint16_t sensorWord, float newValue) {
    QByteArray r = Blank('S', at);
    PutWord(r, sensorWord);
    PutFloat(r, kValue, newValue);
    return r;
}

int ParameterRecordType(const QByteArray &r) {
    if (r.size() < paramlog::kRecordSize)
        return 0;
    const uint8_t b0 = uint8_t(r[0]), b1 = uint8_t(r[1]), b2 = uint8_t(r[2]);
    if (b0 == 'P' && b1 == 0xFF && QByteArray("PRCNT").contains(char(b2)))
        return 1;
    if (b0 == 'P' && b1 != 0xFF)
        return 2;
    if (b0 == 'P' && b1 == 0xFF && (b2 == kOn || b2 == kOff))
        return 3;
    if (b0 == 'D' && b1 == 'T')
        return 4;
    if (b0 == 'D' && b1 == 'C')
        return 5;
    if (b0 == 'C')
        return 6;
    if (b0 == 'H')
        return 7;
    if (b0 == 'S')
        return 8;
    return 0;
}

QDateTime ParameterRecordTime(const QByteArray &r) {
    auto at = [&](int i) { return BcdToInt(uint8_t(r[kStamp + i])); };
    const QDate d(2000 + at(4), at(3), at(2));
    const QTime t(at(1), at(0));
    return d.isValid() && t.isValid() ? QDateTime(d, t, Qt::UTC) : QDateTime();
}

namespace {

// A measured quantity of a channel record that contract records can name.
struct Sensor {
    int channel;
    int word;  // position in the channel record
    uint16_t sensorWord;
    float contract;  // the device's unit: kgf/cm², K, m³/h
};

constexpr uint8_t kNoSensorLetter = 'D';

float ContractOf(const QByteArray &image, uint16_t sensorWord, int word, uint8_t medium) {
    const int at = DescriptorAddress(uint8_t(sensorWord & 0xFF), sensorWord >> 8);
    if (at >= 0 && at + img::kDescriptorSize <= image.size()) {
        const float v = FloatAt(image, at + sdesc::kContract);
        if (std::isfinite(v) && std::fabs(v) < 1e6f)
            return v;
    }
    const bool temperature = medium == 'H' ? (word == 1 || word == 5) : word == 1;
    const bool pressure = medium == 'H' ? (word == 0 || word == 4) : word == 0;
    return temperature ? 288.15f : pressure ? 5.0f : 10.0f;
}

// The sensors the contract records may name: the measuring channels' pressure, temperature and
// flow or differential-pressure words (the heat channel's both pipes); channels of other media
// only when there are no such channels.
std::vector<Sensor> SensorsOf(const QByteArray &image) {
    std::vector<Sensor> named, other;
    for (int n = 1; n <= 4; ++n) {
        const int rec = img::kChannelRecords + img::kChannelRecordSize * (n - 1);
        const uint8_t medium = uint8_t(image[rec]);
        if (medium == kNoMedium)
            continue;
        const bool heat = medium == 'H';
        const bool known = QByteArray("DASVBPQH").contains(char(medium));
        const std::vector<int> words = heat ? std::vector<int>{0, 1, 2, 4, 5, 6} : std::vector<int>{0, 1, 2};
        for (int k : words) {
            const uint16_t w = U16At(image, rec + 1 + 2 * k);
            if (w == 0xFFFF || (w & 0xFF) == kNoSensorLetter)
                continue;
            (known ? named : other).push_back({n, k, w, ContractOf(image, w, k, medium)});
        }
    }
    return named.empty() ? other : named;
}

int FirstChannel(const QByteArray &image) {
    for (int n = 1; n <= 4; ++n)
        if (uint8_t(image[img::kChannelRecords + img::kChannelRecordSize * (n - 1)]) != kNoMedium)
            return n;
    return 1;
}

struct Event {
    QDateTime at;
    QByteArray record;
};

// The constants of type-1 records: density, carbon dioxide, nitrogen, barometric pressure and
// standard temperature, with their values before and after.
struct ConstantChange {
    char letter;
    float before, after;
};
constexpr ConstantChange kConstants[] = {
    {'R', 0.675f, 0.68f}, {'C', 0.12f, 0.15f}, {'N', 1.1f, 1.25f}, {'P', 745.0f, 752.5f}, {'T', 293.0f, 293.15f},
};

// One intervention of type 1…8 at `at`; k varies its contents.
QByteArray Intervention(int type, const QDateTime &at, uint64_t k, const std::vector<Sensor> &sensors, int channel) {
    const Sensor *s = sensors.empty() ? nullptr : &sensors[k % sensors.size()];
    const float drift = float(int(k % 7) - 3) * 0.001f;
    switch (type) {
    case 1: {
        const ConstantChange &c = kConstants[k % std::size(kConstants)];
        return ConstantChangeRecord(at, c.letter, c.after + drift, c.before);
    }
    case 2: return ZeroCorrectionRecord(at, s ? s->channel : channel, int(k % 4), 0.012f + drift, drift);
    case 3: return SeasonRecord(at, k % 2 == 0);
    case 4: return TotalsResetRecord(at);
    case 5: return ClockChangeRecord(at, at.addSecs(60 * (int(k % 9) - 4)));
    case 6:
        if (s)
            return ContractSwitchRecord(at, s->sensorWord, s->contract, k % 2 == 0, s->channel);
        return HoldModeRecord(at, k % 2 == 0, channel);
    case 7: return HoldModeRecord(at, k % 2 == 0, s ? s->channel : channel);
    default:
        if (s)
            return ContractChangeRecord(at, s->sensorWord, s->contract * (1.0f + float(int(k % 5) - 2) * 0.02f));
        return TotalsResetRecord(at);
    }
}

// Log times are the device clock's: counted without time zones or daylight saving.
QDateTime Naive(const QDateTime &t) { return QDateTime(t.date(), t.time(), Qt::UTC); }
QDateTime Naive(const QDate &d, const QTime &t) { return QDateTime(d, t, Qt::UTC); }

QDate LastSunday(int year, int month) {
    QDate d = QDate(year, month, 1).addMonths(1).addDays(-1);
    while (d.dayOfWeek() != 7)
        d = d.addDays(-1);
    return d;
}

std::vector<Event> Interventions(const QByteArray &image, uint32_t seed, const QDateTime &start, const QDateTime &now) {
    const std::vector<Sensor> sensors = SensorsOf(image);
    const int channel = FirstChannel(image);
    std::vector<Event> events;
    auto add = [&](const QDateTime &at, const QByteArray &record) { events.push_back({at, record}); };

    // Commissioning: every kind of intervention once.
    add(start.addSecs(5 * 60), TotalsResetRecord(start.addSecs(5 * 60)));
    for (size_t i = 0; i < std::size(kConstants); ++i) {
        const QDateTime at = start.addSecs(60 * (10 + int(i)));
        add(at, ConstantChangeRecord(at, kConstants[i].letter, kConstants[i].after, kConstants[i].before));
    }
    const int sensorChannel = sensors.empty() ? channel : sensors.front().channel;
    const QDateTime zero = start.addSecs(3600);
    add(zero, ZeroCorrectionRecord(zero, sensorChannel, 0, 0.012f, 0.0f));
    for (size_t i = 0; i < sensors.size(); ++i) {
        const QDateTime at = start.addSecs(3600 + 60 * (20 + int(i)));
        add(at, ContractChangeRecord(at, sensors[i].sensorWord, sensors[i].contract));
    }
    if (!sensors.empty()) {
        const Sensor &s = sensors[std::min<size_t>(1, sensors.size() - 1)];
        add(start.addSecs(2 * 3600),
            ContractSwitchRecord(start.addSecs(2 * 3600), s.sensorWord, s.contract, true, s.channel));
        add(start.addSecs(5 * 3600),
            ContractSwitchRecord(start.addSecs(5 * 3600), s.sensorWord, s.contract, false, s.channel));
    }
    add(start.addSecs(3 * 3600), HoldModeRecord(start.addSecs(3 * 3600), true, channel));
    add(start.addSecs(3 * 3600 + 1800), HoldModeRecord(start.addSecs(3 * 3600 + 1800), false, channel));
    const QDateTime clockSet = start.addSecs(6 * 3600);
    add(clockSet, ClockChangeRecord(clockSet, clockSet.addSecs(-3 * 60)));
    add(start.addSecs(7 * 3600), SeasonRecord(start.addSecs(7 * 3600), false));

    // Summer time on the last Sunday of March, winter time on the last Sunday of October.
    for (int year = start.date().year(); year <= now.date().year(); ++year) {
        const QDateTime summer = Naive(LastSunday(year, 3), QTime(2, 0));
        const QDateTime winter = Naive(LastSunday(year, 10), QTime(3, 0));
        if (summer > start)
            add(summer, SeasonRecord(summer, true));
        if (winter > start)
            add(winter, SeasonRecord(winter, false));
    }

    // Now and then an intervention of the service staff.
    constexpr int kOccasional[] = {1, 2, 5, 6, 7, 8, 8, 2};
    for (QDate d = start.date().addDays(1); d <= now.date(); d = d.addDays(1)) {
        const uint64_t h = Hash(seed, 0, d.toJulianDay(), kSaltDay);
        if (Unit(h) >= 0.06)
            continue;
        const uint64_t pick = Hash(seed, 1, d.toJulianDay(), kSaltPick);
        const QDateTime at = Naive(d, QTime(int(Mix(h) % 24), int(Mix(pick) % 60)));
        add(at, Intervention(kOccasional[pick % std::size(kOccasional)], at, pick >> 8, sensors, channel));
    }

    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) { return a.at < b.at; });
    std::erase_if(events, [&](const Event &e) { return e.at > now; });
    if (events.size() > size_t(paramlog::kCapacity - 1))  // room for the end record
        events.resize(size_t(paramlog::kCapacity - 1));
    return events;
}

}  // namespace

std::vector<QByteArray> ParameterLogRecords(const QByteArray &image, uint32_t seed, const QDateTime &deviceStart,
                                            const QDateTime &deviceNow, bool full) {
    const QDateTime start = Naive(deviceStart), now = Naive(deviceNow);
    std::vector<QByteArray> records;
    if (full) {
        // Every type in turn, spread evenly over the time since the start of work.
        const std::vector<Sensor> sensors = SensorsOf(image);
        const int channel = FirstChannel(image);
        const qint64 span = std::max<qint64>(start.secsTo(now), paramlog::kCapacity * 60);
        for (int i = 0; i < paramlog::kCapacity; ++i) {
            const QDateTime at = start.addSecs(span * i / paramlog::kCapacity);
            records.push_back(Intervention(1 + i % 8, at, Hash(seed, 2, i, kSaltPick), sensors, channel));
        }
        return records;
    }
    for (const Event &e : Interventions(image, seed, start, now))
        records.push_back(e.record);
    return records;
}

}  // namespace torv
