// Channel objects: fresh state, descriptor resolution through the layout tables, text accessors,
// unit and caption texts, the channel range error and the number forms of the image.
#include "device/DevData.h"
#include "device/DevDataC3H8.h"
#include "device/DevDataFluid.h"
#include "device/DevDataHeat.h"
#include "device/DevDataSteam.h"
#include "link/Prompts.h"
#include "sim/ImageBuilder.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace torv;

namespace {

// Each class's fresh object through a common interface.
template <class T>
void ExpectFresh(const T &m) {
    EXPECT_EQ(m.Channel(), 0);
    EXPECT_EQ(m.ModelText(), QStringLiteral("Нет данных"));
    EXPECT_EQ(m.FactoryNumber(), QStringLiteral("Нет данных"));
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(m.MediumOf(n), 0xFF);
    EXPECT_TRUE(m.NoChannels());
    EXPECT_EQ(m.ByteAt(img::kDiscreteArea), 'D');
    for (int i = img::kDiscreteArea + 1; i <= img::kDiscreteAreaEnd; ++i)
        ASSERT_EQ(m.ByteAt(i), 0) << i;
    EXPECT_EQ(m.ByteAt(0), 0xFF);
    EXPECT_EQ(m.ByteAt(img::kSize - 1), 0xFF);
    for (const ApproximationTable &t : m.approximation) {
        EXPECT_EQ(t.key, 0);
        EXPECT_EQ(t.count, 0);
    }
    // A fresh object resolves nothing and reads no channel.
    EXPECT_FALSE(m.Descriptor(0));
    EXPECT_EQ(m.SensorWord(0), 0xFFFF);
    EXPECT_EQ(m.ChannelRecord(), QByteArray(64, char(0xFF)));
}

}  // namespace

TEST(ChannelObjects, FreshObjectsOfEveryClass) {
    ExpectFresh(TDevObj());
    ExpectFresh(TDevObjHeat());
    ExpectFresh(TDevObjFluid());
    ExpectFresh(TDevObjSteam());
    ExpectFresh(TDevObjC3H8());
    EXPECT_FALSE(TDevObj().deviceDate.isValid());
}

// Resolution examples: a word resolves only where its class group holds its index for the channel.
TEST(ChannelObjects, DescriptorResolution) {
    ImageBuilder b;
    b.Channel(1, 'V').Channel(2, 'V').Channel(3, 'H').Channel(4, 'D');
    b.Slot(1, 1, 'F', 0)
        .Slot(2, 1, 'F', 0)  // flowmeter word 1: F/P index 1, 0, 5, 4
        .Slot(4, 3, 'D', 1)  // orifice word 3: D index 1
        .Slot(3, 5, 'D', 9)  // heat channel of the gas device: D 7, 8, 9, 10
        .Slot(1, 0, 'I', 1)
        .Slot(1, 2, 'A', 0)  // A/B holds no index anywhere
        .Slot(1, 3, 'X', 0)
        .Slot(4, 0, 'I', 2);  // unknown letter; wrong index (13 expected)
    TDevObj m;
    m.SetImage(b.image());
    const struct {
        int channel, word, address;
    } cases[] = {
        {2, 1, 841},                  // 'F' | 0 on channel 2
        {1, 1, -1},                   // the same word on channel 1 expects index 1
        {4, 3, 1161},                 // 'D' | 1 → 1161 + 32 × (1 div 7)
        {3, 5, 1161 + 32 * (9 / 7)},  // 'D' | 9 → 1193
        {1, 0, 329 + 32},             // 'I' | 1
        {1, 2, -1},
        {1, 3, -1},
        {4, 0, -1},
        {1, 9, -1},  // beyond the layout rows
    };
    for (const auto &c : cases) {
        m.SetChannel(c.channel);
        const auto d = m.Descriptor(c.word);
        EXPECT_EQ(d ? d->address() : -1, c.address) << "channel " << c.channel << " word " << c.word;
    }
}

