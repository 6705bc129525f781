// Channel objects: the configuration image read by channel. TDevObj serves the multi-medium gas
// device and keeps the device clock and the gas totals; TDevObjHeat, TDevObjFluid, TDevObjSteam and
// TDevObjC3H8 (their own headers) serve the heat, liquid, steam and propane devices. All five hold a
// copy of the 4096-byte image, a selected channel and nine approximation tables, and resolve a
// channel's sensor words to the 32-byte sensor descriptors through the layout tables of their class.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace torv {

class Prompts;

// Offsets of the configuration image (flash sector 0, 0xF000…0xFFFF).
namespace img {
constexpr int kSize = 4096;
constexpr int kModelText = 1;         // text, capacity 10
constexpr int kFactoryNumber = 12;    // text, capacity 10
constexpr int kConfiguredBy = 23;     // text, capacity 20
constexpr int kFirmwareVersion = 44;  // text, capacity 20
constexpr int kProgrammingDate = 65;  // device time stamp
constexpr int kChannelRecords = 73;   // four 64-byte channel records
constexpr int kChannelRecordSize = 64;
constexpr int kThermoCurrentArea = 329;  // '1'…'4', 'I', 'J' descriptors
constexpr int kFreqPulseArea = 841;      // 'F', 'P' descriptors
constexpr int kCurrentABArea = 1097;     // 'A', 'B' descriptors
constexpr int kDiscreteArea = 1161;      // 'D' descriptors, one per seven indices
constexpr int kDiscreteAreaEnd = 1256;
constexpr int kDescriptorSize = 32;
constexpr int kStartOfWork = 1257;  // device time stamp
constexpr int kContractHour = 1261;
constexpr int kCompressibilityMethod = 1262;
constexpr int kSubstituteCompressibility = 1263;  // f32; liquid device: density at standard conditions
constexpr int kLiquidDensity = 1263;
constexpr int kOutputChannel = 1267;
constexpr int kOutputParameter = 1268;    // steam device: 0 mass flow, other heat
constexpr int kOutputCoefficient = 1269;  // f32
constexpr int kOwnerText = 1273;          // text, capacity 20
constexpr int kObjectText = 1294;         // text, capacity 20
constexpr int kDaylightSaving = 1315;
constexpr int kSummerMonth = 1316;
constexpr int kWinterMonth = 1317;
constexpr int kAlarmLamp = 1318;
constexpr int kOutputHoldTime = 1319;  // u16, ticks of 1/7.6294 s
constexpr int kAutoContract = 1322;
constexpr int kChannelCount = 1360;  // propane and liquid devices: '4' four channels
constexpr int kVolumeUnit = 1361;
constexpr int kMassUnit = 1362;
constexpr int kGasPressureCorrection = 1367;
constexpr int kTemperatureCorrection = 1367;  // propane device
constexpr int kPressureCorrection = 1368;     // propane and steam devices
constexpr int kProgramOwnerGas = 1368;        // text, capacity 20
constexpr int kProgramOwnerOther = 1369;      // heat, liquid, steam, propane layouts
constexpr int kGasAveraging = 1389;
constexpr int kGasSummerWinter = 1390;
constexpr int kOtherAveraging = 1390;
constexpr int kOtherSummerWinter = 1391;

constexpr int kModelCapacity = 10;
constexpr int kFactoryNumberCapacity = 10;
constexpr int kLongTextCapacity = 20;
}  // namespace img

// Offsets inside a 64-byte channel record.
namespace chrec {
constexpr int kMedium = 0;
constexpr int kSlotWords = 1;  // slot k at 1 + 2k
constexpr int kVariant = 23;   // 'S': penalty value below the lower set-point
constexpr int kPenalty = 24;
constexpr int kMinDp1 = 28;
constexpr int kFlowCoefficient = 32;
constexpr int kOrificeConstant = 36;
constexpr int kBeta4 = 40;
constexpr int kPlateExpansion = 44;
constexpr int kPipeExpansion = 48;
constexpr int kZeroDrift = 52;
constexpr int kLowerSetPoint = 56;
// The heat device's two-pipe channel keeps its orifice data directly (supply flow coefficient at 32).
constexpr int kSupplyDiameter = 36;  // mm at 20 °C
constexpr int kReturnCoefficient = 40;
constexpr int kReturnDiameter = 44;  // mm at 20 °C
constexpr int kHeatPlateExpansion = 48;
}  // namespace chrec

