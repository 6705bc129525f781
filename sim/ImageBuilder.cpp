#include "sim/ImageBuilder.h"

#include "device/DevData.h"
#include "base/CodePage.h"

#include <cmath>
#include <functional>
#include <map>

namespace torv {

ImageBuilder::ImageBuilder() : image_(img::kSize, char(0xFF)) {
    // Three discrete descriptors ('D', no sensor) fill the area from 1161 to 1256.
    for (int i = img::kDiscreteArea; i <= img::kDiscreteAreaEnd; ++i)
        image_[i] = 0;
    for (int d = 0; d < 3; ++d)
        image_[img::kDiscreteArea + img::kDescriptorSize * d] = 'D';
}

ImageBuilder &ImageBuilder::Byte(int offset, uint8_t v) {
    image_[offset] = char(v);
    return *this;
}

ImageBuilder &ImageBuilder::Word(int offset, uint16_t v) {
    PutU16(image_, offset, v);
    return *this;
}

ImageBuilder &ImageBuilder::Float(int offset, float v) {
    PutFloat(image_, offset, v);
    return *this;
}

ImageBuilder &ImageBuilder::Text(int offset, int capacity, const QString &text) {
    PutTextField(image_, offset, capacity, ToCp866(text));
    return *this;
}

ImageBuilder &ImageBuilder::Stamp(int offset, int hour, int day, int month, int year) {
    image_[offset] = char(IntToBcd(hour));
    image_[offset + 1] = char(IntToBcd(day));
    image_[offset + 2] = char(IntToBcd(month));
    image_[offset + 3] = char(IntToBcd(year % 100));
    return *this;
}

ImageBuilder &ImageBuilder::Identity(const QString &model, const QString &number, const QString &configuredBy,
                                     const QString &firmware) {
    Text(img::kModelText, img::kModelCapacity, model);
    Text(img::kFactoryNumber, img::kFactoryNumberCapacity, number);
    Text(img::kConfiguredBy, img::kLongTextCapacity, configuredBy);
    Text(img::kFirmwareVersion, img::kLongTextCapacity, firmware);
    return *this;
}

ImageBuilder &ImageBuilder::Owner(const QString &owner, const QString &object) {
    Text(img::kOwnerText, img::kLongTextCapacity, owner);
    Text(img::kObjectText, img::kLongTextCapacity, object);
    return *this;
}

ImageBuilder &ImageBuilder::ProgramOwner(bool gasLayout, const QString &text) {
    return Text(gasLayout ? img::kProgramOwnerGas : img::kProgramOwnerOther, img::kLongTextCapacity, text);
}

int ImageBuilder::ChannelAt(int n) const { return img::kChannelRecords + img::kChannelRecordSize * (n - 1); }

ImageBuilder &ImageBuilder::Channel(int n, char medium) {
    const int at = ChannelAt(n);
    image_[at] = medium;
    for (int i = chrec::kSlotWords; i < chrec::kVariant; ++i)
        image_[at + i] = char(0xFF);
    for (int i = chrec::kVariant; i < img::kChannelRecordSize - 1; ++i)
        image_[at + i] = 0;
    return *this;
}

ImageBuilder &ImageBuilder::Slot(int n, int slot, char letter, int index) {
    return Word(ChannelAt(n) + chrec::kSlotWords + 2 * slot, uint16_t(uint8_t(letter) | (index << 8)));
}

ImageBuilder &ImageBuilder::ChannelByte(int n, int offset, uint8_t v) { return Byte(ChannelAt(n) + offset, v); }

ImageBuilder &ImageBuilder::ChannelFloat(int n, int offset, float v) { return Float(ChannelAt(n) + offset, v); }

ImageBuilder &ImageBuilder::Orifice(int n, double x, double d, double beta, float flowCoefficient, float plateExpansion,
                                    float pipeExpansion) {
    ChannelFloat(n, chrec::kOrificeConstant, float(x * d * d));
    ChannelFloat(n, chrec::kBeta4, float(std::pow(beta, 4)));
    ChannelFloat(n, chrec::kFlowCoefficient, flowCoefficient);
    ChannelFloat(n, chrec::kPlateExpansion, plateExpansion);
    ChannelFloat(n, chrec::kPipeExpansion, pipeExpansion);
    return *this;
}

ImageBuilder &ImageBuilder::Sensor(char letter, int index, const SensorSpec &s) {
    const int at = DescriptorAddress(uint8_t(letter), index);
    if (at < 0 || at + img::kDescriptorSize > img::kSize)
        return *this;
    for (int i = 0; i < img::kDescriptorSize; ++i)
        image_[at + i] = 0;
    image_[at + sdesc::kSignal] = s.signal;
    PutFloat(image_, at + sdesc::kFullScale, s.fullScale);
    image_[at + sdesc::kFlag6] = char(s.flag6);
    if (std::isnan(s.contract))
        PutFloat(image_, at + sdesc::kContract, FloatFromBits(0xFFFFFFFFu));
    else
        PutFloat(image_, at + sdesc::kContract, s.contract);
    image_[at + sdesc::kFunction] = s.function;
    PutFloat(image_, at + sdesc::kC0, s.c0);
    if (s.function == 'A')
        image_[at + sdesc::kPointCount] = char(s.points);
    PutFloat(image_, at + sdesc::kC1, s.c1);
    PutFloat(image_, at + sdesc::kC2, s.c2);
    PutFloat(image_, at + sdesc::kC3, s.c3);
    PutFloat(image_, at + sdesc::kC4, s.c4);
    return *this;
}

// ---------------------------------------------------------------------------------------------
// Sensors

SensorSpec CurrentSensor(char signal, float lo, float hi, float contract, uint8_t flag6) {
    const float span = (signal == 'A' || signal == 'I') ? 16.0f : 5.0f;
    SensorSpec s;
    s.signal = signal;
    s.flag6 = flag6;
    s.contract = contract;
    s.function = 'L';
    s.c0 = (hi - lo) / span;
    s.c1 = lo;
    return s;
}

SensorSpec ThermometerSensor(char type, float r0, float contract) {
    // Temperature in kelvin as a cubic in (R − R0), fitted to the type's curve per 100 ohm.
    struct Curve {
        double c1, c2, c3, c4;
    };
    Curve c{};
    switch (type) {
    case '1': c = {5.949424e-07, 9.820730e-04, 2.558354, 273.1503}; break;  // platinum, W100 = 1.3850
    case '2': c = {7.459330e-07, 9.335586e-04, 2.519511, 273.1501}; break;  // platinum, W100 = 1.3910
    case '3': c = {0.0, 0.0, 2.347418, 273.15}; break;                      // copper, W100 = 1.4260
    default: c = {0.0, 0.0, 2.336449, 273.15}; break;                       // copper, W100 = 1.4280
    }
    const double scale = 100.0 / r0;
    SensorSpec s;
    s.signal = type;
    s.contract = contract;
    s.function = 'P';
    s.c0 = -r0;
    s.c1 = float(c.c1 * scale * scale * scale);
    s.c2 = float(c.c2 * scale * scale);
    s.c3 = float(c.c3 * scale);
    s.c4 = float(c.c4);
    return s;
}

namespace {

constexpr double kKgf = 98.0665;  // kPa per kgf/cm2
float KPa(double kpa) { return float(kpa / kKgf); }
float Kelvin(double celsius) { return float(celsius + 273.15); }

SensorSpec FrequencySensor(float fullScale, float perHz, float contract, uint8_t integration) {
    SensorSpec s;
    s.signal = 'F';
    s.fullScale = fullScale;
    s.flag6 = integration;
    s.contract = contract;
    s.function = 'L';
    s.c0 = perHz;
    return s;
}

SensorSpec PulseSensor(float shortestPeriod, float litresPerPulse, float cutOff, float contract) {
    SensorSpec s;
    s.signal = 'P';
    s.fullScale = shortestPeriod;
    s.contract = contract;
    s.function = 'L';
    s.c0 = litresPerPulse * 3.6f;  // m3/h per pulse per second
    s.c1 = cutOff;
    return s;
}

// Settings shared by the scenarios' headers.
void CommonHeader(ImageBuilder &b, int contractHour) {
    b.Stamp(img::kProgrammingDate, 14, 12, 9, 2019)
        .Stamp(img::kStartOfWork, 0, 1, 10, 2019)
        .Byte(img::kContractHour, uint8_t(contractHour))
        .Byte(img::kOutputChannel, 0)
        .Float(img::kOutputCoefficient, 2.5f)
        .Byte(img::kDaylightSaving, 'N')
        .Byte(img::kSummerMonth, 0x03)
        .Byte(img::kWinterMonth, 0x10)
        .Byte(img::kAlarmLamp, 'U')
        .Word(img::kOutputHoldTime, 229)
        .Byte(img::kAutoContract, 'A');
}

// Multi-medium gas device: compressed air through an orifice with two gauges (channel 1), gas
// through a frequency flowmeter (2), gas through an orifice (3), air through a pulse flowmeter with
// a piecewise-linear pressure sensor (4).
QByteArray GasVdab() {
    ImageBuilder b;
    b.Identity(QStringLiteral("ТОРВ-2"), QStringLiteral("2104517"), QStringLiteral("ООО Газприбор"),
               QStringLiteral("MPrgV5.2 газ/воздух"))
        .Owner(QStringLiteral("АО Теплосеть"), QStringLiteral("Котельная №3"))
        .ProgramOwner(true, QStringLiteral("ГРС Северная"));
    CommonHeader(b, 10);
    b.Byte(img::kDaylightSaving, 'A')
        .Byte(img::kCompressibilityMethod, 'G')
        .Float(img::kSubstituteCompressibility, 0.9975f)
        .Byte(img::kVolumeUnit, 'M')
        .Byte(img::kMassUnit, 'K')
        .Byte(img::kGasPressureCorrection, 'C')
        .Byte(img::kGasAveraging, 24)
        .Byte(img::kGasSummerWinter, 'W');

    // Channel 1: compressed air, orifice d = 40 mm in a 80 mm pipe, gauges 0–6.3 kPa and 0–40 kPa.
    b.Channel(1, 'A')
        .Slot(1, 0, 'I', 1)
        .Slot(1, 1, '1', 0)
        .Slot(1, 2, 'J', 2)
        .Slot(1, 3, 'I', 3)
        .Slot(1, 4, 'D', 0)
        .Orifice(1, 21.09, 40.0, 0.5, 0.6104f, 1.66e-5f, 1.12e-5f)
        .ChannelByte(1, chrec::kVariant, 'N')
        .ChannelFloat(1, chrec::kMinDp1, 0.05f)
        .ChannelFloat(1, chrec::kZeroDrift, 0.001f)
        .ChannelFloat(1, chrec::kLowerSetPoint, 0.03f)
        .Sensor('I', 1, CurrentSensor('I', 0.0f, 10.0f, 6.0f, 'I'))
        .Sensor('1', 0, ThermometerSensor('1', 100.0f, Kelvin(20)))
        .Sensor('J', 2, CurrentSensor('J', 0.0f, KPa(6.3), KPa(5.0)))
        .Sensor('I', 3, CurrentSensor('I', 0.0f, KPa(40.0), KPa(30.0)));

    // Channel 2: natural gas, vortex flowmeter 0–1000 Hz for 0–400 m3/h, copper thermometer.
    b.Channel(2, 'V')
        .Slot(2, 0, 'I', 5)
        .Slot(2, 1, '4', 4)
        .Slot(2, 2, 'F', 3)
        .Slot(2, 3, 'D', 0)
        .ChannelByte(2, chrec::kVariant, 'N')
        .ChannelFloat(2, chrec::kPenalty, 10.0f)
        .ChannelFloat(2, chrec::kLowerSetPoint, 8.0f)
        .Sensor('I', 5, CurrentSensor('I', 0.0f, 16.0f, 5.5f))
        .Sensor('4', 4, ThermometerSensor('4', 100.0f, Kelvin(15)))
        .Sensor('F', 3, FrequencySensor(1000.0f, 0.4f, 250.0f, 10));

    // Channel 3: natural gas, orifice d = 64.2 mm, β = 0.6, one gauge 0–25 kPa, penalty value.
    b.Channel(3, 'D')
        .Slot(3, 0, 'I', 9)
        .Slot(3, 1, 'I', 8)
        .Slot(3, 2, 'I', 10)
        .Slot(3, 3, 'D', 1)
        .Slot(3, 4, 'D', 0)
        .Orifice(3, 21.09, 64.2, 0.6, 0.6157f, 1.66e-5f, 1.12e-5f)
        .ChannelByte(3, chrec::kVariant, 'S')
        .ChannelFloat(3, chrec::kPenalty, KPa(5.0))
        .ChannelFloat(3, chrec::kMinDp1, 0.1f)
        .ChannelFloat(3, chrec::kZeroDrift, 0.002f)
        .ChannelFloat(3, chrec::kLowerSetPoint, 0.02f)
        .Sensor('I', 9, CurrentSensor('I', 0.0f, 16.0f, 6.0f))
        .Sensor('I', 8, CurrentSensor('I', Kelvin(-50), Kelvin(50), Kelvin(10)))
        .Sensor('I', 10, CurrentSensor('I', 0.0f, KPa(25.0), KPa(20.0)));

    // Channel 4: compressed air, pulse flowmeter 10 l/pulse, pressure by a piecewise-linear table.
    SensorSpec piecewise;
    piecewise.signal = 'I';
    piecewise.contract = 7.0f;
    piecewise.function = 'A';
    piecewise.points = 5;
    b.Channel(4, 'B')
        .Slot(4, 0, 'I', 13)
        .Slot(4, 1, 'J', 12)
        .Slot(4, 2, 'P', 7)
        .Slot(4, 3, 'D', 0)
        .ChannelByte(4, chrec::kVariant, 'S')
        .ChannelFloat(4, chrec::kPenalty, 15.0f)
        .ChannelFloat(4, chrec::kLowerSetPoint, 2.0f)
        .Sensor('I', 13, piecewise)
        .Sensor('J', 12, CurrentSensor('J', Kelvin(-40), Kelvin(60), Kelvin(20)))
        .Sensor('P', 7, PulseSensor(0.5f, 10.0f, 0.5f, 60.0f));
    return b.image();
}

// Multi-medium device with propane (1), steam through a flowmeter (2), steam through an orifice with
// two gauges (3) and cold water (4). Its steam channels make it a steam-kind device, so its header
// follows the steam layout (program owner at 1369, averaging at 1390).
QByteArray GasPqsw() {
    ImageBuilder b;
    b.Identity(QStringLiteral("ТОРВ-2"), QStringLiteral("2106033"), QStringLiteral("Энергоучет-Сервис"),
               QStringLiteral("MPrgV6.0 мультисреда"))
        .Owner(QStringLiteral("ООО Химпром"), QStringLiteral("Цех №7, ввод 2"))
        .ProgramOwner(false, QStringLiteral("Химпром, энергоцех"));
    CommonHeader(b, 20);
    b.Stamp(img::kStartOfWork, 10, 31, 12, 2020)
        .Stamp(img::kProgrammingDate, 9, 28, 12, 2020)
        .Byte(img::kOutputChannel, 2)
        .Byte(img::kOutputParameter, 0)
        .Float(img::kOutputCoefficient, -2.5f)
        .Word(img::kOutputHoldTime, 38)
        .Byte(img::kAlarmLamp, 'N')
        .Byte(img::kAutoContract, 'N')
        .Byte(img::kCompressibilityMethod, 'M')
        .Float(img::kSubstituteCompressibility, 0.985f)
        .Byte(img::kVolumeUnit, 'L')
        .Byte(img::kMassUnit, 'K')
        .Byte(img::kPressureCorrection, 'N')
        .Byte(img::kOtherAveraging, 240)
        .Byte(img::kOtherSummerWinter, 'W');

    // Channel 1: liquefied propane, 4–20 mA flowmeter 0–20 m3/h.
    b.Channel(1, 'P')
        .Slot(1, 0, 'I', 1)
        .Slot(1, 1, '1', 0)
        .Slot(1, 2, 'I', 2)
        .Slot(1, 3, 'D', 0)
        .ChannelByte(1, chrec::kVariant, 'N')
        .ChannelFloat(1, chrec::kLowerSetPoint, 0.4f)
        .Sensor('I', 1, CurrentSensor('I', 0.0f, 25.0f, 16.0f, 'I'))
        .Sensor('1', 0, ThermometerSensor('1', 100.0f, Kelvin(10)))
        .Sensor('I', 2, CurrentSensor('I', 0.0f, 20.0f, 12.0f));

    // Channel 2: saturated steam, vortex flowmeter 0–500 Hz, condensate by a pulse meter.
    b.Channel(2, 'Q')
        .Slot(2, 0, 'I', 5)
        .Slot(2, 1, '2', 4)
        .Slot(2, 2, 'F', 3)
        .Slot(2, 3, 'P', 1)
        .ChannelByte(2, chrec::kVariant, 'S')
        .ChannelFloat(2, chrec::kPenalty, 120.0f)
        .ChannelFloat(2, chrec::kLowerSetPoint, 25.0f)
        .Sensor('I', 5, CurrentSensor('I', 0.0f, 16.0f, 8.0f))
        .Sensor('2', 4, ThermometerSensor('2', 100.0f, Kelvin(175)))
        .Sensor('F', 3, FrequencySensor(500.0f, 1.2f, 400.0f, 5))
        .Sensor('P', 1, PulseSensor(0.2f, 1.0f, 0.01f, 2.0f));

    // Channel 3: superheated steam, orifice d = 60 mm, β = 0.6, gauges 0–10 kPa and 0–63 kPa.
    SensorSpec condensate = FrequencySensor(5.0f, 0.4f, 1.5f, 255);
    condensate.contract = std::numeric_limits<float>::quiet_NaN();
    b.Channel(3, 'S')
        .Slot(3, 0, 'I', 9)
        .Slot(3, 1, 'I', 8)
        .Slot(3, 2, 'I', 10)
        .Slot(3, 3, 'I', 11)
        .Slot(3, 4, 'F', 6)
        .Orifice(3, 0.001252, 60.0, 0.6, 0.6183f, 1.66e-5f, 1.24e-5f)
        .ChannelByte(3, chrec::kVariant, 'N')
        .ChannelFloat(3, chrec::kMinDp1, 0.08f)
        .ChannelFloat(3, chrec::kZeroDrift, 0.002f)
        .ChannelFloat(3, chrec::kLowerSetPoint, 0.03f)
        .Sensor('I', 9, CurrentSensor('I', 0.0f, 25.0f, 13.0f))
        .Sensor('I', 8, CurrentSensor('I', Kelvin(0), Kelvin(250), Kelvin(220)))
        .Sensor('I', 10, CurrentSensor('I', 0.0f, KPa(10.0), KPa(8.0)))
        .Sensor('I', 11, CurrentSensor('I', 0.0f, KPa(63.0), KPa(50.0)))
        .Sensor('F', 6, condensate);

    // Channel 4: cold water, frequency meter 0–50 Hz for 0–10 m3/h.
    b.Channel(4, 'W').Slot(4, 0, 'F', 7).Sensor('F', 7, FrequencySensor(50.0f, 0.2f, 6.0f, 20));
    return b.image();
}

// Steam device: orifice channel 1 with a condensate pulse meter, flowmeter channel 3; a copper
// thermometer for the cold water.
QByteArray Steam() {
    ImageBuilder b;
    b.Identity(QStringLiteral("ТОРВ-2П"), QStringLiteral("2203118"), QStringLiteral("ООО Теплоконтроль"),
               QStringLiteral("MPrgV6.1 пар"))
        .Owner(QStringLiteral("МУП Тепловые сети"), QStringLiteral("Котельная \"Южная\""))
        .ProgramOwner(false, QStringLiteral("ТЭЦ-2, паровой узел"));
    CommonHeader(b, 8);
    b.Byte(img::kDaylightSaving, 'A')
        .Byte(img::kOutputParameter, 1)
        .Float(img::kOutputCoefficient, 10.0f)
        .Word(img::kOutputHoldTime, 76)
        .Byte(img::kPressureCorrection, 'C')
        .Byte(img::kOtherAveraging, 24)
        .Byte(img::kOtherSummerWinter, 'W');

    b.Channel(1, 'S')
        .Slot(1, 0, 'I', 1)
        .Slot(1, 1, '1', 0)
        .Slot(1, 2, 'I', 2)
        .Slot(1, 3, 'D', 1)
        .Slot(1, 4, 'P', 2)
        .Slot(1, 5, '3', 4)
        .Orifice(1, 0.001252, 58.5, 0.55, 0.6185f, 1.66e-5f, 1.24e-5f)
        .ChannelByte(1, chrec::kVariant, 'S')
        .ChannelFloat(1, chrec::kPenalty, KPa(20.0))
        .ChannelFloat(1, chrec::kMinDp1, 0.1f)
        .ChannelFloat(1, chrec::kZeroDrift, 0.002f)
        .ChannelFloat(1, chrec::kLowerSetPoint, 0.03f)
        .Sensor('I', 1, CurrentSensor('I', 0.0f, 16.0f, 10.0f))
        .Sensor('1', 0, ThermometerSensor('1', 100.0f, Kelvin(190)))
        .Sensor('I', 2, CurrentSensor('I', 0.0f, KPa(63.0), KPa(40.0)))
        .Sensor('P', 2, PulseSensor(0.1f, 10.0f, 0.05f, 3.0f))
        .Sensor('3', 4, ThermometerSensor('3', 100.0f, Kelvin(5)));

    b.Channel(3, 'Q')
        .Slot(3, 0, 'I', 9)
        .Slot(3, 1, 'I', 8)
        .Slot(3, 2, 'F', 6)
        .Slot(3, 3, 'D', 0)
        .Slot(3, 5, '3', 4)
        .ChannelByte(3, chrec::kVariant, 'N')
        .ChannelFloat(3, chrec::kLowerSetPoint, 12.0f)
        .Sensor('I', 9, CurrentSensor('I', 0.0f, 16.0f, 7.0f))
        .Sensor('I', 8, CurrentSensor('I', Kelvin(0), Kelvin(300), Kelvin(200)))
        .Sensor('F', 6, FrequencySensor(400.0f, 0.5f, 150.0f, 10));
    return b.image();
}

// Heat device: two-pipe heat channel with two gauges per pipe, outdoor temperature on channel 2.
QByteArray Heat() {
    ImageBuilder b;
    b.Identity(QStringLiteral("ТОРВ-2Т"), QStringLiteral("2305602"), QStringLiteral("ООО Теплоучет"),
               QStringLiteral("MPrgV7.0 тепло"))
        .Owner(QStringLiteral("ТСЖ \"Волна\""), QStringLiteral("ИТП дома 12"))
        .ProgramOwner(false, QStringLiteral("Теплоучет"));
    CommonHeader(b, 0);
    b.Stamp(img::kStartOfWork, 9, 1, 3, 2021)
        .Byte(img::kOutputChannel, 5)
        .Byte(img::kAlarmLamp, 'N')
        .Byte(img::kOtherSummerWinter, 'N');

    b.Channel(1, 'H')
        .Slot(1, 0, 'I', 1)
        .Slot(1, 1, '1', 0)
        .Slot(1, 2, 'I', 2)
        .Slot(1, 3, 'I', 3)
        .Slot(1, 4, 'I', 5)
        .Slot(1, 5, '1', 4)
        .Slot(1, 6, 'I', 6)
        .Slot(1, 7, 'I', 7)
        .ChannelFloat(1, chrec::kFlowCoefficient, 0.6152f)
        .ChannelFloat(1, chrec::kSupplyDiameter, 82.5f)
        .ChannelFloat(1, chrec::kReturnCoefficient, 0.6148f)
        .ChannelFloat(1, chrec::kReturnDiameter, 80.0f)
        .ChannelFloat(1, chrec::kHeatPlateExpansion, 1.66e-5f)
        .ChannelByte(1, chrec::kVariant, 'S')
        .ChannelFloat(1, chrec::kPenalty, 0.1f)
        .ChannelFloat(1, chrec::kMinDp1, 0.1f)
        .ChannelFloat(1, chrec::kZeroDrift, 0.002f)
        .ChannelFloat(1, chrec::kLowerSetPoint, 0.02f)
        .Sensor('I', 1, CurrentSensor('I', 0.0f, 16.0f, 6.0f, 'I'))
        .Sensor('1', 0, ThermometerSensor('1', 100.0f, Kelvin(90)))
        .Sensor('I', 2, CurrentSensor('I', 0.0f, KPa(25.0), KPa(20.0)))
        .Sensor('I', 3, CurrentSensor('I', 0.0f, KPa(100.0), KPa(80.0)))
        .Sensor('I', 5, CurrentSensor('I', 0.0f, 16.0f, 4.0f, 'I'))
        .Sensor('1', 4, ThermometerSensor('1', 100.0f, Kelvin(70)))
        .Sensor('I', 6, CurrentSensor('I', 0.0f, KPa(25.0), KPa(20.0)))
        .Sensor('I', 7, CurrentSensor('I', 0.0f, KPa(100.0), KPa(80.0)));

    b.Channel(2, 'T').Slot(2, 0, 'I', 8).Sensor('I', 8, CurrentSensor('I', Kelvin(-50), Kelvin(50), Kelvin(-5)));
    return b.image();
}

// Liquid device with flow, pressure and temperature sensors on two channels.
QByteArray Liquid() {
    ImageBuilder b;
    b.Identity(QStringLiteral("ТОРВ-2Ж"), QStringLiteral("2401275"), QStringLiteral("ООО Водомер"),
               QStringLiteral("MPrgV4.3 жидкость"))
        .Owner(QStringLiteral("МУП Водоканал"), QStringLiteral("НС второго подъема"))
        .ProgramOwner(false, QStringLiteral("Водоканал, НС-2"));
    CommonHeader(b, 10);
    b.Byte(img::kChannelCount, '2')
        .Byte(img::kOutputChannel, 1)
        .Float(img::kOutputCoefficient, 0.5f)
        .Byte(img::kVolumeUnit, 'K')
        .Float(img::kLiquidDensity, 998.2f)
        .Byte(img::kOtherAveraging, 240);

    b.Channel(1, 'L')
        .Slot(1, 0, 'F', 2)
        .Slot(1, 1, 'I', 1)
        .Slot(1, 2, '1', 0)
        .ChannelByte(1, chrec::kVariant, 'S')
        .ChannelFloat(1, chrec::kPenalty, 12.0f)
        .ChannelFloat(1, chrec::kLowerSetPoint, 1.5f)
        .Sensor('F', 2, FrequencySensor(1000.0f, 0.05f, 40.0f, 10))
        .Sensor('I', 1, CurrentSensor('I', 0.0f, 10.0f, 4.0f, 'I'))
        .Sensor('1', 0, ThermometerSensor('1', 100.0f, Kelvin(12)));

    SensorSpec throughZero = CurrentSensor('I', 0.0f, 30.0f, 20.0f);
    throughZero.function = 'Z';
    b.Channel(2, 'L')
        .Slot(2, 0, 'I', 3)
        .Slot(2, 1, 'J', 5)
        .Slot(2, 2, '2', 4)
        .ChannelByte(2, chrec::kVariant, 'N')
        .ChannelFloat(2, chrec::kLowerSetPoint, 0.6f)
        .Sensor('I', 3, throughZero)
        .Sensor('J', 5, CurrentSensor('J', 0.0f, 10.0f, 3.5f))
        .Sensor('2', 4, ThermometerSensor('2', 50.0f, Kelvin(8)));
    return b.image();
}

// Liquid device with a flow sensor only.
QByteArray LiquidBare() {
    ImageBuilder b;
    b.Identity(QStringLiteral("ТОРВ-2Ж"), QStringLiteral("2401390"), QStringLiteral("ООО Водомер"),
               QStringLiteral("MPrgV4.3 жидкость"))
        .Owner(QStringLiteral("ЗАО Молкомбинат"), QStringLiteral("Ввод холодной воды"))
        .ProgramOwner(false, QStringLiteral("Молкомбинат"));
    CommonHeader(b, 0);
    b.Byte(img::kChannelCount, '2')
        .Byte(img::kOutputChannel, 4)
        .Byte(img::kVolumeUnit, 'M')
        .Byte(img::kAutoContract, 'N')
        .Byte(img::kOtherAveraging, 24);

    b.Channel(1, 'L')
        .Slot(1, 0, 'I', 2)
        .Slot(1, 1, 'D', 0)
        .Slot(1, 2, 'D', 0)
        .ChannelByte(1, chrec::kVariant, 'N')
        .ChannelFloat(1, chrec::kLowerSetPoint, 0.8f)
        .Sensor('I', 2, CurrentSensor('I', 0.0f, 40.0f, 25.0f));
    return b.image();
}

// Propane device with two channels; channel 2 reads its pressure through a piecewise table.
QByteArray Propane() {
    ImageBuilder b;
    b.Identity(QStringLiteral("ТОРВ-2С"), QStringLiteral("2502044"), QStringLiteral("ООО ГазСервис"),
               QStringLiteral("MPrgV5.0 пропан"))
        .Owner(QStringLiteral("АО Пропан-Трейд"), QStringLiteral("ГНС, колонка 2"))
        .ProgramOwner(false, QStringLiteral("Пропан-Трейд"));
    CommonHeader(b, 6);
    b.Byte(img::kChannelCount, '2')
        .Float(img::kOutputCoefficient, 1.5f)
        .Byte(img::kVolumeUnit, 'M')
        .Byte(img::kMassUnit, 'T')
        .Byte(img::kTemperatureCorrection, 'C')
        .Byte(img::kPressureCorrection, 'C')
        .Byte(img::kOtherAveraging, 24)
        .Byte(img::kOtherSummerWinter, 'N');

    b.Channel(1, 'P')
        .Slot(1, 0, 'I', 1)
        .Slot(1, 1, '1', 0)
        .Slot(1, 2, 'I', 2)
        .Slot(1, 3, 'D', 0)
        .ChannelByte(1, chrec::kVariant, 'S')
        .ChannelFloat(1, chrec::kPenalty, 3.0f)
        .ChannelFloat(1, chrec::kLowerSetPoint, 0.2f)
        .Sensor('I', 1, CurrentSensor('I', 0.0f, 25.0f, 16.0f, 'I'))
        .Sensor('1', 0, ThermometerSensor('1', 100.0f, Kelvin(15)))
        .Sensor('I', 2, CurrentSensor('I', 0.0f, 10.0f, 5.0f));

    SensorSpec piecewise;
    piecewise.signal = 'J';
    piecewise.contract = 14.0f;
    piecewise.function = 'A';
    piecewise.points = 8;
    b.Channel(2, 'P')
        .Slot(2, 0, 'J', 5)
        .Slot(2, 1, '2', 4)
        .Slot(2, 2, 'P', 3)
        .Slot(2, 3, 'D', 0)
        .ChannelByte(2, chrec::kVariant, 'N')
        .ChannelFloat(2, chrec::kLowerSetPoint, 0.1f)
        .Sensor('J', 5, piecewise)
        .Sensor('2', 4, ThermometerSensor('2', 100.0f, Kelvin(15)))
        .Sensor('P', 3, PulseSensor(0.25f, 1.0f, 0.02f, 4.0f));
    return b.image();
}

const std::map<QString, std::function<QByteArray()>> &Scenarios() {
    static const std::map<QString, std::function<QByteArray()>> scenarios{
        {QStringLiteral("gas-vdab"), GasVdab}, {QStringLiteral("gas-pqsw"), GasPqsw},
        {QStringLiteral("steam"), Steam},      {QStringLiteral("heat"), Heat},
        {QStringLiteral("liquid"), Liquid},    {QStringLiteral("liquid-bare"), LiquidBare},
        {QStringLiteral("propane"), Propane},
    };
    return scenarios;
}

}  // namespace

QStringList ImageScenarioNames() {
    QStringList names;
    for (const auto &[name, build] : Scenarios())
        names.append(name);
    return names;
}

QByteArray ScenarioImage(const QString &name) {
    const auto &scenarios = Scenarios();
    const auto it = scenarios.find(name);
    return it == scenarios.end() ? QByteArray() : it->second();
}

}  // namespace torv
