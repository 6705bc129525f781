// The settings report frame: header lines by device kind, the start-of-work text, the output and
// unit blocks, the channel frame with its contract-value blocks, the device object's side effects and
// the file itself.
#include "ReportTestUtil.h"
#include "TestUtil.h"
#include "base/WriteFailure.h"

#include "base/CodePage.h"
#include "settingsreport/Progprn.h"
#include "sim/ImageBuilder.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace torv;

namespace {

QStringList ReportLines(TTorv2s &device, torvtest::FakeSections *sections = nullptr, QStringList *area = nullptr) {
    QStringList local;
    QString text = FromCp1251(BuildSettingsReport(device, sections, area ? *area : local));
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    return text.split(QStringLiteral("\r\n"));
}

QStringList ReportOf(const QByteArray &image, char forcedKind = 0, torvtest::FakeSections *sections = nullptr) {
    TTorv2s device;
    torvtest::LoadDevice(device, image);
    if (forcedKind)
        device.kind = forcedKind;
    return ReportLines(device, sections);
}

// A gas device with one orifice channel and the given header bytes.
ImageBuilder GasImage() {
    ImageBuilder b;
    b.Identity(QStringLiteral("ТОРВ-2"), QStringLiteral("123"), QStringLiteral("кто"), QStringLiteral("v1"))
        .Channel(1, 'D')
        .Stamp(img::kStartOfWork, 0, 31, 12, 2020)
        .Stamp(img::kProgrammingDate, 9, 1, 3, 2021)
        .Byte(img::kContractHour, 10)
        .Byte(img::kOutputChannel, 0)
        .Float(img::kOutputCoefficient, -2.5f)
        .Word(img::kOutputHoldTime, 229);
    return b;
}

}  // namespace

TEST(SettingsReport, GasHeaderLines) {
    const QStringList lines = ReportOf(GasImage().image());
    ASSERT_GT(lines.size(), 30);
    EXPECT_EQ(lines[0], QString());
    EXPECT_EQ(lines[1], QStringLiteral("Прибор:             ТОРВ-2"));
    EXPECT_EQ(lines[2], QStringLiteral("Зав. N:             123"));
    EXPECT_EQ(lines[3], QStringLiteral("Владелец программы: "));  // unset field
    EXPECT_EQ(lines[8], QStringLiteral("Запись программы:   09:00  01-03-2021"));
    EXPECT_EQ(lines[9], QStringLiteral("Начало работы:      10:00  31-12-2020"));
    EXPECT_EQ(lines[10], QString());
    EXPECT_EQ(lines.mid(11, 14), (QStringList{
                                     QStringLiteral("Автоматический перевод"),
                                     QStringLiteral("на зимнее/летнее время:      Не используется"),
                                     QStringLiteral("Контрактный час:             10"),
                                     QStringLiteral("Время усреднения параметров: "),
                                     QStringLiteral("Коэффициент сжимаемости:     Не используется"),
                                     QStringLiteral("Выбор режима \"Зима/Лето\":    Не установлен"),
                                     QStringLiteral("Сигнализация НС (светодиод): При всех НС"),
                                     QStringLiteral("Коррекция датчиков давления: Не используется"),
                                     QStringLiteral("Автом. вкл. контрактных зн.: Не используется"),
                                     QStringLiteral("Выходной сигнал:             Токовый, форм. для канала 1"),
                                     QStringLiteral("                             Кпр.= 2.500000 м3/ч/мА"),
                                     QStringLiteral("                             время удержания 30 с"),
                                     QString(),
                                     QString(),
                                 }));
    EXPECT_EQ(lines.mid(25, 2), (QStringList{QStringLiteral("Единицы регистрации приведенного"),
                                             QStringLiteral("расхода, Qc/Qm:              ")}));
}