// Offsets inside a 32-byte sensor descriptor.
namespace sdesc {
constexpr int kSignal = 0;
constexpr int kFullScale = 2;  // 'F' full-scale frequency, 'P' shortest pulse period
constexpr int kFlag6 = 6;      // pressure sensors: 'I' gauge; 'F': integration time, s
constexpr int kContract = 7;
constexpr int kFunction = 11;
constexpr int kC0 = 12;
constexpr int kPointCount = 14;  // piecewise function: number of table points (inside c0)
constexpr int kC1 = 16;
constexpr int kC2 = 20;
constexpr int kC3 = 24;
constexpr int kC4 = 28;
}  // namespace sdesc

constexpr uint8_t kNoMedium = 0xFF;

// Packed BCD and the number forms of the image.
int BcdToInt(uint8_t b);
uint8_t IntToBcd(int v);  // 0…99
float FloatFromBits(uint32_t bits);
bool IsFiniteFloat(float v);  // exponent bits not all ones
float FiniteOrZero(float v);
uint16_t U16At(const QByteArray &bytes, int offset);
float FloatAt(const QByteArray &bytes, int offset);
void PutU16(QByteArray &bytes, int offset, uint16_t v);
void PutFloat(QByteArray &bytes, int offset, float v);

// A number with at most 7 significant digits, trailing zeros and point dropped; scientific
// ("1.5E-006") outside 0.00001…9999999; empty for infinity and not-a-number.
QString GeneralNumber(double v);

// A text field: length byte and code page 866 characters. Empty when the length byte exceeds the
// capacity (an unset field reads 0xFF).
QByteArray TextFieldBytes(const QByteArray &image, int offset, int capacity);
QString TextField(const QByteArray &image, int offset, int capacity);
// Writes a text field (cut to the capacity); bytes after the text are left as they are.
void PutTextField(QByteArray &image, int offset, int capacity, const QByteArray &cp866);

// The rejected channel number of SetChannel.
class ChannelRangeError : public std::out_of_range {
public:
    explicit ChannelRangeError(int channel);
    int channel() const { return channel_; }
    QString text() const;  // "Номер канала %d не допускается"
private:
    int channel_;
};

// One 32-byte sensor descriptor of the image.
class SensorDescriptor {
public:
    SensorDescriptor(const QByteArray &bytes, int address) : bytes_(bytes), address_(address) {}
    int address() const { return address_; }
    const QByteArray &bytes() const { return bytes_; }
    uint8_t Signal() const { return uint8_t(bytes_[sdesc::kSignal]); }
    float FullScale() const { return FloatAt(bytes_, sdesc::kFullScale); }
    uint8_t Flag6() const { return uint8_t(bytes_[sdesc::kFlag6]); }
    float Contract() const { return FloatAt(bytes_, sdesc::kContract); }
    uint8_t Function() const { return uint8_t(bytes_[sdesc::kFunction]); }
    float C0() const { return FloatAt(bytes_, sdesc::kC0); }
    uint8_t PointCount() const { return uint8_t(bytes_[sdesc::kPointCount]); }
    float C1() const { return FloatAt(bytes_, sdesc::kC1); }
    float C2() const { return FloatAt(bytes_, sdesc::kC2); }
    float C3() const { return FloatAt(bytes_, sdesc::kC3); }
    float C4() const { return FloatAt(bytes_, sdesc::kC4); }

private:
    QByteArray bytes_;
    int address_;
};

// A piecewise-linear conversion table: X[1..20] descending, Y[1..20].
struct ApproximationTable {
    static constexpr int kPoints = 20;
    uint16_t key = 0;
    int32_t count = 0;
    std::array<float, kPoints> x{};
    std::array<float, kPoints> y{};
};

// Which layout tables a class uses.
enum class LayoutClass { Gas, Heat, Fluid, Steam, C3H8 };