// The medium classes use their own tables: the same image resolves differently in each.
TEST(ChannelObjects, LayoutTablesOfTheMediumClasses) {
    ImageBuilder b;
    b.Channel(1, 'H').Channel(2, 'T').Channel(3, 'S').Channel(4, 'P');
    b.Slot(1, 0, 'I', 1)
        .Slot(1, 5, '1', 4)   // H1: P2 is word 4, T2 word 5
        .Slot(2, 0, 'I', 8)   // H2: outdoor temperature
        .Slot(3, 5, '3', 4)   // S2: cold-water thermometer
        .Slot(4, 2, 'P', 7);  // P1: flow F/P 7 on channel 4
    const QByteArray image = b.image();

    TDevObjHeat heat;
    heat.SetImage(image);
    heat.SetChannel(1);
    EXPECT_EQ(heat.Descriptor(0)->address(), 329 + 32);
    EXPECT_EQ(heat.Descriptor(5)->address(), 329 + 128);
    heat.SetChannel(2);
    EXPECT_EQ(heat.Descriptor(0)->address(), 329 + 256);
    heat.SetChannel(3);
    EXPECT_FALSE(heat.Descriptor(5));  // no heat table for 'S'

    TDevObjSteam steam;
    steam.SetImage(image);
    steam.SetChannel(3);
    EXPECT_EQ(steam.Descriptor(5)->address(), 329 + 128);
    TDevObj gas;
    gas.SetImage(image);
    gas.SetChannel(3);
    EXPECT_FALSE(gas.Descriptor(5));  // G2 has no word 5

    TDevObjC3H8 propane;
    propane.SetImage(image);
    propane.SetChannel(4);
    EXPECT_EQ(propane.Descriptor(2)->address(), 841 + 7 * 32);
    propane.SetChannel(3);
    EXPECT_FALSE(propane.Descriptor(0));

    // The liquid class uses one table whatever the medium code.
    ImageBuilder l;
    l.Channel(1, 'X').Slot(1, 2, '1', 0).Slot(1, 0, 'F', 2).Slot(1, 1, 'I', 1);
    TDevObjFluid fluid;
    fluid.SetImage(l.image());
    fluid.SetChannel(1);
    EXPECT_EQ(fluid.Descriptor(2)->address(), 329);
    EXPECT_EQ(fluid.Descriptor(0)->address(), 841 + 64);
    EXPECT_EQ(fluid.Descriptor(1)->address(), 329 + 32);
}

TEST(ChannelObjects, DescriptorFields) {
    SensorSpec s = CurrentSensor('I', 0.0f, 16.0f, 6.0f, 'I');
    ImageBuilder b;
    b.Channel(1, 'D').Slot(1, 0, 'I', 1).Sensor('I', 1, s);
    TDevObj m;
    m.SetImage(b.image());
    m.SetChannel(1);
    const auto d = m.Descriptor(0);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->Signal(), 'I');
    EXPECT_EQ(d->Flag6(), 'I');
    EXPECT_FLOAT_EQ(d->Contract(), 6.0f);
    EXPECT_EQ(d->Function(), 'L');
    EXPECT_FLOAT_EQ(d->C0(), 1.0f);
    EXPECT_FLOAT_EQ(d->C1(), 0.0f);
}

TEST(ChannelObjects, TextFields) {
    ImageBuilder b;
    b.Identity(QStringLiteral("ТОРВ-2"), QStringLiteral("2104517"), QStringLiteral("Иванов"),
               QStringLiteral("MPrgV6.1"))
        .Owner(QStringLiteral("Владелец"), QStringLiteral("Объект"))
        .ProgramOwner(true, QStringLiteral("Газовый"));
    QByteArray image = b.image();
    image[img::kObjectText] = char(0xFF);  // unset field
    image[img::kOwnerText] = char(21);     // longer than its capacity
    TDevObj gas;
    gas.SetImage(image);
    EXPECT_EQ(gas.ModelText(), QStringLiteral("ТОРВ-2"));
    EXPECT_EQ(gas.FactoryNumber(), QStringLiteral("2104517"));
    EXPECT_EQ(gas.ConfiguredBy(), QStringLiteral("Иванов"));
    EXPECT_EQ(gas.FirmwareVersion(), QStringLiteral("MPrgV6.1"));
    EXPECT_EQ(gas.ObjectText(), QString());
    EXPECT_EQ(gas.OwnerText(), QString());
    EXPECT_EQ(gas.ProgramOwner(), QStringLiteral("Газовый"));

    // The other layouts keep the program owner one byte further on.
    TDevObjSteam steam;
    steam.SetImage(ImageBuilder().ProgramOwner(false, QStringLiteral("Паровой")).image());
    EXPECT_EQ(steam.ProgramOwner(), QStringLiteral("Паровой"));
    TDevObj gasReadingOther;
    gasReadingOther.SetImage(steam.Image());
    EXPECT_EQ(gasReadingOther.ProgramOwner(), QString());  // 0xFF length byte at 1368
}