TEST(SettingsReport, StartOfWork) {
    const struct {
        int hour, day, month, year, contractHour;
        bool unset;
        const char *text;
    } cases[] = {
        {0, 31, 12, 2020, 10, false, "10:00  31-12-2020"},
        {10, 31, 12, 2020, 20, false, "06:00  01-01-2021"},
        {10, 31, 12, 2020, 0, false, "10:00  31-12-2020"},
        {10, 31, 12, 2020, 10, true, "Нет"},
    };
    for (const auto &c : cases) {
        ImageBuilder b = GasImage();
        b.Stamp(img::kStartOfWork, c.hour, c.day, c.month, c.year).Byte(img::kContractHour, uint8_t(c.contractHour));
        if (c.unset)
            b.Byte(img::kStartOfWork, 0xFF);
        TTorv2s device;
        torvtest::LoadDevice(device, b.image());
        const QStringList lines = ReportLines(device);
        EXPECT_EQ(lines[9], QStringLiteral("Начало работы:      ") + QString::fromUtf8(c.text)) << c.text;
        EXPECT_EQ(device.startOfWork, QString::fromUtf8(c.text));
    }
    // Readers take the day, month and year by character position (1-based 8–9, 11–12, 14–17).
    TTorv2s device;
    torvtest::LoadDevice(device, GasImage().image());
    ReportLines(device);
    EXPECT_EQ(device.startOfWork.mid(7, 2), QStringLiteral("31"));
    EXPECT_EQ(device.startOfWork.mid(10, 2), QStringLiteral("12"));
    EXPECT_EQ(device.startOfWork.mid(13, 4), QStringLiteral("2020"));
    EXPECT_EQ(device.startOfWork.left(2), QStringLiteral("10"));

    // The heat device has no contract hour: its start of work stays as stored.
    ImageBuilder heat = GasImage();
    heat.Channel(1, 'H');
    EXPECT_EQ(ReportOf(heat.image())[9], QStringLiteral("Начало работы:      00:00  31-12-2020"));
}

TEST(SettingsReport, HeaderCodes) {
    ImageBuilder b = GasImage();
    b.Byte(img::kDaylightSaving, 'A')
        .Byte(img::kSummerMonth, 0x04)
        .Byte(img::kWinterMonth, 0x12)
        .Byte(img::kCompressibilityMethod, 'N')
        .Float(img::kSubstituteCompressibility, 0.0000015f)
        .Byte(img::kGasAveraging, 240)
        .Byte(img::kGasSummerWinter, 'W')
        .Byte(img::kAlarmLamp, 'U')
        .Byte(img::kGasPressureCorrection, 'C')
        .Byte(img::kAutoContract, 'A')
        .Byte(img::kOutputChannel, 4);
    const QStringList lines = ReportOf(b.image());
    EXPECT_EQ(lines.mid(11, 15),
              (QStringList{
                  QStringLiteral("Автоматический перевод"),
                  QStringLiteral("на зимнее/летнее время:      Разрешен"),
                  QStringLiteral("Переход на летнее время в 03 часа в последнее воскресенье апреля"),
                  QStringLiteral("Переход на зимнее время в 03 часа в последнее воскресенье "),  // 0x12: no month
                  QString(),
                  QStringLiteral("Контрактный час:             10"),
                  QStringLiteral("Время усреднения параметров: 0,1 часа"),
                  QStringLiteral("Коэффициент сжимаемости:     По \"п.4 ГОСТ 30319.2-2015\""),
                  QStringLiteral("Коэффициент сжимаемости при "),
                  QStringLiteral("невозможности расчета:       1.5E-006"),
                  QStringLiteral("Выбор режима \"Зима/Лето\":    Установлен"),
                  QStringLiteral("Сигнализация НС (светодиод): При всех НС кроме НУ"),
                  QStringLiteral("Коррекция датчиков давления: Используется"),
                  QStringLiteral("Автом. вкл. контрактных зн.: Используется"),
                  QStringLiteral("Выходной сигнал:             Не используется"),
              }));
}

