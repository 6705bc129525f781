// Sensor blocks, test points, conversion functions, the inverse cubic fit, the check tables and the
// splice of the contract-value blocks.
#include "ReportTestUtil.h"

#include "settingsreport/ParameterSections.h"
#include "settingsreport/ProgprnHeat.h"
#include "settingsreport/ReportFormats.h"
#include "settingsreport/ReportText.h"
#include "settingsreport/SensorSections.h"
#include "sim/ImageBuilder.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace torv;

namespace {

// One orifice channel ('A' on channel 1) with the sensors given per slot.
struct Channel {
    explicit Channel(char medium = 'A', int n = 1) : n(n) { b.Channel(n, medium); }
    Channel &Sensor(int slot, char letter, int index, const SensorSpec &s) {
        b.Slot(n, slot, letter, index).Sensor(letter, index, s);
        return *this;
    }
    TDevObj &Model() {
        m.SetImage(b.image());
        m.SetChannel(n);
        return m;
    }
    int n;
    ImageBuilder b;
    TDevObj m;
};

QStringList Lines(const ReportText &out) {
    QString text = out.text();
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    return text.split(QStringLiteral("\r\n"));
}

QStringList Block(TDevObj &m, int slot, double offset = 0, double scale = 98.0665,
                  const QString &unit = QStringLiteral(" кПа")) {
    ReportText out;
    SectionWriter(out, m, SensorStyle::Gas(), MediumUnits::Gas())
        .WriteSensorBlock(slot, QStringLiteral("Заголовок:"), offset, scale, unit);
    return Lines(out);
}

struct Row {
    double input;
    int decimals;
};

std::vector<Row> Inputs(TDevObj &m, int slot, const TestValues *values = nullptr) {
    ReportText out;
    SectionWriter w(out, m, SensorStyle::Gas(), MediumUnits::Gas());
    std::vector<Row> rows;
    for (int r = 8; r >= 1; --r) {
        const TestPointResult t = w.TestPoint(slot, values, r);
        rows.push_back({t.input, t.decimals});
    }
    return rows;
}

}  // namespace

TEST(SensorBlock, CurrentSensorLimits) {
    Channel c;
    c.Sensor(0, 'I', 1, CurrentSensor('I', 0.0f, 16.0f, 6.0f, 'I'));
    EXPECT_EQ(Block(c.Model(), 0), (QStringList{
                                       QString(),
                                       QStringLiteral("Заголовок:"),
                                       QStringLiteral("Контрактное значение,максимальное...588.399 кПа"),
                                       QStringLiteral("Сигнал датчика......................Ток 4-20 мА"),
                                       QStringLiteral("Функция преобразования..............Линейная"),
                                       QStringLiteral("Верхний  предел датчика.............1569.064  кПа"),
                                       QStringLiteral("Нижний   предел датчика.............0  кПа"),
                                   }));
}

