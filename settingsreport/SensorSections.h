// A channel section sensor by sensor: sensor blocks, the standard pressure and
// temperature blocks, the flowmeter and orifice blocks, test points with the conversion functions
// and the inverse cubic fit, and the air and water check tables.
#pragma once

#include "device/DevData.h"

#include <QString>
#include <array>
#include <limits>
#include <optional>

namespace torv {

class ReportText;

// How a device kind's sensor block names current signals and piecewise functions.
struct SensorStyle {
    QString current420;  // "Ток 4-20 мА" (gas and heat kinds) or "Ток 4-20 mA"
    QString current05;
    bool pointCount;  // the piecewise function prints "Количество точек:"
    static SensorStyle Gas();
    static SensorStyle Plain();  // propane, steam, liquid
};

// Units of a device kind's medium sections.
struct MediumUnits {
    QString flow;         // volume-flow and condensate sensor blocks
    QString pressure;     // pressure block
    QString gauge;        // differential-pressure gauges
    QString temperature;  // temperature block
    QString setPoint;     // lower flow set-point line
    QString penaltyFlow;  // penalty flow line
    QString penaltyDp;    // penalty differential-pressure line
    static MediumUnits Gas();
    static MediumUnits Propane();
    static MediumUnits Steam();
    static MediumUnits Liquid();
    static MediumUnits Heat();
};

// Physical constants of the report.
constexpr double kKgfToKPa = 98.0665;  // kgf/cm2 → kPa
constexpr double kKelvinZero = 273.15;
constexpr double kGasOrificeConstant = 21.09;  // gas and compressed air
constexpr double kSteamOrificeConstant = 0.001252;
// Standard atmosphere in kgf/cm2: added to a gauge pressure where the air table needs absolute pressure.
constexpr double kAtmosphereKgf = 101.325 / 98.0665;

using TestValues = std::array<double, 8>;    // rows 8 down to 1
extern const TestValues kCheckTemperatures;  // 253.15 … 303.15 K

// A cubic in u = x + c0: ((c1·u + c2)·u + c3)·u + c4.
struct Polynomial {
    double c0 = 0, c1 = 0, c2 = 0, c3 = 0, c4 = 0;
    double operator()(double x) const;
};
Polynomial SensorPolynomial(const SensorDescriptor &sensor);
// The polynomial mapping P's outputs back to its inputs over [lo, hi], through four points;
// none when the points do not determine it (two points with the same output).
std::optional<Polynomial> FitInverseCubic(const Polynomial &p, double lo, double hi);

// The sensor's conversion of an input to device units; `table` is the slot's approximation table.
double EvaluateConversion(const SensorDescriptor &sensor, const ApproximationTable *table, double x);

struct TestPointResult {
    double input = std::numeric_limits<double>::quiet_NaN();  // as shown (4–20 mA with its live zero)
    int decimals = 4;
    double value = std::numeric_limits<double>::quiet_NaN();  // device units
};

// Orifice geometry from the channel constants.
struct OrificeGeometry {
    double d;     // orifice diameter at 20 °C, mm
    double beta;  // diameter ratio
    double pipe;  // pipe diameter, mm
    double flowCoefficient;
};

class SectionWriter {
public:
    SectionWriter(ReportText &out, TDevObjBase &model, const SensorStyle &style, const MediumUnits &units);

    void WriteSensorBlock(int slot, const QString &heading, double offset, double scale, const QString &unit);
    void WritePressureBlock();
    void WriteTemperatureBlock();
    void WriteFlowmeterBlock();
    void WriteOrificeBlock(double mediumConstant);
    // Lower set-point, variant and penalty lines of the flowmeter block.
    void WriteFlowSetPointLines();
    void WriteAirCheckTable();
    void WriteWaterCheckTable();

    TestPointResult TestPoint(int slot, const TestValues *values, int row);
    OrificeGeometry Geometry(double mediumConstant) const;
    // The air mass flow of one check-table row (kgf/cm2 and kelvin in, kg/h out).
    static double AirMassFlow(double p, double dp, double t, bool gaugePressure, const OrificeGeometry &g);

    static QString ThermometerType(uint8_t code);

private:
    bool PressureIsGauge(int slot) const;

    ReportText &out_;
    TDevObjBase &model_;
    SensorStyle style_;
    MediumUnits units_;
};

}  // namespace torv
