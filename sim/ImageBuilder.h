// Builds 4096-byte configuration images (flash sector 0) field by field, and the named images of
// the simulator's scenarios: texts in code page 866, channel records with their sensor words,
// sensor descriptors in the areas of their class letters, BCD time stamps and IEEE floats.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <limits>

namespace torv {

// One 32-byte sensor descriptor.
struct SensorSpec {
    char signal = 'D';    // '1'…'4' thermometer, 'A'/'I' 4–20 mA, 'B'/'J' 0–5 mA, 'F', 'P', 'D'
    float fullScale = 0;  // 'F': full-scale frequency, Hz; 'P': shortest pulse period, s
    uint8_t flag6 = 0;    // pressure sensors: 'I' gauge; 'F': integration time, s
    float contract = std::numeric_limits<float>::quiet_NaN();  // NaN: left erased (all ones)
    char function = 'L';                                       // 'L', 'Z', 'A', 'P'
    float c0 = 0, c1 = 0, c2 = 0, c3 = 0, c4 = 0;
    int points = 0;  // 'A': number of table points (byte 14)
};

class ImageBuilder {
public:
    // Erased flash (0xFF), with the device's discrete ("no sensor") descriptors in place.
    ImageBuilder();

    const QByteArray &image() const { return image_; }

    ImageBuilder &Byte(int offset, uint8_t v);
    ImageBuilder &Word(int offset, uint16_t v);
    ImageBuilder &Float(int offset, float v);
    ImageBuilder &Text(int offset, int capacity, const QString &text);        // stored in code page 866
    ImageBuilder &Stamp(int offset, int hour, int day, int month, int year);  // BCD, two-digit year

    // Device model, factory number, configured-by and firmware texts.
    ImageBuilder &Identity(const QString &model, const QString &number, const QString &configuredBy,
                           const QString &firmware);
    ImageBuilder &Owner(const QString &owner, const QString &object);
    // The program owner text: at 1368 in the gas layout, 1369 in the others.
    ImageBuilder &ProgramOwner(bool gasLayout, const QString &text);

    // A configured channel: medium code, sensor words erased, constants zero.
    ImageBuilder &Channel(int n, char medium);
    ImageBuilder &Slot(int n, int slot, char letter, int index);
    ImageBuilder &ChannelByte(int n, int offset, uint8_t v);
    ImageBuilder &ChannelFloat(int n, int offset, float v);
    // Orifice channel constants: diameter d (mm) at 20 °C, diameter ratio β, flow coefficient, the
    // medium constant x (21.09 gas and air, 0.001252 steam) giving K = x·d².
    ImageBuilder &Orifice(int n, double x, double d, double beta, float flowCoefficient, float plateExpansion,
                          float pipeExpansion);
    // The descriptor of class letter and index, in the area of the letter.
    ImageBuilder &Sensor(char letter, int index, const SensorSpec &spec);

private:
    int ChannelAt(int n) const;
    QByteArray image_;
};

// Sensors of the scenarios.
SensorSpec CurrentSensor(char signal, float lo, float hi, float contract, uint8_t flag6 = 0);  // 'L' over the span
SensorSpec ThermometerSensor(char type, float r0, float contract);  // cubic 'P' fit of the type's curve

// The named scenario images; an unknown name gives an empty array.
QStringList ImageScenarioNames();
QByteArray ScenarioImage(const QString &name);

}  // namespace torv
