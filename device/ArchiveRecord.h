// Archive records of the device: the 26-byte hourly, daily and monthly entries a channel keeps in
// flash. Classification of empty records and decoding of the raw fields into the stored values of
// the channel's table family, with their unit conversions, limits and failure values.
#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <cstdint>

namespace torv {

class LinkStatus;

// The table family of a channel: fixes the template, the columns and the writer of its tables.
enum class TableFamily { None, GVRas, C3H8, GVSU, Par, Fluid, Heat };

// "GVRas", "C3H8", "GVSU", "Par", "Fluid", "Heat" (the download names); "" for None.
QString FamilyName(TableFamily family);
// The family of a download name; None for any other text.
TableFamily FamilyFromName(const QString &name);
// The family a channel's medium code selects; a heat device uses Heat for its 'H' channel.
TableFamily FamilyForMedium(char medium, bool heatDevice = false);

// Archive kind letters.
constexpr char kHourly = 'h';
constexpr char kDaily = 'd';
constexpr char kMonthly = 'm';

constexpr int kArchiveRecordSize = 26;
using ArchiveRecordBytes = std::array<uint8_t, kArchiveRecordSize>;

// Record state kept by the download driver for the record in hand.
enum RecordState : int {
    RecordOrdinary = 0,
    RecordEmpty = 1,         // all 0xFF (hourly and daily)
    RecordEmptyMonthly = 2,  // empty monthly record
    RecordNotStored = 3,     // all zero, or decoding failed
};

// Byte offsets of the fields, the same in every family from offset 20 on.
namespace ArchiveOffset {
constexpr int P = 0;
constexpr int T = 4;
constexpr int VP = 6;   // GVRas/C3H8 VP, GVSU spare volume, steam M
constexpr int VC = 10;  // GVRas/GVSU VC, steam VK
constexpr int SteamTX = 14;
constexpr int SteamQ = 16;
constexpr int SteamQV6 = 14;  // steam Q in the "MPrgV6" layout
constexpr int FluidV = 0;
constexpr int FluidP = 4;
constexpr int FluidT = 8;
constexpr int HeatP1 = 0;
constexpr int HeatT1 = 2;
constexpr int HeatM1 = 4;
constexpr int HeatP2 = 8;
constexpr int HeatT2 = 10;
constexpr int HeatM2 = 12;
constexpr int HeatQ = 16;
constexpr int NPIT = 20;
constexpr int NDAT = 22;
constexpr int VIZD = 24;
}  // namespace ArchiveOffset

// The stored values of one record; each family uses its own subset.
struct ArchiveValues {
    double P = 0, VP = 0, VC = 0;           // gas, propane; P also steam and liquid
    double M = 0, VK = 0, Q = 0;            // steam (Q also heat)
    double V = 0;                           // liquid
    double P1 = 0, M1 = 0, P2 = 0, M2 = 0;  // heat
    int T = 0, TX = 0, T1 = 0, T2 = 0;      // tenths of a kelvin
    int NPIT = 0, NDAT = 0, VIZD = 0;       // tenths of an hour
};

struct DecodedRecord {
    ArchiveValues values;
    int state = RecordOrdinary;
};

// Firmware whose steam records carry Q at offset 14.
constexpr const char *kSteamV6Firmware = "MPrgV6";
bool IsSteamV6Firmware(const QString &firmwareVersion);

// Classifies the record as read and replaces an empty one (hourly: zeros with NPIT = 10, daily:
// zeros with NPIT = 240, monthly: zeros and state 2). Shows the empty-record texts in Label10.
int ClassifyRecord(ArchiveRecordBytes &record, char kind, LinkStatus *status = nullptr);

// Decodes the record for the family. A value that is not a number, or one the tables cannot hold,
// ends the decoding: the family's failure values, "Исключение1 Ошибка разбора данных" in Edit1 and
// state 3. firmwareVersion selects the steam layout.
DecodedRecord DecodeRecord(TableFamily family, const ArchiveRecordBytes &record, char kind, const QDate &recordDate,
                           int state, const QString &firmwareVersion = {}, LinkStatus *status = nullptr);

}  // namespace torv
