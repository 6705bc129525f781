#include "settingsreport/ProgprnC3H8.h"

#include "device/torvunit.h"
#include "settingsreport/ReportFormats.h"
#include "settingsreport/ReportHeader.h"
#include "settingsreport/ReportText.h"
#include "settingsreport/SensorSections.h"

namespace torv {

namespace {

void WriteC3H8UnitBlock(ReportText &out, const TDevObjC3H8 &m) {
    const uint8_t volume = m.ByteAt(img::kVolumeUnit);
    const uint8_t mass = m.ByteAt(img::kMassUnit);
    out.Line(QStringLiteral("Единицы регистрации показаний"));
    out.Line(QStringLiteral("датчика расхода, Qр:         ") + (volume == 'L'   ? QStringLiteral("л/ч")
                                                                : volume == 'M' ? QStringLiteral("м3/ч")
                                                                                : QString()));
    out.Line(QStringLiteral("Единицы регистрации массового"));
    out.Line(QStringLiteral("расхода, Qm:                 ") + (mass == 'T'   ? QStringLiteral("т/ч")
                                                                : mass == 'K' ? QStringLiteral("кг/ч")
                                                                              : QString()));
}

}  // namespace

void WriteC3H8Report(ReportContext &ctx) {
    ReportText &out = ctx.out;
    TDevObjC3H8 &m = ctx.device.c3h8();
    HeaderWriter h(ctx, m);
    h.WriteIdentification(h.ChannelCountSuffix(), true);
    h.WriteDaylightSaving();
    h.WriteContractHour();
    h.WriteAveraging(img::kOtherAveraging);
    h.WriteSummerWinter(img::kOtherSummerWinter);
    h.WriteAlarmLamp();
    h.WritePressureCorrection(img::kPressureCorrection);
    h.WriteTemperatureCorrection();
    h.WriteAutoContract();
    h.WriteOutputBlock(m.FlowCaption(), false);
    out.Line();
    WriteC3H8UnitBlock(out, m);

    for (int n = 1; n <= 4; ++n) {
        out.Line();
        out.Write(QStringLiteral("Канал  ") + QString::number(n) + QStringLiteral(":   "));
        m.SetChannel(n);
        if (m.Medium() == 'P') {
            out.Line(QStringLiteral("Сжиженый пропан"));
            SectionWriter(out, m, SensorStyle::Plain(), MediumUnits::Propane()).WriteFlowmeterBlock();
        } else {
            out.Line(QStringLiteral("Не рабочий"));
            out.Line(Dashes(72));
        }
    }
}

}  // namespace torv