// Descriptor index a sensor of a class group may have at word k on channel n; -1 none.
enum LayoutGroup { GroupIJ = 0, GroupFP = 1, GroupAB = 2, GroupThermo = 3, GroupD = 4, GroupCount = 5 };
constexpr int kLayoutWords = 8;
using LayoutTable = std::array<std::array<std::array<int8_t, 4>, GroupCount>, kLayoutWords>;
const LayoutTable *LayoutFor(LayoutClass cls, uint8_t medium);
int LayoutGroupOf(uint8_t classLetter);                 // -1 for letters of no group
int DescriptorAddress(uint8_t classLetter, int index);  // -1 for letters of no area

// What the five channel classes share.
class TDevObjBase {
public:
    static constexpr int kApproximationTables = 9;

    int Channel() const { return channel_; }
    uint8_t Medium() const { return MediumOf(channel_); }
    uint8_t MediumOf(int n) const;  // 0xFF for a channel outside 1…4
    uint16_t SensorWord(int k) const;
    QByteArray ChannelRecord() const;  // 64 bytes; 0xFF bytes when no channel is selected
    uint8_t ChannelByte(int offset) const;
    float ChannelFloat(int offset) const;
    std::optional<SensorDescriptor> Descriptor(int k) const;
    int ApproximationTableIndex(uint16_t word) const;  // -1 none
    ApproximationTable *ApproximationTableFor(int k);  // found by sensor word k; nullptr none
    bool HasTwoDpSensors() const;
    bool NoChannels() const;

    QString FactoryNumber() const { return TextField(image_, img::kFactoryNumber, img::kFactoryNumberCapacity); }
    QString ModelText() const { return TextField(image_, img::kModelText, img::kModelCapacity); }
    QString ConfiguredBy() const { return TextField(image_, img::kConfiguredBy, img::kLongTextCapacity); }
    QString FirmwareVersion() const { return TextField(image_, img::kFirmwareVersion, img::kLongTextCapacity); }
    QString OwnerText() const { return TextField(image_, img::kOwnerText, img::kLongTextCapacity); }
    QString ObjectText() const { return TextField(image_, img::kObjectText, img::kLongTextCapacity); }
    QString ProgramOwner() const { return TextField(image_, programOwnerOffset_, img::kLongTextCapacity); }

    const QByteArray &Image() const { return image_; }
    void SetImage(const QByteArray &image);  // a short image keeps the rest of the old one
    uint8_t ByteAt(int offset) const { return uint8_t(image_[offset]); }
    float FloatAtImage(int offset) const { return FloatAt(image_, offset); }
    uint16_t U16AtImage(int offset) const { return U16At(image_, offset); }

    std::array<ApproximationTable, kApproximationTables> approximation{};

protected:
    TDevObjBase(LayoutClass cls, int programOwnerOffset);
    // Selects channel n; throws ChannelRangeError for n outside 1…4.
    void SelectChannel(int n);

private:
    LayoutClass class_;
    int programOwnerOffset_;
    int channel_ = 0;
    QByteArray image_;
};

// The gas-kind channel object; also keeps the device clock and the gas totals of every device.
class TDevObj : public TDevObjBase {
public:
    explicit TDevObj(Prompts *prompts = nullptr);

    // Rejects n outside 1…4 with the notice "Ошибка 10: Номер канала<n>не допускается".
    void SetChannel(int n);

    QString FlowCaption(int n) const;
    QString VolumeUnitText() const;
    QString MassUnitText() const;
    // '1'…'4' "[Ом]", 'A', 'B', 'I', 'J' "[мА]", 'F' "[Гц]", 'P' "[ c]"; other letters: `unchanged`.
    static QString SensorUnitText(uint16_t word, const QString &unchanged = QString());

    // The clock registers of the RAM read (BCD: 0 seconds, 2 minutes, 4 hours, 7 day, 8 month,
    // 9 year). Sets the device date and hour and returns true, or returns false when they form no
    // date (nothing changes then).
    bool SetClockFromRegisters(const QByteArray &registers);

    QDate deviceDate;  // "now" of the download; null until the clock was read
    int deviceHour = 0;
    std::array<float, 4> totals{};  // gas totals Vc, channels 1…4

private:
    Prompts *prompts_;
};

// Fresh-object image: 0xFF, the discrete-sensor area zeroed with 'D' at its start, "Нет данных" as
// device model text and factory number.
QByteArray FreshChannelImage();

}  // namespace torv
