#include "settingsreport/SensorSections.h"

#include "settingsreport/ReportFormats.h"
#include "settingsreport/ReportText.h"

#include <cmath>

namespace torv {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}

const TestValues kCheckTemperatures{253.15, 263.15, 268.15, 273.15, 278.15, 283.15, 293.15, 303.15};

SensorStyle SensorStyle::Gas() {
    return SensorStyle{QStringLiteral("Ток 4-20 мА"), QStringLiteral("Ток 0-5 мА"), true};
}

SensorStyle SensorStyle::Plain() {
    return SensorStyle{QStringLiteral("Ток 4-20 mA"), QStringLiteral("Ток 0-5 mA"), false};
}

MediumUnits MediumUnits::Gas() {
    return MediumUnits{QStringLiteral(" м3/ч"), QStringLiteral(" кПа"),  QStringLiteral(" кПа"),
                       QStringLiteral(" гр.C"), QStringLiteral(" м3/ч"), QStringLiteral(" м3/ч"),
                       QStringLiteral(" кПа")};
}

MediumUnits MediumUnits::Propane() {
    return MediumUnits{QStringLiteral("куб.м/ч"), QStringLiteral("КПа"),     QStringLiteral("КПа"),
                       QStringLiteral("гр.C"),    QStringLiteral(" куб./ч"), QStringLiteral(" куб/ч"),
                       QStringLiteral(" КПа")};
}

MediumUnits MediumUnits::Steam() {
    return MediumUnits{QStringLiteral("куб.м/ч"), QStringLiteral("КПа"),     QStringLiteral("КПа"),
                       QStringLiteral("гр.C"),    QStringLiteral(" куб./ч"), QStringLiteral(" куб/ч"),
                       QStringLiteral(" КПа")};
}

MediumUnits MediumUnits::Liquid() {
    // The liquid report writes its temperature unit with a Cyrillic С.
    return MediumUnits{QStringLiteral("куб.м/ч"), QStringLiteral("КПа"),     QStringLiteral("КПа"),
                       QStringLiteral("гр.С"),    QStringLiteral(" куб./ч"), QStringLiteral(" куб/ч"),
                       QStringLiteral(" КПа")};
}

MediumUnits MediumUnits::Heat() {
    return MediumUnits{QStringLiteral("куб.м/ч"), QStringLiteral("КПа"),     QStringLiteral("КПа"),
                       QStringLiteral("гр.C"),    QStringLiteral(" куб./ч"), QStringLiteral(" куб/ч"),
                       QStringLiteral(" КПа")};
}

// ---------------------------------------------------------------------------------------------
// Conversions

double Polynomial::operator()(double x) const {
    const double u = x + c0;
    return ((c1 * u + c2) * u + c3) * u + c4;
}

Polynomial SensorPolynomial(const SensorDescriptor &s) { return Polynomial{s.C0(), s.C1(), s.C2(), s.C3(), s.C4()}; }

// Four points of P over [lo, hi]; a1·y³ + a2·y² + a3·y + a4 = x + c0 solved by Gauss–Jordan
// elimination in extended precision, in row order (the rows are already in a usable order for a
// monotonic sensor). A zero pivot means two points share an output: no inverse then.
std::optional<Polynomial> FitInverseCubic(const Polynomial &p, double lo, double hi) {
    long double m[4][5];
    for (int s = 0; s < 4; ++s) {
        const long double x = (long double)lo + s * ((long double)hi - lo) / 3.0L;
        const long double u = x + p.c0;
        const long double y = ((p.c1 * u + p.c2) * u + p.c3) * u + p.c4;
        m[s][0] = y * y * y;
        m[s][1] = y * y;
        m[s][2] = y;
        m[s][3] = 1.0L;
        m[s][4] = x + p.c0;
    }
    for (int i = 0; i < 4; ++i) {
        const long double pivot = m[i][i];
        if (pivot == 0.0L || !std::isfinite((double)pivot))
            return std::nullopt;
        for (int k = i; k < 5; ++k)
            m[i][k] /= pivot;
        for (int j = 0; j < 4; ++j) {
            if (j == i)
                continue;
            const long double f = m[j][i];
            for (int k = i; k < 5; ++k)
                m[j][k] -= f * m[i][k];
        }
    }
    Polynomial inverse{0.0, double(m[0][4]), double(m[1][4]), double(m[2][4]), double(m[3][4] - p.c0)};
    if (!std::isfinite(inverse.c1) || !std::isfinite(inverse.c2) || !std::isfinite(inverse.c3) ||
        !std::isfinite(inverse.c4))
        return std::nullopt;
    return inverse;
}