// Media 'V' and 'P' each add a unit pair; 'Q' removes the standard-flow pair.
TEST(SettingsReport, GasUnitBlock) {
    ImageBuilder b = GasImage();
    b.Channel(2, 'V').Channel(3, 'P').Byte(img::kVolumeUnit, 'L').Byte(img::kMassUnit, 'G');
    QStringList lines = ReportOf(b.image(), KindNone);
    EXPECT_EQ(
        lines.mid(25, 6),
        (QStringList{
            QStringLiteral("Единицы регистрации показаний"), QStringLiteral("датчика расхода, Qр:         л/ч"),
            QStringLiteral("Единицы регистрации показаний"), QStringLiteral("датчика расхода, Qр:         л/ч?"),
            QStringLiteral("Единицы регистрации приведенного"), QStringLiteral("расхода, Qc/Qm:              г/ч")}));
    b.Channel(4, 'Q').Byte(img::kVolumeUnit, 'M');
    lines = ReportOf(b.image(), KindNone);
    EXPECT_EQ(lines.mid(25, 5), (QStringList{QStringLiteral("Единицы регистрации показаний"),
                                             QStringLiteral("датчика расхода, Qр:         м3/ч"),
                                             QStringLiteral("Единицы регистрации показаний"),
                                             QStringLiteral("датчика расхода, Qр:         м3/ч?"), QString()}));
    EXPECT_FALSE(lines.contains(QStringLiteral("Единицы регистрации приведенного")));
}

// No channel configured: four idle channels, the device block only.
TEST(SettingsReport, NoChannels) {
    torvtest::FakeSections sections;
    ImageBuilder b = GasImage();
    b.Byte(img::kChannelRecords, 0xFF);
    const QStringList lines = ReportOf(b.image(), 0, &sections);
    EXPECT_EQ(sections.calls, (std::vector<std::pair<int, int>>{{4, 0}}));
    for (int n = 1; n <= 4; ++n) {
        const int at = lines.indexOf(QStringLiteral("Канал  %1:   Не рабочий").arg(n));
        ASSERT_GE(at, 1) << n;
        EXPECT_EQ(lines[at - 1], QString());
        EXPECT_EQ(lines[at + 1], QString(72, QLatin1Char('-')));
    }
    EXPECT_EQ(lines.last(), QString(72, QLatin1Char('-')));
}

// The gas device follows each reported channel with its channel block; the heat device prepares its
// channel block without printing it.
TEST(SettingsReport, ContractValueBlocks) {
    torvtest::FakeSections sections;
    ImageBuilder b = GasImage();
    b.Channel(3, 'W');
    ReportOf(b.image(), 0, &sections);
    EXPECT_EQ(sections.calls, (std::vector<std::pair<int, int>>{{4, 0}, {3, 1}, {3, 3}}));

    torvtest::FakeSections heatSections;
    TTorv2s device;
    torvtest::LoadDevice(device, ScenarioImage(QStringLiteral("heat")));
    QStringList area;
    const QStringList lines = ReportLines(device, &heatSections, &area);
    EXPECT_EQ(heatSections.calls, (std::vector<std::pair<int, int>>{{4, 0}, {3, 1}}));
    EXPECT_TRUE(lines.contains(QStringLiteral("Контрактные значения:")));
    EXPECT_FALSE(lines.contains(QStringLiteral("  (контрактные значения канала 1)")));
    EXPECT_EQ(area.last(), kBlockEndMarker);
    EXPECT_TRUE(area.contains(QStringLiteral("  (контрактные значения канала 1)")));
}

TEST(SettingsReport, KindHeaders) {
    const QStringList propane = ReportOf(ScenarioImage(QStringLiteral("propane")));
    EXPECT_EQ(propane[1], QStringLiteral("Прибор:             ТОРВ-2С (2-х канальный)"));
    EXPECT_TRUE(propane.contains(QStringLiteral("Коррекция датч. температуры: Используется")));
    EXPECT_FALSE(propane.contains(QStringLiteral("Коэффициент сжимаемости при ")));

    ImageBuilder four = GasImage();
    four.Channel(1, 'L').Byte(img::kChannelCount, '4').Byte(img::kVolumeUnit, 'Q');
    const QStringList liquid = ReportOf(four.image());
    EXPECT_EQ(liquid[1], QStringLiteral("Прибор:             ТОРВ-2 (4-х канальный)"));
    const int unit = liquid.indexOf(QStringLiteral("Единицы регистрации показаний"));
    ASSERT_GT(unit, 0);
    EXPECT_EQ(liquid[unit - 1], QStringLiteral("                             время удержания 30 с"));
    EXPECT_EQ(liquid[unit + 1], QStringLiteral("датчика расхода, Qр:         "));

    const QStringList steam = ReportOf(ScenarioImage(QStringLiteral("steam")));
    const int output = steam.indexOf(QStringLiteral("Выходной сигнал:             Частотный, форм. для канала 1"));
    ASSERT_GT(output, 0);
    EXPECT_EQ(steam[output + 1], QStringLiteral("                             Параметр: G, гкал/ч"));
}

