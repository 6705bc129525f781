#include "settingsreport/ProgprnSteam.h"

#include "device/torvunit.h"
#include "settingsreport/ReportFormats.h"
#include "settingsreport/ReportHeader.h"
#include "settingsreport/ReportText.h"
#include "settingsreport/SensorSections.h"

namespace torv {

namespace {

// The output parameter of the steam device: mass flow (0) or heat.
QString SteamOutputCaption(const TDevObjBase &m) {
    return m.ByteAt(img::kOutputParameter) == 0 ? QStringLiteral("Qм, т/ч") : QStringLiteral("G, гкал/ч");
}

// The cold-water thermometer: word 5 of the first steam channel.
void WriteColdWaterSensor(ReportText &out, TDevObjSteam &m) {
    out.Line(QStringLiteral("Датчик Тхв:    "));
    for (int n = 1; n <= 4; ++n) {
        const uint8_t medium = m.MediumOf(n);
        if (medium != 'Q' && medium != 'S')
            continue;
        m.SetChannel(n);
        const std::optional<SensorDescriptor> s = m.Descriptor(5);
        if (!s || s->Signal() == 'D')
            break;
        const uint8_t code = s->Signal();
        if (code >= '1' && code <= '4')
            out.Line(QStringLiteral("Сигнал датчика......................Термосопротивление ") +
                     GeneralNumber(-double(s->C0())) + SectionWriter::ThermometerType(code));
        else
            out.Line(QStringLiteral("Сигнал датчика......................Ошибка настройки"));
        return;
    }
    out.Line(QStringLiteral("Нет датчика"));
}

void WriteSteamMediumSection(ReportText &out, TDevObjSteam &m, uint8_t medium) {
    const MediumUnits units = MediumUnits::Steam();
    SectionWriter w(out, m, SensorStyle::Plain(), units);
    const QString condensate = QStringLiteral("Датчик расхода конденсата:");
    if (medium == 'S') {
        out.Line(QStringLiteral("ПАР (СУ)"));
        w.WriteOrificeBlock(kSteamOrificeConstant);
        w.WriteSensorBlock(4, condensate, 0.0, 1.0, units.flow);
    } else {
        out.Line(QStringLiteral("ПАР (С РАСХОДОМЕРОМ)"));
        w.WriteFlowmeterBlock();
        w.WriteSensorBlock(3, condensate, 0.0, 1.0, units.flow);
    }
}

}  // namespace

void WriteSteamReport(ReportContext &ctx) {
    ReportText &out = ctx.out;
    TDevObjSteam &m = ctx.device.steam();
    HeaderWriter h(ctx, m);
    h.WriteIdentification(QString(), true);
    h.WriteDaylightSaving();
    h.WriteContractHour();
    h.WriteAveraging(img::kOtherAveraging);
    h.WriteSummerWinter(img::kOtherSummerWinter);
    h.WriteAlarmLamp();
    h.WritePressureCorrection(img::kPressureCorrection);
    h.WriteAutoContract();
    h.WriteOutputBlock(SteamOutputCaption(m), true);
    out.Line();
    WriteColdWaterSensor(out, m);

    for (int n = 1; n <= 4; ++n) {
        out.Line();
        out.Write(QStringLiteral("Канал  ") + QString::number(n) + QStringLiteral(":   "));
        m.SetChannel(n);
        const uint8_t medium = m.Medium();
        if (medium == 'S' || medium == 'Q') {
            WriteSteamMediumSection(out, m, medium);
        } else {
            out.Line(QStringLiteral("Не рабочий"));
            out.Line(Dashes(72));
        }
    }
}

}  // namespace torv