double EvaluateConversion(const SensorDescriptor &s, const ApproximationTable *table, double x) {
    switch (s.Function()) {
    case 'L': return double(s.C0()) * x + double(s.C1());
    case 'Z': return double(s.C0()) * x;
    case 'P': return SensorPolynomial(s)(x);
    case 'A': {
        if (!table || (table->key & 0xFF) == 0)
            return 0.0;
        // The point count comes from the device; the table holds at most 20 points.
        const int count = std::min<int>(table->count, ApproximationTable::kPoints);
        for (int p = 1; p <= count; ++p) {
            const double xp = table->x[p - 1];
            if (x >= xp) {
                if (p == 1)
                    return table->y[0];
                const double xPrev = table->x[p - 2];
                const double yp = table->y[p - 1], yPrev = table->y[p - 2];
                return yp + (x - xp) / (xPrev - xp) * (yPrev - yp);
            }
        }
        return 0.0;
    }
    default: return 0.0;
    }
}

// ---------------------------------------------------------------------------------------------
// SectionWriter

SectionWriter::SectionWriter(ReportText &out, TDevObjBase &model, const SensorStyle &style, const MediumUnits &units)
    : out_(out), model_(model), style_(style), units_(units) {}

QString SectionWriter::ThermometerType(uint8_t code) {
    switch (code) {
    case '1': return QStringLiteral("П, W100/W0=1.3850");
    case '2': return QStringLiteral("П, W100/W0=1.3910");
    case '3': return QStringLiteral("М, W100/W0=1.4260");
    case '4': return QStringLiteral("М, W100/W0=1.4280");
    default: return QString();
    }
}

void SectionWriter::WriteSensorBlock(int slot, const QString &heading, double offset, double scale,
                                     const QString &unit) {
    out_.Line();
    out_.Line(heading);
    const std::optional<SensorDescriptor> sensor = model_.Descriptor(slot);
    if (!sensor || sensor->Signal() == 'D') {
        out_.Line(QStringLiteral("Нет датчика"));
        return;
    }
    const SensorDescriptor &s = *sensor;

    const QString contractLabel = QStringLiteral("Контрактное значение,максимальное...");
    if (IsFiniteFloat(s.Contract()))
        out_.Line(contractLabel + GeneralNumber(double(s.Contract()) * scale + offset) + unit);
    else
        out_.Line(contractLabel + QStringLiteral("Не задано"));

    const uint8_t code = s.Signal();
    const QString signalLabel = QStringLiteral("Сигнал датчика......................");
    if (code >= '1' && code <= '4') {
        out_.Line(signalLabel + QStringLiteral("Термосопротивление ") + GeneralNumber(-double(s.C0())) +
                  ThermometerType(code));
        return;
    }
    double span = 0;
    switch (code) {
    case 'A':
    case 'I':
        out_.Line(signalLabel + style_.current420);
        span = 16;
        break;
    case 'B':
    case 'J':
        out_.Line(signalLabel + style_.current05);
        span = 5;
        break;
    case 'F': {
        out_.Line(signalLabel + QStringLiteral("Частота 0-") + GeneralNumber(s.FullScale()) + QStringLiteral(" Гц"));
        const int integration = s.Flag6();
        out_.Line(
            QStringLiteral("Время интегрирования сигнала........") +
            (integration > 240 ? QStringLiteral("Неопределено") : QString::number(integration) + QStringLiteral(" с")));
        span = s.FullScale();
        break;
    }
    case 'P': {
        out_.Line(signalLabel + QStringLiteral("Счетные импульсы, ") + GeneralNumber(double(s.C0()) / 3600.0) +
                  QStringLiteral(" куб.м/имп"));
        const float period = s.FullScale();
        const QString maxFlow = (IsFiniteFloat(period) && period > 0)
                                    ? GeneralNumber(double(s.C0()) / double(period)) + QStringLiteral(" куб.м/ч")
                                    : QStringLiteral("Неопределен");
        out_.Line(QStringLiteral("Максимальный расход.................") + maxFlow);
        out_.Line(QStringLiteral("Отсечка нуля........................") + GeneralNumber(s.C1()) +
                  QStringLiteral(" куб.м/ч"));
        return;
    }
    default: out_.Line(signalLabel + QStringLiteral("Ошибка настройки")); return;
    }

    const double k = double(s.C0()) * scale;
    const double b = double(s.C1()) * scale;
    out_.Write(QStringLiteral("Функция преобразования.............."));
    const QString limitLabel = QStringLiteral(" предел датчика.............");
    switch (s.Function()) {
    case 'A': {
        out_.Line(QStringLiteral("Кусочно-линейная аппроксимация"));
        if (style_.pointCount)
            out_.Line(QStringLiteral("Количество точек:  ") + QString::number(s.PointCount()));
        // The check tables walk as many points as the sensor declares.
        if (ApproximationTable *table = model_.ApproximationTableFor(slot))
            table->count = s.PointCount();
        break;
    }
    case 'L':
        out_.Line(QStringLiteral("Линейная"));
        out_.Line(QStringLiteral("Верхний ") + limitLabel + GeneralNumber(k * span + b + offset) + QLatin1Char(' ') +
                  unit);
        out_.Line(QStringLiteral("Нижний  ") + limitLabel + GeneralNumber(b + offset) + QLatin1Char(' ') + unit);
        break;
    case 'Z':
        out_.Line(QStringLiteral("Линейная"));
        out_.Line(QStringLiteral("Верхний ") + limitLabel + GeneralNumber(k * span + offset) + QLatin1Char(' ') + unit);
        break;
    default:
        // No name for other functions: the label's line is ended by whatever comes next.
        break;
    }
}