TEST(SensorBlock, SignalsAndFunctions) {
    SensorSpec zero = CurrentSensor('J', 0.0f, 10.0f, 2.0f);
    zero.function = 'Z';
    SensorSpec unset = CurrentSensor('I', 0.0f, 16.0f, 0.0f);
    unset.contract = std::nanf("");
    SensorSpec frequency;
    frequency.signal = 'F';
    frequency.fullScale = 500;
    frequency.flag6 = 241;
    frequency.contract = 100;
    frequency.c0 = 0.5f;
    SensorSpec pulses;
    pulses.signal = 'P';
    pulses.fullScale = 0;  // no shortest period
    pulses.contract = 10;
    pulses.c0 = 36;
    pulses.c1 = 0.05f;
    SensorSpec wrong = unset;
    wrong.signal = 'Q';
    SensorSpec none = unset;
    none.signal = 'D';

    Channel c;
    c.Sensor(0, 'J', 1, zero).Sensor(2, 'I', 2, unset).Sensor(4, 'F', 2, frequency);
    c.b.Slot(1, 3, 'I', 5).Sensor('I', 5, unset);  // G2 word 3 takes I/J index 3 here: no sensor
    TDevObj &m = c.Model();
    EXPECT_EQ(Block(m, 0).mid(2), (QStringList{
                                      QStringLiteral("Контрактное значение,максимальное...196.133 кПа"),
                                      QStringLiteral("Сигнал датчика......................Ток 0-5 мА"),
                                      QStringLiteral("Функция преобразования..............Линейная"),
                                      QStringLiteral("Верхний  предел датчика.............980.665  кПа"),
                                  }));
    EXPECT_EQ(Block(m, 2).at(2), QStringLiteral("Контрактное значение,максимальное...Не задано"));
    EXPECT_EQ(Block(m, 4, 0, 1, QStringLiteral(" м3/ч")).mid(2),
              (QStringList{
                  QStringLiteral("Контрактное значение,максимальное...100 м3/ч"),
                  QStringLiteral("Сигнал датчика......................Частота 0-500 Гц"),
                  QStringLiteral("Время интегрирования сигнала........Неопределено"),
                  QStringLiteral("Функция преобразования..............Линейная"),
                  QStringLiteral("Верхний  предел датчика.............250  м3/ч"),
                  QStringLiteral("Нижний   предел датчика.............0  м3/ч"),
              }));
    EXPECT_EQ(Block(m, 3).mid(2), QStringList{QStringLiteral("Нет датчика")});

    // Pulses and an unknown signal code are on G1's word 3 and word 2.
    Channel f('V');
    f.Sensor(3, 'P', 0, pulses).Sensor(2, 'I', 2, wrong).Sensor(0, 'I', 1, none);
    TDevObj &v = f.Model();
    EXPECT_EQ(Block(v, 3, 0, 1, QStringLiteral(" м3/ч")).mid(2),
              (QStringList{
                  QStringLiteral("Контрактное значение,максимальное...10 м3/ч"),
                  QStringLiteral("Сигнал датчика......................Счетные импульсы, 0.01 куб.м/имп"),
                  QStringLiteral("Максимальный расход.................Неопределен"),
                  QStringLiteral("Отсечка нуля........................0.05 куб.м/ч"),
              }));
    EXPECT_EQ(Block(v, 2).mid(3), QStringList{QStringLiteral("Сигнал датчика......................Ошибка настройки")});
    EXPECT_EQ(Block(v, 0).mid(2), QStringList{QStringLiteral("Нет датчика")});  // signal code 'D'
}

TEST(SensorBlock, ThermometerAndPiecewise) {
    SensorSpec piecewise = CurrentSensor('I', 0.0f, 16.0f, 7.0f);
    piecewise.function = 'A';
    piecewise.points = 12;
    SensorSpec polynomial = CurrentSensor('I', 0.0f, 16.0f, 7.0f);
    polynomial.function = 'P';
    Channel c;
    c.Sensor(0, 'I', 1, piecewise)
        .Sensor(1, '1', 0, ThermometerSensor('3', 50.0f, 293.15f))
        .Sensor(2, 'I', 2, polynomial);
    TDevObj &m = c.Model();
    EXPECT_EQ(Block(m, 0).mid(3),
              (QStringList{
                  QStringLiteral("Сигнал датчика......................Ток 4-20 мА"),
                  QStringLiteral("Функция преобразования..............Кусочно-линейная аппроксимация"),
                  QStringLiteral("Количество точек:  12"),
              }));
    // The point count goes to the table found by the slot word: the first free one.
    EXPECT_EQ(m.approximation[0].count, 12);
    EXPECT_EQ(
        Block(m, 1, -273.15, 1, QStringLiteral(" гр.C")).mid(3),
        QStringList{QStringLiteral("Сигнал датчика......................Термосопротивление 50М, W100/W0=1.4260")});

    // A function without a name leaves its label's line open for what follows.
    ReportText out;
    SectionWriter w(out, m, SensorStyle::Gas(), MediumUnits::Gas());
    w.WriteSensorBlock(2, QStringLiteral("Заголовок:"), 0, 1, QString());
    EXPECT_TRUE(out.text().endsWith(QStringLiteral("Функция преобразования..............")));
    w.WriteSensorBlock(0, QStringLiteral("Следующий:"), 0, 1, QString());
    EXPECT_TRUE(out.text().contains(QStringLiteral("Функция преобразования..............\r\nСледующий:\r\n")));

    // The propane, steam and liquid reports print current signals with Latin letters and no count.
    ReportText plain;
    SectionWriter(plain, m, SensorStyle::Plain(), MediumUnits::Propane())
        .WriteSensorBlock(0, QStringLiteral("P:"), 0, 1, QString());
    EXPECT_TRUE(plain.text().contains(QStringLiteral("Ток 4-20 mA")));
    EXPECT_FALSE(plain.text().contains(QStringLiteral("Количество точек")));
}