TEST(SettingsReport, LiquidFlags) {
    TTorv2s device;
    torvtest::LoadDevice(device, ScenarioImage(QStringLiteral("liquid")));
    ReportLines(device);
    EXPECT_EQ(device.liquidPressure, 1);
    EXPECT_EQ(device.liquidTemperature, 1);

    torvtest::LoadDevice(device, ScenarioImage(QStringLiteral("liquid-bare")));
    ReportLines(device);
    EXPECT_EQ(device.liquidPressure, 0);
    EXPECT_EQ(device.liquidTemperature, 0);

    // A pressure word of letter 'I' whose index the layout does not hold: the flag is set, but
    // there is no sensor block to write.
    ImageBuilder b = GasImage();
    b.Channel(1, 'L').Slot(1, 1, 'I', 6).Slot(1, 2, '7', 0);
    torvtest::LoadDevice(device, b.image());
    const QStringList lines = ReportLines(device);
    EXPECT_EQ(device.liquidPressure, 1);
    EXPECT_EQ(device.liquidTemperature, 1);
    EXPECT_FALSE(lines.contains(QStringLiteral("Датчик абсолютного давления:")));
    const int t = lines.indexOf(QStringLiteral("Датчик температуры:"));
    ASSERT_GT(t, 0);
    EXPECT_EQ(lines[t + 1], QStringLiteral("Нет датчика"));
}

TEST(SettingsReport, TotalsDateIsTheDeviceDate) {
    TTorv2s device;
    torvtest::LoadDevice(device, ScenarioImage(QStringLiteral("gas-vdab")));
    ReportLines(device);
    EXPECT_EQ(device.totalsDate, QDateTime(QDate(2020, 2, 7), QTime(0, 0)));
    // Without a clock read the date of the totals file stays.
    device.CreateChannelObjects();
    device.totalsDate = QDateTime(QDate(2019, 5, 5), QTime(0, 0));
    ReportLines(device);
    EXPECT_EQ(device.totalsDate, QDateTime(QDate(2019, 5, 5), QTime(0, 0)));
}

TEST(SettingsReportFile, WrittenAndReadBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TTorv2s device;
    torvtest::LoadDevice(device, ScenarioImage(QStringLiteral("heat")));
    const QString path = SettingsReportPath(dir.path() + QStringLiteral("/"));
    ASSERT_TRUE(torvtest::WriteAll(path, QByteArray(100000, 'x')));  // a longer report of another device
    WriteSettingsReport(device, SettingsReportOutput{dir.path() + QStringLiteral("/"), nullptr, nullptr});
    const QByteArray bytes = torvtest::ReadAll(path);
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    EXPECT_FALSE(bytes.contains('x'));
    EXPECT_TRUE(bytes.contains(ToCp1251(QStringLiteral("КАНАЛ 2: Регистрация температуры наружного воздуха:"))));

    QStringList lines;
    ASSERT_EQ(ReadSettingsReport(dir.path(), lines), QString());
    EXPECT_EQ(lines.first(), QString());
    EXPECT_EQ(lines[1], QStringLiteral("Прибор:             ТОРВ-2Т"));
    EXPECT_EQ(lines.size(), bytes.count("\r\n"));
}

// A report that cannot be written says so, and a report already there is left whole.
TEST(SettingsReportFile, Errors) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TTorv2s device;
    torvtest::LoadDevice(device, ScenarioImage(QStringLiteral("steam")));
    const QString missing = dir.filePath(QStringLiteral("нет"));
    const QString error = WriteSettingsReport(device, SettingsReportOutput{missing, nullptr, nullptr});
    EXPECT_TRUE(error.startsWith(QStringLiteral("Не записан файл настройки прибора "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("нет папки")));
    // DEVPROG.REP taken by a directory: the file cannot be replaced.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("busy/DEVPROG.REP")));
    EXPECT_FALSE(
        WriteSettingsReport(device, SettingsReportOutput{dir.filePath(QStringLiteral("busy")), nullptr, nullptr})
            .isEmpty());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("busy/DEVPROG.REP"))).isDir());

    QStringList lines{QStringLiteral("старое")};
    EXPECT_FALSE(ReadSettingsReport(missing, lines).isEmpty());
    EXPECT_EQ(lines, QStringList{QStringLiteral("старое")});
}

