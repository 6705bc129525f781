#include "sim/Scenario.h"

#include "base/CodePage.h"
#include "sim/ImageBuilder.h"
#include "sim/SimArchive.h"

#include <QtEndian>
#include <cmath>
#include <cstring>

namespace torv {

namespace image {

uint8_t Bcd(int v) { return uint8_t(((v / 10) % 10) << 4 | (v % 10)); }

void PutText(QByteArray &img, int offset, int capacity, const QString &text) {
    QByteArray b = ToCp866(text).left(capacity);
    img[offset] = char(b.size());
    for (int i = 0; i < capacity; ++i)
        img[offset + 1 + i] = i < b.size() ? b[i] : ' ';
}

void PutStamp(QByteArray &img, int offset, int hour, int day, int month, int year) {
    img[offset] = char(Bcd(hour));
    img[offset + 1] = char(Bcd(day));
    img[offset + 2] = char(Bcd(month));
    img[offset + 3] = char(Bcd(year % 100));
}

void PutFloat(QByteArray &bytes, int offset, float value) {
    uint32_t u;
    std::memcpy(&u, &value, 4);
    qToLittleEndian(u, bytes.data() + offset);
}

}  // namespace image

namespace {

// Offsets of the configuration image the simulated device fills.
constexpr int kModelText = 1, kFactoryNumber = 12, kConfiguredBy = 23, kFirmware = 44;
constexpr int kProgrammed = 65, kChannels = 73, kChannelSize = 64;
constexpr int kStartOfWork = 1257, kContractHour = 1261, kOwner = 1273, kObject = 1294;
constexpr int kVolumeUnit = 1361, kMassUnit = 1362, kProgramOwner = 1368;

}  // namespace

QByteArray SimDeviceModel::identityText() const { return ToCp866(QStringLiteral("ТОРВ-2 ")).left(7); }

std::vector<int> SimDeviceModel::usedChannels() const {
    const QByteArray img = configurationImage();
    std::vector<int> used;
    for (int n = 1; n <= 4; ++n)
        if (uint8_t(img[kChannels + kChannelSize * (n - 1)]) != 0xFF)
            used.push_back(n);
    return used;
}

QByteArray SimDeviceModel::currentValues(int channel, const QDateTime &deviceTime) const {
    QByteArray p(48, '\0');
    p[0] = char(0xC9);
    p[4] = char(((channel - 1) & 3) << 4);
    const uint8_t medium = uint8_t(configurationImage()[kChannels + kChannelSize * (channel - 1)]);
    p[3] = char(medium);
    // Slowly varying values, the same for the same device time.
    const double t = deviceTime.toSecsSinceEpoch() / 60.0;
    const double wave = std::sin(t / 7.0 + channel);
    image::PutFloat(p, 7, float(5.2 + 0.05 * wave + 0.1 * channel));  // pressure, kgf/cm2
    image::PutFloat(p, 11, float(288.15 + 2.0 * wave));               // temperature, K
    image::PutFloat(p, 15, float(120.0 * channel + 5.0 * wave));      // Qc
    image::PutFloat(p, 23, float(20.0 * channel + wave));             // Qp
    const float total = float(1000.0 * channel + t / 10.0);
    if (medium == 'D' || medium == 'A')
        image::PutFloat(p, 27, total);  // orifice media carry the total here
    else
        image::PutFloat(p, 27, float(0.02 + 0.001 * wave));
    image::PutFloat(p, 31, total);
    return p;
}

void SimDeviceModel::fillFlashSector(int sector, QByteArray &bytes, const QDateTime &deviceTime) const {
    if (archive_ && SimArchive::HoldsArchive(sector) && deviceTime.isValid()) {
        bytes = archive_->sector(sector, deviceTime);
        return;
    }
    bytes.resize(kFlashSectorSize);
    SimRandom r(seed_ * 2654435761u + uint32_t(sector) * 40503u + 1u);
    for (int i = 0; i < kFlashSectorSize; i += 4) {
        const uint32_t v = r.next();
        for (int k = 0; k < 4; ++k)
            bytes[i + k] = char(v >> (8 * k));
    }
    if (sector == 0)
        bytes.replace(kImageAddress, kImageSize, configurationImage());
}

namespace {

// A four-channel gas device: gas and air, through flowmeters and orifices.
class Gas4Model final : public SimDeviceModel {
public:
    using SimDeviceModel::SimDeviceModel;
    QString name() const override { return QStringLiteral("gas4"); }
    QByteArray serialText() const override { return QByteArrayLiteral("0004217"); }

