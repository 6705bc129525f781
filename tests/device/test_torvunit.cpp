// The device object: device kind rule, taking over a configuration image (copies, factory number
// rules, device number, converted texts) and the ".usd" file.
#include "TestUtil.h"
#include "base/WriteFailure.h"

#include "device/torvunit.h"
#include "base/CodePage.h"
#include "sim/ImageBuilder.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace torv;

namespace {

QByteArray ImageWithMedia(const char *media) {
    ImageBuilder b;
    for (int n = 1; n <= 4; ++n)
        if (media[n - 1] != '-')
            b.Channel(n, media[n - 1]);
    return b.image();
}

// An image whose factory number field holds `bytes` after the length byte `length`.
QByteArray ImageWithFactoryField(uint8_t length, const QByteArray &bytes, const char *media = "V---") {
    QByteArray image = ImageWithMedia(media);
    image[img::kFactoryNumber] = char(length);
    for (int i = 0; i < img::kFactoryNumberCapacity; ++i)
        image[img::kFactoryNumber + 1 + i] = i < bytes.size() ? bytes[i] : char(0xFF);
    return image;
}

QString Take(TTorv2s &device, const QByteArray &image, const ConfigurationLink &link = {}) {
    QString number = QStringLiteral("unchanged");
    device.TakeConfigurationImage(image, link, number);
    return number;
}

}  // namespace

TEST(DeviceObject, DeviceKindRule) {
    const struct {
        const char *media;
        char kind;
    } cases[] = {
        {"----", '-'}, {"VDAB", '-'}, {"W--V", '-'}, {"-T--", '-'},  // no kind medium: the gas kind
        {"H-S-", 'G'},                                               // the later channel wins
        {"S--H", 'H'}, {"Q---", 'G'}, {"L---", 'L'}, {"-P-V", 'P'}, {"PQSW", 'G'}, {"LLLP", 'P'},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TTorv2s::DeviceKindOf(ImageWithMedia(c.media)), c.kind) << c.media;
    EXPECT_TRUE(TTorv2s::IsGasKind('-'));
    EXPECT_TRUE(TTorv2s::IsGasKind('V'));
    EXPECT_FALSE(TTorv2s::IsGasKind('G'));
}

// The factory number keeps its leading digits, read whatever the length byte says.
TEST(DeviceObject, FactoryNumberCut) {
    const struct {
        uint8_t length;
        const char *bytes;
        const char *number;
    } cases[] = {
        {7, "12345AB", "12345"},         {6, "A12345", ""},
        {0xFF, "2104517", "2104517"},  // unset length byte, digits still there
        {3, "1234567890", "1234567890"}, {10, "0012345 78", "0012345"},
    };
    for (const auto &c : cases) {
        TTorv2s device;
        Take(device, ImageWithFactoryField(c.length, QByteArray(c.bytes)));
        EXPECT_EQ(device.FactoryNumber(), QString::fromLatin1(c.number)) << c.bytes;
        EXPECT_EQ(device.devObj().FactoryNumber(), QString::fromLatin1(c.number)) << c.bytes;
    }
}

TEST(DeviceObject, FactoryNumberFromTheLink) {
    const QByteArray image = ImageWithFactoryField(7, "1234567", "L---");
    const struct {
        ConfigurationLink link;
        const char *factory;
        const char *deviceNumber;
    } cases[] = {
        // Written as the device number is formed: leading zeros dropped, so files and tables agree.
        {{QStringLiteral("RS232"), true, QStringLiteral("0012345")}, "12345", "unchanged"},
        {{QStringLiteral("RS232"), false, QStringLiteral("0012345")}, "1234567", "unchanged"},
        {{QStringLiteral("RS232"), true, QString()}, "1234567", "unchanged"},  // no digits came: kept
        {{QStringLiteral("RS232M"), true, QStringLiteral("999")}, "1234567", "unchanged"},
        {{QStringLiteral("RS485"), true, QStringLiteral("999")}, "1234567", "1234567"},
    };
    for (const auto &c : cases) {
        TTorv2s device;
        const QString number = Take(device, image, c.link);
        EXPECT_EQ(device.FactoryNumber(), QString::fromLatin1(c.factory)) << c.link.linkType.toStdString();
        EXPECT_EQ(number, QString::fromLatin1(c.deviceNumber)) << c.link.linkType.toStdString();
        EXPECT_EQ(device.fluid().FactoryNumber(), QString::fromLatin1(c.factory));
    }

    // Over the bus the device number is the field as read, before the cut to its digits.
    TTorv2s device;
    const QString number = Take(device, ImageWithFactoryField(7, "12345AB"), {QStringLiteral("RS485"), false, {}});
    EXPECT_EQ(number, QStringLiteral("12345AB"));
    EXPECT_EQ(device.FactoryNumber(), QStringLiteral("12345"));
}