bool SectionWriter::PressureIsGauge(int slot) const {
    const std::optional<SensorDescriptor> s = model_.Descriptor(slot);
    return s && s->Flag6() == 'I';
}

void SectionWriter::WritePressureBlock() {
    const QString heading = PressureIsGauge(0) ? QStringLiteral("Датчик избыточного давления:")
                                               : QStringLiteral("Датчик абсолютного давления:");
    WriteSensorBlock(0, heading, 0.0, kKgfToKPa, units_.pressure);
}

void SectionWriter::WriteTemperatureBlock() {
    WriteSensorBlock(1, QStringLiteral("Датчик температуры:"), -kKelvinZero, 1.0, units_.temperature);
}

void SectionWriter::WriteFlowSetPointLines() {
    const bool penalty = model_.ChannelByte(chrec::kVariant) == 'S';
    out_.Line(QStringLiteral("Нижняя уставка расхода при р.у......") +
              GeneralNumber(model_.ChannelFloat(chrec::kLowerSetPoint)) + units_.setPoint);
    out_.Line(QStringLiteral("Вариант учета при НУ................") +
              (penalty ? QStringLiteral("Штрафное значение расхода при р.у.")
                       : QStringLiteral("Измеренное значение расхода при р.у.")));
    if (penalty)
        out_.Line(QStringLiteral("Штрафное значение расхода при р.у...") +
                  GeneralNumber(model_.ChannelFloat(chrec::kPenalty)) + units_.penaltyFlow);
}

void SectionWriter::WriteFlowmeterBlock() {
    out_.Line(Dashes(72));
    WriteSensorBlock(2, QStringLiteral("Датчик объемного расхода:"), 0.0, 1.0, units_.flow);
    WritePressureBlock();
    WriteTemperatureBlock();
    out_.Line();
    WriteFlowSetPointLines();
}

OrificeGeometry SectionWriter::Geometry(double x) const {
    OrificeGeometry g;
    g.d = std::sqrt(double(model_.ChannelFloat(chrec::kOrificeConstant)) / x);
    g.beta = std::pow(double(model_.ChannelFloat(chrec::kBeta4)), 0.25);
    g.pipe = g.d / g.beta;
    g.flowCoefficient = model_.ChannelFloat(chrec::kFlowCoefficient);
    return g;
}

