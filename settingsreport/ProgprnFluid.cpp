#include "settingsreport/ProgprnFluid.h"

#include "device/torvunit.h"
#include "settingsreport/ReportFormats.h"
#include "settingsreport/ReportHeader.h"
#include "settingsreport/ReportText.h"
#include "settingsreport/SensorSections.h"

namespace torv {

namespace {

// Liquid sensor words: 0 flow, 1 pressure, 2 temperature.
constexpr int kFlowSlot = 0;
constexpr int kPressureSlot = 1;
constexpr int kTemperatureSlot = 2;

void WriteFluidUnitBlock(ReportText &out, const TDevObjFluid &m) {
    out.Line(QStringLiteral("Единицы регистрации показаний"));
    const QString label = QStringLiteral("датчика расхода, Qр:         ");
    switch (m.ByteAt(img::kVolumeUnit)) {
    case 'K':
        out.Line(label + QStringLiteral("кГ/ч"));
        out.Line(QStringLiteral("Плотность жидкости при р.у.  ") +
                 FixedCoefficient(m.FloatAtImage(img::kLiquidDensity)) + QStringLiteral(" кГ/м3"));
        break;
    case 'L': out.Line(label + QStringLiteral("л/ч")); break;
    case 'M': out.Line(label + QStringLiteral("м3/ч")); break;
    default: out.Line(label); break;
    }
}

void WriteLiquidBlock(ReportText &out, TTorv2s &device, TDevObjFluid &m) {
    const MediumUnits units = MediumUnits::Liquid();
    SectionWriter w(out, m, SensorStyle::Plain(), units);
    out.Line(Dashes(72));
    w.WriteSensorBlock(kFlowSlot, QStringLiteral("Датчик объемного расхода:"), 0.0, 1.0, units.flow);

    // The letters of the pressure and temperature words say whether the channel has those sensors.
    const uint8_t pressureLetter = m.ChannelByte(chrec::kSlotWords + 2 * kPressureSlot);
    if (pressureLetter == 'I' || pressureLetter == 'J') {
        device.liquidPressure = 1;
        if (const std::optional<SensorDescriptor> s = m.Descriptor(kPressureSlot)) {
            const QString heading = s->Flag6() == 'I' ? QStringLiteral("Датчик избыточного давления:")
                                                      : QStringLiteral("Датчик абсолютного давления:");
            w.WriteSensorBlock(kPressureSlot, heading, 0.0, kKgfToKPa, units.pressure);
        }
    } else {
        device.liquidPressure = 0;
    }
    const uint8_t temperatureLetter = m.ChannelByte(chrec::kSlotWords + 2 * kTemperatureSlot);
    if (temperatureLetter >= '1' && temperatureLetter <= '8') {
        device.liquidTemperature = 1;
        w.WriteSensorBlock(kTemperatureSlot, QStringLiteral("Датчик температуры:"), -kKelvinZero, 1.0,
                           units.temperature);
    } else {
        device.liquidTemperature = 0;
    }
    out.Line();
    w.WriteFlowSetPointLines();
}

}  // namespace

void WriteFluidReport(ReportContext &ctx) {
    ReportText &out = ctx.out;
    TDevObjFluid &m = ctx.device.fluid();
    HeaderWriter h(ctx, m);
    h.WriteIdentification(h.ChannelCountSuffix(), true);
    h.WriteDaylightSaving();
    h.WriteContractHour();
    h.WriteAveraging(img::kOtherAveraging);
    h.WriteAutoContract();
    h.WriteOutputBlock(h.OutputCaptionByMedium(), false);
    WriteFluidUnitBlock(out, m);

    for (int n = 1; n <= 4; ++n) {
        out.Line();
        out.Write(QStringLiteral("Канал  ") + QString::number(n) + QStringLiteral(":   "));
        m.SetChannel(n);
        if (m.Medium() == 'L') {
            out.Line(QStringLiteral("Учет расхода жидкости"));
            WriteLiquidBlock(out, ctx.device, m);
        } else {
            out.Line(QStringLiteral("Не рабочий"));
            out.Line(Dashes(72));
        }
    }
}

}  // namespace torv