// 4–20 mA inputs without test values: 16, 14, … 2 mA above the live zero.
TEST(TestPoints, CurrentInputs) {
    Channel c;
    c.Sensor(0, 'I', 1, CurrentSensor('I', 0.0f, 16.0f, 6.0f)).Sensor(2, 'J', 2, CurrentSensor('J', 0.0f, 1.0f, 0.5f));
    TDevObj &m = c.Model();
    const std::vector<Row> current = Inputs(m, 0);
    const std::vector<Row> small = Inputs(m, 2);
    const double expected420[] = {20, 18, 16, 14, 12, 10, 8, 6};
    const double expected05[] = {5.0, 4.375, 3.75, 3.125, 2.5, 1.875, 1.25, 0.625};
    for (int i = 0; i < 8; ++i) {
        EXPECT_DOUBLE_EQ(current[i].input, expected420[i]);
        EXPECT_EQ(current[i].decimals, 4);
        EXPECT_DOUBLE_EQ(small[i].input, expected05[i]);
    }
    EXPECT_EQ(RightAligned(current[0].input, 4, 10) + RightAligned(current[7].input, 4, 10),
              QStringLiteral("   20.0000    6.0000"));
    EXPECT_EQ(RightAligned(small[1].input, 4, 10), QStringLiteral("    4.3750"));
    EXPECT_EQ(TDevObj::SensorUnitText(m.SensorWord(0)), QStringLiteral("[мА]"));

    ReportText out;
    SectionWriter w(out, m, SensorStyle::Gas(), MediumUnits::Gas());
    EXPECT_DOUBLE_EQ(w.TestPoint(0, nullptr, 8).value, 16.0);  // 1 kgf/cm2 per mA
}

// A current temperature sensor meets the test temperatures inside its range; outside, the row's
// default input.
TEST(TestPoints, CurrentInputsAtTestTemperatures) {
    Channel c('A', 3);
    c.Sensor(1, 'I', 8, CurrentSensor('I', 223.15f, 323.15f, 293.15f))      // −50…+50 °C
        .Sensor(0, 'I', 9, CurrentSensor('I', 273.15f, 373.15f, 293.15f));  // 0…100 °C
    TDevObj &m = c.Model();
    ReportText out;
    SectionWriter w(out, m, SensorStyle::Gas(), MediumUnits::Gas());
    const TestPointResult cold = w.TestPoint(1, &kCheckTemperatures, 8);
    EXPECT_NEAR(cold.input, 4 + 30.0 / 6.25, 1e-4);
    EXPECT_NEAR(cold.value, 253.15, 1e-4);
    const TestPointResult below = w.TestPoint(0, &kCheckTemperatures, 8);  // −20 °C under its 0 °C
    EXPECT_DOUBLE_EQ(below.input, 20.0);
}

// Frequency inputs: 2 decimals plus the tenfold steps from the full scale up to 100.
TEST(TestPoints, FrequencyAndPulseDecimals) {
    const struct {
        char signal;
        float fullScale;
        int decimals;
    } cases[] = {{'F', 1000, 2}, {'F', 100, 2}, {'F', 50, 3},   {'F', 5, 4},
                 {'F', 0, 2},    {'F', -3, 2},  {'P', 0.1f, 5}, {'P', 20, 2}};
    for (const auto &c : cases) {
        SensorSpec s;
        s.signal = c.signal;
        s.fullScale = c.fullScale;
        s.c0 = 36;
        Channel ch('V');
        ch.Sensor(2, c.signal, 2, s);
        TDevObj &m = ch.Model();
        const std::vector<Row> rows = Inputs(m, 2);
        EXPECT_EQ(rows[0].decimals, c.decimals) << c.signal << c.fullScale;
    }
    SensorSpec f;
    f.signal = 'F';
    f.fullScale = 1000;
    f.c0 = 0.4f;
    Channel ch('V');
    ch.Sensor(2, 'F', 2, f);
    TDevObj &m = ch.Model();
    const std::vector<Row> rows = Inputs(m, 2);
    EXPECT_DOUBLE_EQ(rows[0].input, 1000);
    EXPECT_DOUBLE_EQ(rows[7].input, 125);

    SensorSpec p;
    p.signal = 'P';
    p.fullScale = 0.5f;
    p.c0 = 36;
    Channel pc('V');
    pc.Sensor(2, 'P', 2, p);
    ReportText out;
    SectionWriter w(out, pc.Model(), SensorStyle::Gas(), MediumUnits::Gas());
    EXPECT_DOUBLE_EQ(w.TestPoint(2, nullptr, 8).input, 0.5);
    EXPECT_DOUBLE_EQ(w.TestPoint(2, nullptr, 8).value, 72);
    EXPECT_DOUBLE_EQ(w.TestPoint(2, nullptr, 2).input, 2.0);
}