void SectionWriter::WriteOrificeBlock(double x) {
    out_.Line(Dashes(72));
    WritePressureBlock();
    out_.Line();
    if (model_.HasTwoDpSensors()) {
        out_.Line(QStringLiteral("Количество дифманометров:   2"));
        WriteSensorBlock(2, QStringLiteral("Дифманометр ДД2 (малые перепады):"), 0.0, kKgfToKPa, units_.gauge);
        WriteSensorBlock(3, QStringLiteral("Дифманометр ДД1 (большие перепады):"), 0.0, kKgfToKPa, units_.gauge);
    } else {
        out_.Line(QStringLiteral("Количество дифманометров:   1"));
        WriteSensorBlock(2, QStringLiteral("Дифманометр"), 0.0, kKgfToKPa, units_.gauge);
    }
    WriteTemperatureBlock();

    const OrificeGeometry g = Geometry(x);
    const bool penalty = model_.ChannelByte(chrec::kVariant) == 'S';
    const auto constant = [this](int offset) { return double(model_.ChannelFloat(offset)); };
    out_.Line();
    out_.Line(QStringLiteral("Диаметр диафрагмы при 20гр.C........") + GeneralNumber(g.d) + QStringLiteral(" мм"));
    out_.Line(QStringLiteral("Диаметр трубопровода при 20гр.C.....") + GeneralNumber(g.pipe) + QStringLiteral(" мм"));
    out_.Line(QStringLiteral("Относительный диаметр при 20гр.C....") + GeneralNumber(g.beta));
    out_.Line(QStringLiteral("Коэффициент расхода.................") + GeneralNumber(g.flowCoefficient));
    out_.Line(QStringLiteral("К-нт тепл. расширения диафрагмы.....") + GeneralNumber(constant(chrec::kPlateExpansion)) +
              QStringLiteral(" мм/гр.С"));
    out_.Line(QStringLiteral("К-нт тепл. расширения трубопровода..") + GeneralNumber(constant(chrec::kPipeExpansion)) +
              QStringLiteral(" мм/гр.С"));
    out_.Line(QStringLiteral("Дрейф нуля датчика перепада давл....") +
              GeneralNumber(constant(chrec::kZeroDrift) * 100) + QStringLiteral("% макс."));
    out_.Line(QStringLiteral("Нижняя уставка перепада давления....") +
              GeneralNumber(constant(chrec::kLowerSetPoint) * 100) + QStringLiteral("% макс."));
    out_.Line(QStringLiteral("Минимально допустимый перепад ДД1...") + GeneralNumber(constant(chrec::kMinDp1) * 100) +
              QStringLiteral("% макс."));
    out_.Line(QStringLiteral("Вариант учета при НУ................") +
              (penalty ? QStringLiteral("Штрафное значение перепада давл.")
                       : QStringLiteral("Измеренное значение перепада давл.")));
    if (penalty)
        out_.Line(QStringLiteral("Штрафное значение перепада  давл.....") +
                  GeneralNumber(constant(chrec::kPenalty) * kKgfToKPa) + units_.penaltyDp);
}

// ---------------------------------------------------------------------------------------------
// Test points and check tables

namespace {

// Decimals of a frequency or pulse input: 2 plus the tenfold steps from `base` up to 100.
int DecimalsFrom(double base) {
    int decimals = 2;
    if (!(base > 0))
        return decimals;
    for (int i = 0; i < 40 && base < 100; ++i) {
        base *= 10;
        ++decimals;
    }
    return decimals;
}

}  // namespace

TestPointResult SectionWriter::TestPoint(int slot, const TestValues *values, int row) {
    TestPointResult r;
    const std::optional<SensorDescriptor> sensor = model_.Descriptor(slot);
    if (!sensor)
        return r;
    const SensorDescriptor &s = *sensor;
    const ApproximationTable *table = model_.ApproximationTableFor(slot);
    const double k = s.C0(), b = s.C1();
    const double v = values ? (*values)[8 - row] : kNaN;

    switch (s.Signal()) {
    case 'A':
    case 'I': {
        double input = 2.0 * row;
        if (values) {
            const double x = s.Function() == 'L' ? (v - b) / k : v / k;
            if (x <= 16 && x >= 0)
                input = x;
        }
        r.decimals = 4;
        r.value = EvaluateConversion(s, table, input);
        r.input = input + 4;  // the live zero of the 4–20 mA signal
        return r;
    }
    case 'B':
    case 'J': {
        double input = 5.0 * row / 8.0;
        if (values) {
            const double x = s.Function() == 'L' ? (v - b) / k : v / k;
            if (x <= 5 && x >= 0)
                input = x;
        }
        r.decimals = 4;
        r.value = EvaluateConversion(s, table, input);
        r.input = input;
        return r;
    }
    case 'F': {
        const double fullScale = s.FullScale();
        r.decimals = DecimalsFrom(fullScale);
        r.input = row * fullScale / 8.0;
        r.value = EvaluateConversion(s, table, r.input);
        return r;
    }
    case 'P': {
        const double period = s.FullScale();
        r.decimals = DecimalsFrom(8.0 * period);
        r.input = 8.0 * period / row;
        r.value = r.input > 0 ? k / r.input : k;
        return r;
    }
    case '1':
    case '2':
    case '3':
    case '4': {
        r.decimals = 3;
        if (!values)
            return r;  // a thermometer is checked only at the test temperatures
        const double r0 = -k;
        double delta = (v - kKelvinZero) * r0 / 250.0;
        if (std::fabs(delta) < 1)
            delta = 1;
        const Polynomial p = SensorPolynomial(s);
        const std::optional<Polynomial> first = FitInverseCubic(p, r0 - 0.8 * delta, r0 + 1.2 * delta);
        if (!first)
            return r;
        const double approx = (*first)(v);
        const std::optional<Polynomial> second = FitInverseCubic(p, 0.95 * approx, 1.05 * approx);
        if (!second)
            return r;
        r.input = (*second)(v);
        r.value = EvaluateConversion(s, table, r.input);
        return r;
    }
    default: return r;
    }
}