// All copies get the image as read; only the kind's copy and channel object get the adjustments.
TEST(DeviceObject, ImageCopies) {
    ImageBuilder b;
    b.Channel(1, 'H').Channel(2, 'T');
    b.Identity(QStringLiteral("ТОРВ-2Т"), QStringLiteral("2305602AB"), QStringLiteral("Настройщик"),
               QStringLiteral("v7"))
        .Owner(QStringLiteral("Хозяин"), QStringLiteral("Объект №1"))
        .ProgramOwner(false, QStringLiteral("Теплоучет"));
    const QByteArray image = b.image();
    TTorv2s device;
    Take(device, image);
    EXPECT_EQ(device.kind, 'H');
    EXPECT_EQ(device.image, image);
    EXPECT_EQ(device.fluidImage, image);
    EXPECT_EQ(device.steamImage, image);
    EXPECT_EQ(device.c3h8Image, image);
    EXPECT_EQ(device.devObj().Image(), image);
    EXPECT_NE(device.heatImage, image);
    EXPECT_EQ(device.heat().Image(), device.heatImage);
    EXPECT_EQ(device.heat().FactoryNumber(), QStringLiteral("2305602"));
    EXPECT_EQ(&device.KindChannelObject(), static_cast<TDevObjBase *>(&device.heat()));

    EXPECT_EQ(device.modelText, QStringLiteral("ТОРВ-2Т"));
    EXPECT_EQ(device.configuredBy, QStringLiteral("Настройщик"));
    EXPECT_EQ(device.ownerText, QStringLiteral("Хозяин"));
    EXPECT_EQ(device.programOwner, QStringLiteral("Теплоучет"));
    // Only the letters А…я are converted: "№" (cp866 0xFC) stays the byte it was.
    EXPECT_EQ(device.objectText, QStringLiteral("Объект ") + FromCp1251(QByteArray("\xFC")) + QStringLiteral("1"));
}

TEST(DeviceObject, UnsetTextsAndShortImage) {
    QByteArray image = ImageWithMedia("D---");
    TTorv2s device;
    Take(device, image.left(1000));  // failed block reads leave zeroed buffers
    EXPECT_EQ(device.image.size(), 4096);
    EXPECT_EQ(device.image.mid(1000), QByteArray(3096, '\0'));
    EXPECT_EQ(device.modelText, QString());  // length byte 0xFF
    EXPECT_EQ(device.programOwner, QString());
    EXPECT_EQ(device.kind, '-');
}

// A fresh set of channel objects: "Нет данных" until the next image.
TEST(DeviceObject, CreateChannelObjects) {
    TTorv2s device;
    Take(device, ImageWithMedia("V---"));
    device.devObj().deviceDate = QDate(2020, 1, 1);
    device.CreateChannelObjects();
    EXPECT_EQ(device.devObj().ModelText(), QStringLiteral("Нет данных"));
    EXPECT_TRUE(device.devObj().NoChannels());
    EXPECT_FALSE(device.devObj().deviceDate.isValid());
}