// A resistance thermometer is checked at the resistance that its polynomial turns into the test
// temperature.
TEST(TestPoints, ThermometerResistances) {
    Channel c;
    c.Sensor(1, '1', 0, ThermometerSensor('1', 100.0f, 293.15f));
    ReportText out;
    SectionWriter w(out, c.Model(), SensorStyle::Gas(), MediumUnits::Gas());
    const double expected[] = {92.16, 96.09, 98.04, 100.00, 101.95, 103.90, 107.79, 111.67};  // Pt100 table
    for (int r = 8; r >= 1; --r) {
        const TestPointResult t = w.TestPoint(1, &kCheckTemperatures, r);
        EXPECT_EQ(t.decimals, 3);
        EXPECT_NEAR(t.input, expected[8 - r], 0.01) << r;
        EXPECT_NEAR(t.value, kCheckTemperatures[8 - r], 1e-3) << r;
    }
    EXPECT_TRUE(std::isnan(w.TestPoint(1, nullptr, 8).input));  // no test values, no point
}

TEST(Conversion, Functions) {
    ImageBuilder b;
    SensorSpec s;
    s.signal = 'I';
    s.c0 = 2;
    s.c1 = 3;
    s.c2 = 4;
    s.c3 = 5;
    s.c4 = 6;
    const char functions[] = {'L', 'Z', 'P', 'X'};
    const double expected[] = {2 * 1.5 + 3, 2 * 1.5, ((3 * 3.5 + 4) * 3.5 + 5) * 3.5 + 6, 0};
    for (int i = 0; i < 4; ++i) {
        s.function = functions[i];
        b.Sensor('I', i, s);
        const SensorDescriptor d(b.image().mid(329 + 32 * i, 32), 0);
        EXPECT_DOUBLE_EQ(EvaluateConversion(d, nullptr, 1.5), expected[i]) << functions[i];
    }
}

TEST(Conversion, PiecewiseEnds) {
    SensorSpec s;
    s.signal = 'I';
    s.function = 'A';
    s.points = 5;
    const SensorDescriptor d(ImageBuilder().Sensor('I', 0, s).image().mid(329, 32), 329);
    ApproximationTable t;
    t.key = 'I';
    t.count = 5;
    const float xs[] = {100, 80, 60, 40, 20};
    const float ys[] = {10, 8, 6, 4, 2};
    for (int i = 0; i < 5; ++i) {
        t.x[i] = xs[i];
        t.y[i] = ys[i];
    }
    EXPECT_DOUBLE_EQ(EvaluateConversion(d, &t, 150), 10);  // above X[1]: Y[1]
    EXPECT_DOUBLE_EQ(EvaluateConversion(d, &t, 100), 10);
    EXPECT_DOUBLE_EQ(EvaluateConversion(d, &t, 70), 7);
    EXPECT_DOUBLE_EQ(EvaluateConversion(d, &t, 20), 2);
    EXPECT_DOUBLE_EQ(EvaluateConversion(d, &t, 19.9), 0);  // below the last point
    t.count = 255;                                         // a count beyond the table's 20 points
    EXPECT_DOUBLE_EQ(EvaluateConversion(d, &t, -5), 0);
    t.key = 0x0100;  // key not set
    EXPECT_DOUBLE_EQ(EvaluateConversion(d, &t, 70), 0);
    EXPECT_DOUBLE_EQ(EvaluateConversion(d, nullptr, 70), 0);
}

TEST(Conversion, InverseCubicFit) {
    const Polynomial p{-100, 5.949424e-07, 9.820730e-04, 2.558354, 273.1503};
    const std::optional<Polynomial> inv = FitInverseCubic(p, 90, 110);
    ASSERT_TRUE(inv);
    EXPECT_EQ(inv->c0, 0);
    for (double r = 90; r <= 110; r += 2.5)
        EXPECT_NEAR((*inv)(p(r)), r, 1e-3) << r;
    // A reversed range fits as well.
    ASSERT_TRUE(FitInverseCubic(p, 110, 90));
    // Equal outputs at two fit points: no inverse.
    EXPECT_FALSE(FitInverseCubic(Polynomial{0, 0, 0, 0, 273.15}, 90, 110));
    EXPECT_FALSE(FitInverseCubic(p, 100, 100));
    EXPECT_FALSE(FitInverseCubic(Polynomial{0, std::nan(""), 0, 1, 0}, 90, 110));
}

