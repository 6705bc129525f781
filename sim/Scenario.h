// Scenarios of the simulated flow computer: what the device is (its configuration image, identity
// and live values) and how its flash memory is laid out. A scenario is a SimDeviceModel made by a
// named builder; new device kinds add a builder to the table in Scenario.cpp.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

namespace torv {

class SimArchive;

inline constexpr const char *kDefaultScenario = "gas4";
// Days of archive history a simulated device has by default: a year.
inline constexpr int kDefaultHistoryDays = 365;

// Device memory sizes.
inline constexpr int kFlashSectors = 8;
inline constexpr int kFlashSectorSize = 0x10000;
inline constexpr int kImageAddress = 0xF000;  // configuration image in sector 0
inline constexpr int kImageSize = 4096;
inline constexpr int kRamSize = 256;

// The device a scenario describes.
class SimDeviceModel {
public:
    explicit SimDeviceModel(uint32_t seed) : seed_(seed) {}
    virtual ~SimDeviceModel() = default;

    virtual QString name() const = 0;
    // The 4096-byte configuration image.
    virtual QByteArray configurationImage() const = 0;
    // 7 bytes each, sent by the handshake (code page 866).
    virtual QByteArray identityText() const;
    virtual QByteArray serialText() const = 0;
    // The 48-byte current-values packet of channel 1…4 at the device's time.
    virtual QByteArray currentValues(int channel, const QDateTime &deviceTime) const;
    // Channels whose medium code is set.
    std::vector<int> usedChannels() const;

    // Fills one 64 KiB flash sector as the device holds it at deviceTime. The default puts the
    // configuration image into sector 0 at 0xF000, the archives and the parameter log of the
    // attached archive memory into sectors 1–5 and 7, and fills everything else with bytes derived
    // from the seed, so that reads of any address are checkable. A model may override any sector.
    virtual void fillFlashSector(int sector, QByteArray &bytes, const QDateTime &deviceTime) const;

    uint32_t seed() const { return seed_; }
    // The archive memory the simulator made for this device (none: seeded bytes everywhere).
    void attachArchive(std::shared_ptr<const SimArchive> archive) { archive_ = std::move(archive); }

protected:
    uint32_t seed_;
    std::shared_ptr<const SimArchive> archive_;
};

using ScenarioBuilder = std::unique_ptr<SimDeviceModel> (*)(uint32_t seed);

struct ScenarioInfo {
    const char *name;
    const char *title;
    ScenarioBuilder build;
};

// The built-in scenarios.
const std::vector<ScenarioInfo> &Scenarios();
QStringList ScenarioNames();
// Null when the name is unknown.
std::unique_ptr<SimDeviceModel> BuildScenario(const QString &name, uint32_t seed);

// Image helpers shared by scenario builders.
namespace image {
void PutText(QByteArray &img, int offset, int capacity, const QString &text);        // cp866 short string
void PutStamp(QByteArray &img, int offset, int hour, int day, int month, int year);  // BCD
void PutFloat(QByteArray &bytes, int offset, float value);
uint8_t Bcd(int v);
}  // namespace image

// Deterministic byte stream (xorshift32) for generated memory contents.
class SimRandom {
public:
    explicit SimRandom(uint32_t seed) : s_(seed ? seed : 0x9E3779B9u) {}
    uint32_t next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    double unit() { return (next() >> 8) / double(1u << 24); }

private:
    uint32_t s_;
};

}  // namespace torv