double SectionWriter::AirMassFlow(double p, double dp, double t, bool gaugePressure, const OrificeGeometry &g) {
    // The orifice equation needs absolute pressure: a gauge sensor's reading gets the atmosphere.
    const double pa = p + (gaugePressure ? kAtmosphereKgf : 0.0);
    const double tc = 373.15 - t;
    const double z = 1 - (-5.599e-6 * tc + 9.955e-8 * tc * tc) * pa;
    const double kt = 1 + 1.65e-5 * (t - 293.15);
    const double b2kt = g.beta * g.beta * kt;
    const double eps = 1 - (0.41 + 0.35 * b2kt * b2kt) * dp / (1.4 * pa);
    return kGasOrificeConstant * g.d * g.d * g.flowCoefficient * kt * kt * std::sqrt(pa * dp / (t * z)) * eps;
}

void SectionWriter::WriteAirCheckTable() {
    const bool twoGauges = model_.HasTwoDpSensors();
    const OrificeGeometry g = Geometry(kGasOrificeConstant);
    const bool gauge = PressureIsGauge(0);
    auto unitOf = [this](int slot) { return TDevObj::SensorUnitText(model_.SensorWord(slot)); };
    for (int row = 8; row >= 1; --row) {
        if (twoGauges && row == 8)
            out_.Line(QStringLiteral("Перепад с датчика ДД2 (малые перепады)"));
        if (twoGauges && row == 4)
            out_.Line(QStringLiteral("Перепад с датчика ДД1 (большие перепады)"));
        out_.Line(Dashes(69));
        const int dpSlot = (twoGauges && row <= 4) ? 3 : 2;
        const TestPointResult p = TestPoint(0, nullptr, row);
        const TestPointResult dp = TestPoint(dpSlot, nullptr, row);
        const TestPointResult t = TestPoint(1, &kCheckTemperatures, row);
        out_.Line(RightAligned(p.input, p.decimals, 10) + RightAlignedText(unitOf(0), 7) +
                  RightAligned(dp.input, dp.decimals, 10) + RightAlignedText(unitOf(dpSlot), 7) +
                  RightAligned(t.input, t.decimals, 10) + RightAlignedText(unitOf(1), 7));
        const double qm = AirMassFlow(p.value, dp.value, t.value, gauge, g);
        out_.Line(RightAligned(p.value * kKgfToKPa, 2, 10) + QStringLiteral("  [кПа]") +
                  RightAligned(dp.value * kKgfToKPa, 2, 10) + QStringLiteral("  [кПа]") +
                  RightAligned(t.value - kKelvinZero, 2, 10) + QStringLiteral(" [гр.C]") + RightAligned(qm, 1, 10) +
                  QStringLiteral(" [кГ/ч]"));
    }
}

void SectionWriter::WriteWaterCheckTable() {
    const QString unit = TDevObj::SensorUnitText(model_.SensorWord(0));
    for (int row = 8; row >= 1; --row) {
        out_.Line(Dashes(19));
        const TestPointResult tp = TestPoint(0, nullptr, row);
        out_.Line(RightAligned(tp.input, tp.decimals, 10) + RightAlignedText(unit, 7));
        out_.Line(RightAligned(tp.value, 2, 10) + QStringLiteral("[м3]"));
    }
}

}  // namespace torv