// A thermometer whose polynomial is constant cannot be inverted: its check-table cells stay blank
// and the table goes on.
TEST(CheckTables, SingularThermometer) {
    SensorSpec flat = ThermometerSensor('1', 100.0f, 293.15f);
    flat.c1 = flat.c2 = flat.c3 = 0;
    Channel c;
    c.Sensor(0, 'I', 1, CurrentSensor('I', 0.0f, 10.0f, 6.0f))
        .Sensor(1, '1', 0, flat)
        .Sensor(2, 'I', 2, CurrentSensor('I', 0.0f, 0.25f, 0.2f));
    c.b.Slot(1, 3, 'D', 1);
    ReportText out;
    SectionWriter(out, c.Model(), SensorStyle::Gas(), MediumUnits::Gas()).WriteAirCheckTable();
    const QStringList lines = Lines(out);
    ASSERT_EQ(lines.size(), 24);
    EXPECT_EQ(lines[1], QStringLiteral("   20.0000   [мА]   20.0000   [мА]") + QString(13, QLatin1Char(' ')) +
                            QStringLiteral("[Ом]"));
    EXPECT_EQ(lines[2], QStringLiteral("    980.67  [кПа]     24.52  [кПа]") + QString(10, QLatin1Char(' ')) +
                            QStringLiteral(" [гр.C]") + QString(10, QLatin1Char(' ')) + QStringLiteral(" [кГ/ч]"));
}

// Two gauges: ДД2 for rows 8…5, ДД1 (slot 3) from row 4 on, each announced by its heading.
TEST(CheckTables, AirTableSwitchesGauges) {
    Channel c;
    c.Sensor(0, 'I', 1, CurrentSensor('I', 0.0f, 10.0f, 6.0f, 'I'))
        .Sensor(1, 'I', 8, CurrentSensor('I', 223.15f, 323.15f, 293.15f))
        .Sensor(2, 'J', 2, CurrentSensor('J', 0.0f, 0.064f, 0.05f))
        .Sensor(3, 'I', 3, CurrentSensor('I', 0.0f, 0.4f, 0.3f));
    c.b.Slot(1, 1, 'I', 8);  // G2 word 1 on channel 1 takes no I/J: the temperature is missing
    ReportText out;
    SectionWriter(out, c.Model(), SensorStyle::Gas(), MediumUnits::Gas()).WriteAirCheckTable();
    const QStringList lines = Lines(out);
    ASSERT_EQ(lines.size(), 26);
    EXPECT_EQ(lines[0], QStringLiteral("Перепад с датчика ДД2 (малые перепады)"));
    EXPECT_EQ(lines[1], Dashes(69));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("   20.0000   [мА]    5.0000   [мА]")));
    EXPECT_EQ(lines[13], QStringLiteral("Перепад с датчика ДД1 (большие перепады)"));
    EXPECT_TRUE(lines[15].startsWith(QStringLiteral("   12.0000   [мА]   12.0000   [мА]")));
    EXPECT_TRUE(lines[15].endsWith(QStringLiteral("[мА]") + QString(13, QLatin1Char(' ')) + QStringLiteral("[мА]")))
        << lines[15].toStdString();  // no temperature input
}

TEST(CheckTables, AirMassFlowUsesAbsolutePressure) {
    const OrificeGeometry g{40.0, 0.5, 80.0, 0.6104};
    const double gauge = SectionWriter::AirMassFlow(5.0, 0.2, 293.15, true, g);
    EXPECT_DOUBLE_EQ(gauge, SectionWriter::AirMassFlow(5.0 + kAtmosphereKgf, 0.2, 293.15, false, g));
    // By hand: Pa = 6.0332, Z = 0.99886, Kt = 1, ε = 0.98977;
    // 21.09 · 40² · 0.6104 · √(6.0332 · 0.2 / (293.15 · 0.99886)) · 0.98977 = 1308.7 kg/h.
    EXPECT_NEAR(gauge, 1308.7, 0.1);
    EXPECT_TRUE(std::isnan(SectionWriter::AirMassFlow(std::nan(""), 0.2, 293.15, false, g)));
}