// A full disk: the report is not said to be written, and the report already there stays whole.
// A report copied from another system under another letter case is the one read and replaced.
TEST(SettingsReportFile, FullDiskAndAFileInAnotherLetterCase) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TTorv2s device;
    torvtest::LoadDevice(device, ScenarioImage(QStringLiteral("heat")));
    const QString old = dir.filePath(QStringLiteral("devprog.rep"));
    const QByteArray before = ToCp1251(QStringLiteral("\r\nПрибор:             старый\r\n"));
    ASSERT_TRUE(torvtest::WriteAll(old, before));
    for (const rlim_t room : {rlim_t(0), rlim_t(1000)}) {
        torvtest::FileSizeLimit full(room);
        ASSERT_TRUE(full.active());
        const QString error = WriteSettingsReport(device, SettingsReportOutput{dir.path(), nullptr, nullptr});
        EXPECT_TRUE(error.startsWith(QStringLiteral("Не записан файл настройки прибора ") +
                                     QDir::toNativeSeparators(old) + QStringLiteral(": ")))
            << "room for " << room << " bytes: " << error.toStdString();
    }
    EXPECT_EQ(torvtest::ReadAll(old), before);
    QStringList lines;
    ASSERT_EQ(ReadSettingsReport(dir.path(), lines), QString());
    EXPECT_EQ(lines.value(1), QStringLiteral("Прибор:             старый"));

    WriteSettingsReport(device, SettingsReportOutput{dir.path(), nullptr, nullptr});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("devprog.rep")});
    ASSERT_EQ(ReadSettingsReport(dir.path(), lines), QString());
    EXPECT_EQ(lines.value(1), QStringLiteral("Прибор:             ТОРВ-2Т"));
}

// Erased channel constants (all-ones bytes) are not numbers: their values print empty and the
// report goes on to its end; so does an orifice constant that has no square root.
TEST(SettingsReport, ErasedChannelConstants) {
    ImageBuilder b = GasImage();
    b.Channel(1, 'A')
        .Slot(1, 0, 'I', 1)
        .Sensor('I', 1, CurrentSensor('I', 0.0f, 10.0f, 6.0f))
        .Slot(1, 2, 'I', 2)
        .Sensor('I', 2, CurrentSensor('I', 0.0f, 0.25f, 0.2f))
        .Slot(1, 3, 'D', 1);
    for (int i = chrec::kVariant; i < 60; ++i)
        b.ChannelByte(1, i, 0xFF);
    b.Channel(2, 'D').ChannelFloat(2, chrec::kOrificeConstant, -5.0f).ChannelFloat(2, chrec::kBeta4, 0.0625f);
    b.Float(img::kOutputCoefficient, FloatFromBits(0xFFFFFFFFu));
    const QStringList lines = ReportOf(b.image());
    EXPECT_TRUE(lines.contains(QStringLiteral("                             Кпр.=  м3/ч/мА")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Диаметр диафрагмы при 20гр.C........ мм")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Коэффициент расхода.................")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Дрейф нуля датчика перепада давл....% макс.")));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("Вариант учета при НУ................Измеренное значение перепада давл.")));
    const int table = lines.indexOf(QStringLiteral("             Pизб         dP             T                    Qм"));
    ASSERT_GT(table, 0);
    EXPECT_TRUE(lines[table + 3].endsWith(QString(10, QLatin1Char(' ')) + QStringLiteral(" [кГ/ч]")));
    // Channel 2: K < 0 has no diameter; β = 0.5 still prints.
    EXPECT_EQ(lines.count(QStringLiteral("Диаметр диафрагмы при 20гр.C........ мм")), 2);
    EXPECT_TRUE(lines.contains(QStringLiteral("Относительный диаметр при 20гр.C....0.5")));
    EXPECT_EQ(lines.last(), QString(72, QLatin1Char('-')));
}