TEST(ChannelObjects, TwoGaugesAndNoChannels) {
    ImageBuilder b;
    b.Channel(1, 'D').Slot(1, 3, 'D', 1).Channel(2, 'A').Slot(2, 3, 'I', 7).Channel(3, 'S');
    QByteArray image = b.image();
    image[img::kChannelRecords + 128 + 7] = char(0xFF);
    TDevObj m;
    m.SetImage(image);
    EXPECT_FALSE(m.NoChannels());
    const bool expected[] = {false, true, false};
    for (int n = 1; n <= 3; ++n) {
        m.SetChannel(n);
        EXPECT_EQ(m.HasTwoDpSensors(), expected[n - 1]) << n;
    }
}

TEST(ChannelObjects, SetChannelRange) {
    ScriptedPrompts prompts;
    TDevObj gas(&prompts);
    gas.SetChannel(2);
    gas.SetChannel(5);
    gas.SetChannel(0);
    EXPECT_EQ(gas.Channel(), 2);
    EXPECT_EQ(prompts.texts(), (QStringList{QStringLiteral("Ошибка 10: Номер канала5не допускается"),
                                            QStringLiteral("Ошибка 10: Номер канала0не допускается")}));

    TDevObjHeat heat;
    heat.SetChannel(1);
    try {
        heat.SetChannel(7);
        FAIL() << "no range error";
    } catch (const ChannelRangeError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("Номер канала 7 не допускается"));
    }
    EXPECT_EQ(heat.Channel(), 1);
    EXPECT_THROW(TDevObjFluid().SetChannel(-1), ChannelRangeError);
    EXPECT_THROW(TDevObjSteam().SetChannel(5), ChannelRangeError);
    EXPECT_THROW(TDevObjC3H8().SetChannel(0), ChannelRangeError);
}

TEST(ChannelObjects, VolumeAndMassUnitTexts) {
    const struct {
        const char *media;  // channels 1…4, '-' unused
        char volume, mass;
        const char *volumeText, *massText;
    } cases[] = {
        {"----", 'L', 'K', "м3", "кг"}, {"V---", 'L', 'G', "л", "г"},   {"V---", 'M', 'L', "м3", "л"},
        {"VP--", 'L', 'K', "л?", "т"},  {"-P--", 'M', 'L', "м3", "л?"}, {"-P--", 'X', 'M', "м3", "м3"},
        {"D---", 'L', 'X', "м3", "м3"},
    };
    for (const auto &c : cases) {
        ImageBuilder b;
        for (int n = 1; n <= 4; ++n)
            if (c.media[n - 1] != '-')
                b.Channel(n, c.media[n - 1]);
        b.Byte(img::kVolumeUnit, uint8_t(c.volume)).Byte(img::kMassUnit, uint8_t(c.mass));
        TDevObj m;
        m.SetImage(b.image());
        EXPECT_EQ(m.VolumeUnitText(), QString::fromUtf8(c.volumeText)) << c.media << c.volume;
        EXPECT_EQ(m.MassUnitText(), QString::fromUtf8(c.massText)) << c.media << c.mass;
    }
}

TEST(ChannelObjects, FlowCaptions) {
    ImageBuilder b;
    b.Channel(1, 'V').Channel(2, 'S').Channel(3, 'L').Channel(4, 'P').Byte(img::kVolumeUnit, 'L');
    TDevObj gas;
    TDevObjHeat heat;
    TDevObjFluid fluid;
    gas.SetImage(b.image());
    heat.SetImage(b.image());
    fluid.SetImage(b.image());
    EXPECT_EQ(gas.FlowCaption(1), QStringLiteral("Qс, м3/ч"));
    EXPECT_EQ(gas.FlowCaption(2), QStringLiteral("Qм, т/ч"));
    EXPECT_EQ(gas.FlowCaption(3), QString());
    EXPECT_EQ(gas.FlowCaption(4), QStringLiteral("Qс, м3/ч"));
    EXPECT_EQ(heat.FlowCaption(2), QStringLiteral("Qм, т/ч"));
    EXPECT_EQ(heat.FlowCaption(5), QString());
    EXPECT_EQ(fluid.FlowCaption(3), QStringLiteral("Qр, л/ч"));
    EXPECT_EQ(fluid.FlowCaption(1), QString());
    EXPECT_EQ(fluid.FlowCaption(7), QString());
    EXPECT_EQ(TDevObjC3H8().FlowCaption(), QStringLiteral("Qм, т/ч"));

    EXPECT_EQ(TDevObj::SensorUnitText('3' | (4 << 8)), QStringLiteral("[Ом]"));
    EXPECT_EQ(TDevObj::SensorUnitText('J'), QStringLiteral("[мА]"));
    EXPECT_EQ(TDevObj::SensorUnitText('F'), QStringLiteral("[Гц]"));
    EXPECT_EQ(TDevObj::SensorUnitText('P'), QStringLiteral("[ c]"));
    EXPECT_EQ(TDevObj::SensorUnitText('D', QStringLiteral("как было")), QStringLiteral("как было"));
}