TEST(DeviceObject, UsdFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray image = ScenarioImage(QStringLiteral("steam"));
    TTorv2s device;
    Take(device, image);
    ASSERT_EQ(device.kind, 'G');
    ASSERT_EQ(device.SaveUsd(dir.path()), QString());
    const QString path = TTorv2s::UsdPath(dir.path(), QStringLiteral("2203118"));
    EXPECT_EQ(path, QDir(dir.path()).filePath(QStringLiteral("T2_2203118.usd")));
    EXPECT_EQ(torvtest::ReadAll(path), device.steamImage);

    // Read back by a device object that last read another kind of device.
    TTorv2s other;
    Take(other, ScenarioImage(QStringLiteral("heat")));
    ASSERT_EQ(other.LoadUsd(dir.path() + QStringLiteral("/"), QStringLiteral("2203118")), QString());
    EXPECT_EQ(other.kind, 'G');
    EXPECT_EQ(other.steamImage, device.steamImage);
    EXPECT_EQ(other.steam().Image(), device.steamImage);
}

TEST(DeviceObject, UsdFileErrors) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TTorv2s device;
    Take(device, ScenarioImage(QStringLiteral("heat")));
    const QByteArray before = device.heatImage;

    EXPECT_TRUE(device.LoadUsd(dir.path(), QStringLiteral("2305602")).startsWith(QStringLiteral("Нет файла")));
    const QString path = TTorv2s::UsdPath(dir.path(), QStringLiteral("2305602"));
    ASSERT_TRUE(torvtest::WriteAll(path, QByteArray(1000, 'x')));
    const QString shortError = device.LoadUsd(dir.path(), QStringLiteral("2305602"));
    EXPECT_TRUE(shortError.contains(QStringLiteral("поврежден: 1000 байт вместо 4096"))) << shortError.toStdString();
    ASSERT_TRUE(torvtest::WriteAll(path, QByteArray(5000, 'x')));
    EXPECT_FALSE(device.LoadUsd(dir.path(), QStringLiteral("2305602")).isEmpty());
    EXPECT_EQ(device.kind, 'H');
    EXPECT_EQ(device.heatImage, before);

    // No factory number to name the file; a directory that is not there.
    TTorv2s unnamed;
    Take(unnamed, ImageWithFactoryField(3, "ABC"));
    EXPECT_FALSE(unnamed.SaveUsd(dir.path()).isEmpty());
    EXPECT_FALSE(device.SaveUsd(dir.path() + QStringLiteral("/missing")).isEmpty());
}

// A ".usd" that cannot be written says so and leaves the file that was there; a ".usd" copied from
// another system under another letter case is the one read and replaced.
TEST(DeviceObject, UsdFileOnAFullDiskAndInAnotherLetterCase) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TTorv2s device;
    Take(device, ScenarioImage(QStringLiteral("steam")));
    const QString copied = dir.filePath(QStringLiteral("t2_2203118.USD"));
    const QByteArray old = ScenarioImage(QStringLiteral("heat"));
    ASSERT_TRUE(torvtest::WriteAll(copied, old));
    EXPECT_EQ(TTorv2s::UsdPath(dir.path(), QStringLiteral("2203118")), copied);
    {
        torvtest::FileSizeLimit full(100);
        ASSERT_TRUE(full.active());
        const QString err = device.SaveUsd(dir.path());
        EXPECT_TRUE(err.startsWith(QStringLiteral("Не удалось записать файл настройки прибора ") +
                                   QDir::toNativeSeparators(copied) + QStringLiteral(": ")))
            << err.toStdString();
    }
    EXPECT_EQ(torvtest::ReadAll(copied), old);
    TTorv2s reader;
    ASSERT_EQ(reader.LoadUsd(dir.path(), QStringLiteral("2203118")), QString());
    EXPECT_EQ(reader.kind, 'H');

    ASSERT_EQ(device.SaveUsd(dir.path()), QString());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("t2_2203118.USD")});
    EXPECT_EQ(torvtest::ReadAll(copied), device.steamImage);
}
