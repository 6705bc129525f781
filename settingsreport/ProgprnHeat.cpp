#include "settingsreport/ProgprnHeat.h"

#include "device/torvunit.h"
#include "settingsreport/ParameterSections.h"
#include "settingsreport/ReportFormats.h"
#include "settingsreport/ReportHeader.h"
#include "settingsreport/ReportText.h"
#include "settingsreport/SensorSections.h"

namespace torv {

// Terminal names of the heat device's input connectors for a sensor word.
QString HeatConnectionText(uint16_t word) {
    const uint8_t letter = uint8_t(word & 0xFF);
    const int i = word >> 8;
    const QString error = QStringLiteral("Ошибка");
    switch (letter) {
    case '1':
    case '2':
    case '3':
    case '4':
        if (i == 0)
            return QStringLiteral("XI1.6(7), XI1.13(14)");
        if (i == 4)
            return QStringLiteral("XI2.6(7), XI2.13(14)");
        return error;
    case 'I':
    case 'J': {
        if (i > 15)
            return error;
        const QString block = QString::number(i / 4 + 1);
        return QStringLiteral("XI") + block + QLatin1Char('.') + QString::number(4 - i % 4) +
               QStringLiteral("(J+), XI") + block + QLatin1Char('.') + QString::number(12 - i % 4) +
               QStringLiteral("(J-)");
    }
    case 'F':
    case 'P': {
        if (i > 7)
            return error;
        const QString block = QString::number(i / 4 + 1);
        return QStringLiteral("XF") + block + QLatin1Char('.') + QString::number(5 + i % 4) +
               QStringLiteral("(F+), XF") + block + QLatin1Char('.') + QString::number(12 + i % 4) +
               QStringLiteral("(F-)");
    }
    default: return error;
    }
}

namespace {

const QString &SupplyLabel() {
    static const QString s = QStringLiteral("Подключение датчика на под. труб....");
    return s;
}

// A heat sensor block is followed by where its supply and return sensors are connected.
void WriteConnections(ReportText &out, const TDevObjHeat &m, int slot) {
    out.Line(SupplyLabel() + HeatConnectionText(m.SensorWord(slot)));
    out.Line(QStringLiteral("Подключение датчика на обр. труб....") + HeatConnectionText(m.SensorWord(slot + 4)));
}

void WriteTwoPipeBlock(ReportText &out, TDevObjHeat &m) {
    const MediumUnits units = MediumUnits::Heat();
    SectionWriter w(out, m, SensorStyle::Gas(), units);
    out.Line(Dashes(72));
    const std::optional<SensorDescriptor> pressure = m.Descriptor(0);
    const QString pressureHeading = (pressure && pressure->Flag6() == 'I')
                                        ? QStringLiteral("Датчики избыточного давления P1/P2:")
                                        : QStringLiteral("Датчики абсолютного давления P1/P2:");
    w.WriteSensorBlock(0, pressureHeading, 0.0, kKgfToKPa, units.pressure);
    WriteConnections(out, m, 0);
    out.Line();
    if (m.HasTwoDpSensors()) {
        out.Line(QStringLiteral("Количество дифманометров на СУ:   2"));
        w.WriteSensorBlock(2, QStringLiteral("Дифманометры ДД2 (малые перепады):"), 0.0, kKgfToKPa, units.gauge);
        WriteConnections(out, m, 2);
        w.WriteSensorBlock(3, QStringLiteral("Дифманометры ДД1 (большие перепады):"), 0.0, kKgfToKPa, units.gauge);
        WriteConnections(out, m, 3);
    } else {
        out.Line(QStringLiteral("Количество дифманометров:   1"));
        w.WriteSensorBlock(2, QStringLiteral("Дифманометры Pдиф1/Pдиф2:"), 0.0, kKgfToKPa, units.gauge);
        WriteConnections(out, m, 2);
    }
    w.WriteSensorBlock(1, QStringLiteral("Датчики температуры T1/T2:"), -kKelvinZero, 1.0, units.temperature);
    WriteConnections(out, m, 1);

    const auto constant = [&m](int offset) { return double(m.ChannelFloat(offset)); };
    const bool penalty = m.ChannelByte(chrec::kVariant) == 'S';
    out.Line();
    out.Line(QStringLiteral("Диаметр диафрагмы - под. при 20гр.C....") +
             GeneralNumber(constant(chrec::kSupplyDiameter)) + QStringLiteral(" мм"));
    out.Line(QStringLiteral("Коэффициент расхода - под..............") +
             GeneralNumber(constant(chrec::kFlowCoefficient)));
    out.Line(QStringLiteral("Диаметр диафрагмы - обр. при 20гр.C....") +
             GeneralNumber(constant(chrec::kReturnDiameter)) + QStringLiteral(" мм"));
    out.Line(QStringLiteral("Коэффициент расхода - обр..............") +
             GeneralNumber(constant(chrec::kReturnCoefficient)));
    out.Line(QStringLiteral("К-нт тепл. расширения диафрагмю........") +
             GeneralNumber(constant(chrec::kHeatPlateExpansion)) + QStringLiteral(" мм/гр.С"));
    out.Line(QStringLiteral("Дрейф нуля датчиков перепада давл......") +
             GeneralNumber(constant(chrec::kZeroDrift) * 100) + QStringLiteral("% макс."));
    out.Line(QStringLiteral("Нижняя уставка перепада давления.......") +
             GeneralNumber(constant(chrec::kLowerSetPoint) * 100) + QStringLiteral("% макс."));
    out.Line(QStringLiteral("Минимально допустимый перепад ДД1......") + GeneralNumber(constant(chrec::kMinDp1) * 100) +
             QStringLiteral("% макс."));
    out.Line(QStringLiteral("Вариант учета при НУ...................") +
             (penalty ? QStringLiteral("Штрафное значение перепада давл.")
                      : QStringLiteral("Измеренное значение перепада давл.")));
    if (penalty)
        out.Line(QStringLiteral("Штрафное значение перепада  давл.......") +
                 GeneralNumber(constant(chrec::kPenalty) * kKgfToKPa) + units.penaltyDp);
}

void WriteHeatChannel(ReportContext &ctx, TDevObjHeat &m) {
    ReportText &out = ctx.out;
    out.Line(QStringLiteral("Учет тепла (СУ)"));
    WriteTwoPipeBlock(out, m);
    out.Line(Dashes(78));
    out.Line();
    // The channel block of a heat channel holds no contract values (its sensors are not logged as
    // such) and no gas total: it is prepared in the text area as for every channel but not printed.
    PrepareParameterBlock(ctx.sections, ctx.textArea, ParameterSections::kChannelBlock, 1);
}

void WriteOutdoorTemperature(ReportText &out, TDevObjHeat &m) {
    SectionWriter w(out, m, SensorStyle::Gas(), MediumUnits::Heat());
    w.WriteSensorBlock(0, QStringLiteral("Датчик температуры:"), -kKelvinZero, 1.0, QStringLiteral("гр.C"));
    out.Line(SupplyLabel() + HeatConnectionText(m.SensorWord(0)));
    out.Line(Dashes(72));
}

}  // namespace

void WriteHeatReport(ReportContext &ctx) {
    ReportText &out = ctx.out;
    TDevObjHeat &m = ctx.device.heat();
    HeaderWriter h(ctx, m);
    h.WriteIdentification(QString(), false);  // the heat device has no contract hour
    h.WriteDaylightSaving();
    h.WriteSummerWinter(img::kOtherSummerWinter);
    h.WriteAlarmLamp();
    h.WriteOutputBlock(h.OutputCaptionByMedium(), false);
    SpliceParameterBlock(ctx.sections, ctx.textArea, ParameterSections::kDeviceBlock, 0, out);

    out.Line(Dashes(72));
    out.Line();
    out.Write(QStringLiteral("КАНАЛ 1: "));
    m.SetChannel(1);
    if (m.Medium() == 'H')
        WriteHeatChannel(ctx, m);
    else
        out.Line(QStringLiteral("Нет настройки"));
    out.Line(Dashes(72));
    out.Line();
    out.Line(QStringLiteral("КАНАЛ 2: Регистрация температуры наружного воздуха:"));
    m.SetChannel(2);
    if (m.Medium() == 'T')
        WriteOutdoorTemperature(out, m);
    else
        out.Line(QStringLiteral("Не используется"));
}

}  // namespace torv
