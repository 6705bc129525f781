#include "device/torvunit.h"

#include "base/FileNames.h"
#include "base/FileWrite.h"
#include "base/CodePage.h"

#include <QDir>
#include <QFile>

namespace torv {

TTorv2s::TTorv2s(Prompts *prompts)
    : image(img::kSize, char(0xFF)), heatImage(img::kSize, char(0xFF)), fluidImage(img::kSize, char(0xFF)),
      steamImage(img::kSize, char(0xFF)), c3h8Image(img::kSize, char(0xFF)), prompts_(prompts) {
    CreateChannelObjects();
}

void TTorv2s::CreateChannelObjects() {
    devObj_ = std::make_unique<TDevObj>(prompts_);
    heat_ = std::make_unique<TDevObjHeat>();
    fluid_ = std::make_unique<TDevObjFluid>();
    steam_ = std::make_unique<TDevObjSteam>();
    c3h8_ = std::make_unique<TDevObjC3H8>();
}

char TTorv2s::DeviceKindOf(const QByteArray &image) {
    char kind = KindNone;
    for (int n = 1; n <= 4; ++n) {
        const int at = img::kChannelRecords + img::kChannelRecordSize * (n - 1);
        if (at >= image.size())
            break;
        switch (uint8_t(image[at])) {
        case 'H': kind = KindHeat; break;
        case 'L': kind = KindLiquid; break;
        case 'P': kind = KindPropane; break;
        case 'S':
        case 'Q': kind = KindSteam; break;
        default: break;
        }
    }
    return kind;
}

bool TTorv2s::IsGasKind(char kind) {
    return kind != KindSteam && kind != KindHeat && kind != KindLiquid && kind != KindPropane;
}

QByteArray &TTorv2s::ImageOfKind(char k) {
    switch (k) {
    case KindHeat: return heatImage;
    case KindLiquid: return fluidImage;
    case KindSteam: return steamImage;
    case KindPropane: return c3h8Image;
    default: return image;
    }
}

TDevObjBase &TTorv2s::ChannelObjectOfKind(char k) {
    switch (k) {
    case KindHeat: return *heat_;
    case KindLiquid: return *fluid_;
    case KindSteam: return *steam_;
    case KindPropane: return *c3h8_;
    default: return *devObj_;
    }
}

QByteArray &TTorv2s::KindImage() { return ImageOfKind(kind); }

const QByteArray &TTorv2s::KindImage() const { return const_cast<TTorv2s *>(this)->ImageOfKind(kind); }

TDevObjBase &TTorv2s::KindChannelObject() { return ChannelObjectOfKind(kind); }

QString TTorv2s::FactoryNumber() const {
    return TextField(KindImage(), img::kFactoryNumber, img::kFactoryNumberCapacity);
}

void TTorv2s::FillConvertedTexts(const QByteArray &copy) {
    auto converted = [&copy](int offset, int capacity) {
        return FromCp1251(Cp866ToWin(TextFieldBytes(copy, offset, capacity), 1));
    };
    modelText = converted(img::kModelText, img::kModelCapacity);
    configuredBy = converted(img::kConfiguredBy, img::kLongTextCapacity);
    ownerText = converted(img::kOwnerText, img::kLongTextCapacity);
    objectText = converted(img::kObjectText, img::kLongTextCapacity);
    programOwner = converted(IsGasKind(kind) ? img::kProgramOwnerGas : img::kProgramOwnerOther, img::kLongTextCapacity);
}

// The factory number field keeps only its leading digits: the characters at positions 1…10 are
// taken whatever the length byte says, up to the first one that is not a digit.
void TTorv2s::CutFactoryNumber(QByteArray &copy) {
    QByteArray digits;
    for (int i = 1; i <= img::kFactoryNumberCapacity; ++i) {
        const char c = copy[img::kFactoryNumber + i];
        if (c < '0' || c > '9')
            break;
        digits.append(c);
    }
    PutTextField(copy, img::kFactoryNumber, img::kFactoryNumberCapacity, digits);
}

void TTorv2s::TakeConfigurationImage(const QByteArray &read, const ConfigurationLink &link, QString &deviceNumber) {
    QByteArray full = read.left(img::kSize);
    if (full.size() < img::kSize)
        full.append(QByteArray(img::kSize - full.size(), '\0'));

    // Step 4: every copy and every channel object gets the image as read.
    image = full;
    heatImage = full;
    fluidImage = full;
    steamImage = full;
    c3h8Image = full;
    devObj_->SetImage(full);
    heat_->SetImage(full);
    fluid_->SetImage(full);
    steam_->SetImage(full);
    c3h8_->SetImage(full);

    // Step 5: the device kind, then its copy.
    kind = DeviceKindOf(full);
    QByteArray &copy = ImageOfKind(kind);

    // 5.1 A direct link knows the serial number from the handshake. An empty serial string (no
    // digits came with the last handshake) keeps the device's own field rather than erasing it.
    // The serial string is written as the device number is formed from it (leading zeros dropped),
    // so the device's side files, its tables and its registry row all carry one and the same number.
    if (link.linkOpen && link.linkType == QLatin1String("RS232") && !link.serialString.isEmpty()) {
        bool ok = false;
        const qulonglong value = link.serialString.toULongLong(&ok);
        const QString number = ok ? QString::number(value) : link.serialString;
        PutTextField(copy, img::kFactoryNumber, img::kFactoryNumberCapacity, number.toLatin1());
        // The cut to the leading digits reads the whole field: digits left behind the new text by a
        // longer number would join it, so they become blanks.
        for (int i = 1 + number.size(); i <= img::kFactoryNumberCapacity; ++i) {
            char &c = copy[img::kFactoryNumber + i];
            if (c >= '0' && c <= '9')
                c = ' ';
        }
    }
    // 5.2 Over the bus the device is named by its own factory number field.
    if (link.linkType == QLatin1String("RS485"))
        deviceNumber = TextField(copy, img::kFactoryNumber, img::kFactoryNumberCapacity);
    // 5.3, 5.4, 5.5
    FillConvertedTexts(copy);
    CutFactoryNumber(copy);
    ChannelObjectOfKind(kind).SetImage(copy);
}

QString TTorv2s::UsdPath(const QString &devDir, const QString &factoryNumber) {
    return FindNoCase(devDir, QStringLiteral("T2_") + factoryNumber + QStringLiteral(".usd"));
}

QString TTorv2s::SaveUsd(const QString &devDir) const {
    const QString number = FactoryNumber();
    if (number.isEmpty())
        return QStringLiteral("Не сохранен файл настройки прибора: в настройке нет заводского номера");
    const QString path = UsdPath(devDir, number);
    QString reason;
    if (!ReplaceFileContents(path, KindImage(), &reason))
        return QStringLiteral("Не удалось записать файл настройки прибора ") + QDir::toNativeSeparators(path) +
               QStringLiteral(": ") + reason;
    return QString();
}

QString TTorv2s::LoadUsd(const QString &devDir, const QString &factoryNumber) {
    const QString path = UsdPath(devDir, factoryNumber);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Нет файла настройки прибора ") + QDir::toNativeSeparators(path);
    const QByteArray bytes = file.read(img::kSize + 1);
    if (bytes.size() != img::kSize)
        return QStringLiteral("Файл настройки прибора ") + QDir::toNativeSeparators(path) +
               QStringLiteral(" поврежден: ") + QString::number(file.size()) + QStringLiteral(" байт вместо 4096");
    // The image names its own kind: a device chosen offline may differ from the last one read.
    kind = DeviceKindOf(bytes);
    ImageOfKind(kind) = bytes;
    ChannelObjectOfKind(kind).SetImage(bytes);
    return QString();
}

QDateTime ImageStartOfWork(const QByteArray &image) {
    if (image.size() < img::kStartOfWork + 4 || uint8_t(image[img::kStartOfWork]) == 0xFF)
        return QDateTime();
    const int hour = BcdToInt(uint8_t(image[img::kStartOfWork]));
    const QDate date(2000 + BcdToInt(uint8_t(image[img::kStartOfWork + 3])),
                     BcdToInt(uint8_t(image[img::kStartOfWork + 2])), BcdToInt(uint8_t(image[img::kStartOfWork + 1])));
    if (!date.isValid() || hour > 23)
        return QDateTime();
    return QDateTime(date, QTime(hour, 0));
}

}  // namespace torv