    QByteArray configurationImage() const override {
        if (!image_.isEmpty())
            return image_;
        QByteArray img(kImageSize, char(0xFF));
        img[0] = 0;
        image::PutText(img, kModelText, 10, QStringLiteral("ТОРВ-2Г"));
        image::PutText(img, kFactoryNumber, 10, QStringLiteral("4217"));
        image::PutText(img, kConfiguredBy, 20, QStringLiteral("Наладчик Иванов"));
        image::PutText(img, kFirmware, 20, QStringLiteral("V2.15 gas"));
        image::PutStamp(img, kProgrammed, 10, 15, 1, 2019);
        const char media[4] = {'V', 'D', 'B', 'A'};
        for (int n = 0; n < 4; ++n) {
            const int rec = kChannels + kChannelSize * n;
            img[rec] = media[n];
            for (int w = 0; w < 31; ++w) {  // sensor words: not connected
                img[rec + 1 + 2 * w] = char(0xFF);
                img[rec + 2 + 2 * w] = char(0xFF);
            }
        }
        image::PutStamp(img, kStartOfWork, 0, 1, 2, 2019);
        img[kContractHour] = 10;
        image::PutText(img, kOwner, 20, QStringLiteral("ООО \"Газсбыт\""));
        image::PutText(img, kObject, 20, QStringLiteral("Котельная №2"));
        img[kVolumeUnit] = 'M';
        img[kMassUnit] = 'K';
        image::PutText(img, kProgramOwner, 20, QStringLiteral("Природный газ"));
        image_ = img;
        return image_;
    }

private:
    mutable QByteArray image_;
};

std::unique_ptr<SimDeviceModel> BuildGas4(uint32_t seed) { return std::make_unique<Gas4Model>(seed); }

// A device whose configuration image is one of the named images of the image builder: every
// device kind and medium with plausible constants.
class ImageModel final : public SimDeviceModel {
public:
    ImageModel(const QString &name, uint32_t seed) : SimDeviceModel(seed), name_(name), image_(ScenarioImage(name)) {}
    QString name() const override { return name_; }
    QByteArray configurationImage() const override { return image_; }
    // The factory number's digits, as seven characters with leading zeros.
    QByteArray serialText() const override {
        QByteArray digits;
        const int len = std::min<int>(uint8_t(image_[kFactoryNumber]), 10);
        for (int i = 0; i < len; ++i) {
            const char c = image_[kFactoryNumber + 1 + i];
            if (c < '0' || c > '9')
                break;
            digits += c;
        }
        return digits.right(7).rightJustified(7, '0');
    }

private:
    QString name_;
    QByteArray image_;
};

}  // namespace

const std::vector<ScenarioInfo> &Scenarios() {
    static const std::vector<ScenarioInfo> list = {
        {"gas4", "четырехканальный газовый прибор", &BuildGas4},
    };
    return list;
}

QStringList ScenarioNames() {
    QStringList names;
    for (const auto &s : Scenarios())
        names << QString::fromLatin1(s.name);
    return names + ImageScenarioNames();
}

std::unique_ptr<SimDeviceModel> BuildScenario(const QString &name, uint32_t seed) {
    for (const auto &s : Scenarios())
        if (name == QLatin1String(s.name))
            return s.build(seed);
    if (ImageScenarioNames().contains(name))
        return std::make_unique<ImageModel>(name, seed);
    return nullptr;
}

}  // namespace torv