TEST(ChannelObjects, ApproximationTableLookup) {
    TDevObj m;
    EXPECT_EQ(m.ApproximationTableIndex('I' | (13 << 8)), 0);  // no key set: the first free one
    m.approximation[0].key = 'I' | (1 << 8);
    m.approximation[3].key = 'I' | (13 << 8);
    EXPECT_EQ(m.ApproximationTableIndex('I' | (13 << 8)), 3);
    EXPECT_EQ(m.ApproximationTableIndex('J' | (2 << 8)), 1);
    for (auto &t : m.approximation)
        t.key = 0x4142;
    EXPECT_EQ(m.ApproximationTableIndex('J' | (2 << 8)), -1);
    m.approximation[8].key = 0x0500;  // key byte 0 is 0: free
    EXPECT_EQ(m.ApproximationTableIndex('J' | (2 << 8)), 8);
}

TEST(ChannelObjects, ClockRegisters) {
    QByteArray r(240, '\0');
    r[0] = char(0x59);
    r[2] = char(0x00);
    r[4] = char(0x23);
    r[7] = char(0x31);
    r[8] = char(0x12);
    r[9] = char(0x05);
    TDevObj m;
    ASSERT_TRUE(m.SetClockFromRegisters(r));
    EXPECT_EQ(m.deviceDate, QDate(2005, 12, 31));
    EXPECT_EQ(m.deviceHour, 23);

    r[7] = char(0x31);
    r[8] = char(0x02);  // 31 February
    EXPECT_FALSE(m.SetClockFromRegisters(r));
    EXPECT_EQ(m.deviceDate, QDate(2005, 12, 31));
    EXPECT_FALSE(m.SetClockFromRegisters(QByteArray(5, '\0')));
}

TEST(ImageNumbers, GeneralNumber) {
    const struct {
        double v;
        const char *text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {1.5, "1.5"},
        {-2.5, "-2.5"},
        {100, "100"},
        {0.0000015, "1.5E-006"},
        {0.00001, "0.00001"},
        {0.000099999, "0.000099999"},
        {123.456789, "123.4568"},
        {9999999, "9999999"},
        {9999999.6, "1E+007"},
        {12345678, "1.234568E+007"},
        {-1.0e20, "-1E+020"},
        {double(0.1f), "0.1"},
        {double(293.15f) - 273.15, "19.99999"},
        {std::nan(""), ""},
        {INFINITY, ""},
        {-INFINITY, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(GeneralNumber(c.v), QString::fromLatin1(c.text)) << c.v;
}

TEST(ImageNumbers, BcdAndFloats) {
    EXPECT_EQ(BcdToInt(0x59), 59);
    EXPECT_EQ(BcdToInt(0x90), 90);
    EXPECT_EQ(IntToBcd(21), 0x21);
    EXPECT_EQ(IntToBcd(7), 0x07);
    EXPECT_FALSE(IsFiniteFloat(FloatFromBits(0xFFFFFFFFu)));
    EXPECT_FALSE(IsFiniteFloat(FloatFromBits(0x7F800000u)));
    EXPECT_TRUE(IsFiniteFloat(FloatFromBits(0x7F7FFFFFu)));
    EXPECT_EQ(FiniteOrZero(FloatFromBits(0xFFFFFFFFu)), 0.0f);
    EXPECT_EQ(FiniteOrZero(2.5f), 2.5f);
    QByteArray bytes(8, '\0');
    PutFloat(bytes, 2, -2.5f);
    EXPECT_EQ(FloatAt(bytes, 2), -2.5f);
    EXPECT_FALSE(IsFiniteFloat(FloatAt(bytes, 6)));  // beyond the end reads as erased
    PutU16(bytes, 0, 0x1234);
    EXPECT_EQ(uint8_t(bytes[0]), 0x34);
    EXPECT_EQ(U16At(bytes, 0), 0x1234);
}