TEST(CheckTables, WaterTable) {
    SensorSpec f;
    f.signal = 'F';
    f.fullScale = 50;
    f.c0 = 0.2f;
    f.function = 'L';
    Channel c('W');
    c.Sensor(0, 'F', 2, f);
    ReportText out;
    SectionWriter(out, c.Model(), SensorStyle::Gas(), MediumUnits::Gas()).WriteWaterCheckTable();
    const QStringList lines = Lines(out);
    ASSERT_EQ(lines.size(), 24);
    EXPECT_EQ(lines.mid(0, 3),
              (QStringList{Dashes(19), QStringLiteral("    50.000   [Гц]"), QStringLiteral("     10.00[м3]")}));
    EXPECT_EQ(lines.mid(21, 3),
              (QStringList{Dashes(19), QStringLiteral("     6.250   [Гц]"), QStringLiteral("      1.25[м3]")}));
}

TEST(HeatConnections, TerminalNames) {
    const struct {
        char letter;
        int index;
        const char *text;
    } cases[] = {
        {'1', 0, "XI1.6(7), XI1.13(14)"},
        {'4', 4, "XI2.6(7), XI2.13(14)"},
        {'2', 1, "Ошибка"},
        {'I', 0, "XI1.4(J+), XI1.12(J-)"},
        {'J', 15, "XI4.1(J+), XI4.9(J-)"},
        {'I', 5, "XI2.3(J+), XI2.11(J-)"},
        {'I', 16, "Ошибка"},
        {'F', 0, "XF1.5(F+), XF1.12(F-)"},
        {'P', 7, "XF2.8(F+), XF2.15(F-)"},
        {'F', 8, "Ошибка"},
        {'D', 0, "Ошибка"},
        {'A', 0, "Ошибка"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(HeatConnectionText(uint16_t(uint8_t(c.letter) | (c.index << 8))), QString::fromUtf8(c.text))
            << c.letter << c.index;
}

TEST(ParameterBlocks, Splice) {
    struct Builder : ParameterSections {
        QStringList lines;
        void BuildParameterSections(int, QStringList &area, int) override { area << lines; }
    } builder;
    builder.lines = {QStringLiteral("один"), QString(), QStringLiteral("два")};
    QStringList area{QStringLiteral("старое")};
    ReportText out;
    SpliceParameterBlock(&builder, area, 3, 2, out);
    EXPECT_EQ(out.text(), QStringLiteral("один\r\n\r\nдва\r\n"));
    EXPECT_EQ(area, (QStringList{QStringLiteral("один"), QString(), QStringLiteral("два"), kBlockEndMarker}));

    // A marker inside the block ends the copy there.
    builder.lines = {QStringLiteral("один"), kBlockEndMarker, QStringLiteral("два")};
    ReportText cut;
    SpliceParameterBlock(&builder, area, 4, 0, cut);
    EXPECT_EQ(cut.text(), QStringLiteral("один\r\n"));

    // Without a builder the block is empty.
    ReportText none;
    SpliceParameterBlock(nullptr, area, 4, 0, none);
    EXPECT_EQ(none.text(), QString());
    EXPECT_EQ(area, QStringList{kBlockEndMarker});
}

// A gauge-pressure sensor ('I' at offset 6) changes the heading only.
TEST(SensorBlock, GaugePressureHeading) {
    QStringList blocks[2];
    for (int gauge = 0; gauge < 2; ++gauge) {
        Channel c;
        c.Sensor(0, 'I', 1, CurrentSensor('I', 0.0f, 16.0f, 6.0f, gauge ? 'I' : 0));
        ReportText out;
        SectionWriter(out, c.Model(), SensorStyle::Gas(), MediumUnits::Gas()).WritePressureBlock();
        blocks[gauge] = Lines(out);
    }
    EXPECT_EQ(blocks[0][1], QStringLiteral("Датчик абсолютного давления:"));
    EXPECT_EQ(blocks[1][1], QStringLiteral("Датчик избыточного давления:"));
    EXPECT_EQ(blocks[0].mid(2), blocks[1].mid(2));
    EXPECT_EQ(blocks[1][5], QStringLiteral("Верхний  предел датчика.............1569.064  кПа"));

    // No sensor in slot 0: the absolute heading and "Нет датчика".
    Channel none;
    ReportText out;
    SectionWriter(out, none.Model(), SensorStyle::Gas(), MediumUnits::Gas()).WritePressureBlock();
    EXPECT_EQ(Lines(out),
              (QStringList{QString(), QStringLiteral("Датчик абсолютного давления:"), QStringLiteral("Нет датчика")}));
}
