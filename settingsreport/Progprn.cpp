#include "settingsreport/Progprn.h"

#include "base/FileNames.h"
#include "base/FileWrite.h"
#include "device/torvunit.h"
#include "base/CodePage.h"
#include "settingsreport/ParameterSections.h"
#include "settingsreport/ProgprnC3H8.h"
#include "settingsreport/ProgprnFluid.h"
#include "settingsreport/ProgprnHeat.h"
#include "settingsreport/ProgprnSteam.h"
#include "settingsreport/ReportFormats.h"
#include "settingsreport/ReportHeader.h"
#include "settingsreport/ReportText.h"
#include "settingsreport/SensorSections.h"

#include <QDir>
#include <QFile>

namespace torv {

QString SettingsReportPath(const QString &directory) {
    return FindNoCase(directory, QString::fromLatin1(kSettingsReportFile));
}

// ---------------------------------------------------------------------------------------------
// Gas kind

namespace {

bool AnyChannelHas(const TDevObjBase &m, uint8_t medium) {
    for (int n = 1; n <= 4; ++n)
        if (m.MediumOf(n) == medium)
            return true;
    return false;
}

void WriteGasUnitBlock(ReportText &out, const TDevObj &m) {
    const uint8_t volume = m.ByteAt(img::kVolumeUnit);
    if (AnyChannelHas(m, 'V')) {
        out.Line(QStringLiteral("Единицы регистрации показаний"));
        out.Line(QStringLiteral("датчика расхода, Qр:         ") + (volume == 'L'   ? QStringLiteral("л/ч")
                                                                    : volume == 'M' ? QStringLiteral("м3/ч")
                                                                                    : QString()));
    }
    if (AnyChannelHas(m, 'P')) {
        out.Line(QStringLiteral("Единицы регистрации показаний"));
        out.Line(QStringLiteral("датчика расхода, Qр:         ") + (volume == 'L'   ? QStringLiteral("л/ч?")
                                                                    : volume == 'M' ? QStringLiteral("м3/ч?")
                                                                                    : QString()));
    }
    if (!AnyChannelHas(m, 'Q')) {
        QString mass;
        switch (m.ByteAt(img::kMassUnit)) {
        case 'G': mass = QStringLiteral("г/ч"); break;
        case 'K': mass = QStringLiteral("кГ/ч"); break;
        case 'L': mass = QStringLiteral("л/ч"); break;
        case 'M': mass = QStringLiteral("м3/ч"); break;
        default: break;
        }
        out.Line(QStringLiteral("Единицы регистрации приведенного"));
        out.Line(QStringLiteral("расхода, Qc/Qm:              ") + mass);
    }
}

bool IsGasReportedMedium(uint8_t medium) {
    switch (medium) {
    case 'A':
    case 'B':
    case 'D':
    case 'P':
    case 'Q':
    case 'S':
    case 'V':
    case 'W': return true;
    default: return false;
    }
}

void WriteGasMediumSection(ReportText &out, TDevObj &m, uint8_t medium) {
    SectionWriter w(out, m, SensorStyle::Gas(), MediumUnits::Gas());
    const QString condensate = QStringLiteral("Датчик расхода конденсата:");
    switch (medium) {
    case 'V':
        out.Line(QStringLiteral("ГАЗ (С РАСХОДОМЕРОМ)"));
        w.WriteFlowmeterBlock();
        break;
    case 'P':
        out.Line(QStringLiteral("Сжиженый пропан"));
        w.WriteFlowmeterBlock();
        break;
    case 'B':
        out.Line(QStringLiteral("СЖАТЫЙ ВОЗДУХ (С РАСХОДОМЕРОМ)"));
        w.WriteFlowmeterBlock();
        break;
    case 'Q':
        out.Line(QStringLiteral("ПАР (С РАСХОДОМЕРОМ)"));
        w.WriteFlowmeterBlock();
        w.WriteSensorBlock(3, condensate, 0.0, 1.0, QStringLiteral(" м3/ч"));
        break;
    case 'D':
        out.Line(QStringLiteral("ГАЗ (СУ)"));
        w.WriteOrificeBlock(kGasOrificeConstant);
        break;
    case 'S':
        out.Line(QStringLiteral("ПАР (СУ)"));
        w.WriteOrificeBlock(kSteamOrificeConstant);
        w.WriteSensorBlock(4, condensate, 0.0, 1.0, QStringLiteral(" м3/ч"));
        break;
    case 'A':
        out.Line(QStringLiteral("СЖАТЫЙ ВОЗДУХ (СУ)"));
        w.WriteOrificeBlock(kGasOrificeConstant);
        out.Line();
        out.Line(Dashes(69));
        out.Line(QStringLiteral("             Pизб         dP             T                    Qм"));
        w.WriteAirCheckTable();
        break;
    case 'W':
        out.Line(QStringLiteral("ХОЛОДНАЯ ВОДА"));
        out.Line(Dashes(72));
        w.WriteSensorBlock(0, QStringLiteral("Датчик V:"), 0.0, 1.0, QStringLiteral(" м3/ч"));
        out.Line();
        out.Line(Dashes(69));
        out.Line(QStringLiteral("Таблица проверки"));
        out.Line(QStringLiteral("         V"));
        w.WriteWaterCheckTable();
        break;
    default: break;
    }
}

}  // namespace

void WriteGasReport(ReportContext &ctx) {
    ReportText &out = ctx.out;
    TDevObj &m = ctx.device.devObj();
    HeaderWriter h(ctx, m);
    h.WriteIdentification(QString(), true);
    h.WriteDaylightSaving();
    h.WriteContractHour();
    h.WriteAveraging(img::kGasAveraging);
    h.WriteCompressibility();
    h.WriteSummerWinter(img::kGasSummerWinter);
    h.WriteAlarmLamp();
    h.WritePressureCorrection(img::kGasPressureCorrection);
    h.WriteAutoContract();
    h.WriteOutputBlock(h.OutputCaptionByMedium(), false);
    out.Line();
    out.Line();
    WriteGasUnitBlock(out, m);
    SpliceParameterBlock(ctx.sections, ctx.textArea, ParameterSections::kDeviceBlock, 0, out);

    for (int n = 1; n <= 4; ++n) {
        out.Line();
        out.Write(QStringLiteral("Канал  ") + QString::number(n) + QStringLiteral(":   "));
        m.SetChannel(n);
        const uint8_t medium = m.Medium();
        if (IsGasReportedMedium(medium)) {
            WriteGasMediumSection(out, m, medium);
            SpliceParameterBlock(ctx.sections, ctx.textArea, ParameterSections::kChannelBlock, n, out);
        } else {
            out.Line(QStringLiteral("Не рабочий"));
            out.Line(Dashes(72));
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Dispatch and the file

QByteArray BuildSettingsReport(TTorv2s &device, ParameterSections *sections, QStringList &textArea) {
    ReportText out;
    ReportContext ctx{out, device, sections, textArea};
    // The device date of the last clock read dates the totals and ends the archive range.
    if (device.devObj().deviceDate.isValid())
        device.totalsDate = QDateTime(device.devObj().deviceDate, QTime(0, 0));
    switch (device.kind) {
    case KindSteam: WriteSteamReport(ctx); break;
    case KindHeat: WriteHeatReport(ctx); break;
    case KindLiquid: WriteFluidReport(ctx); break;
    case KindPropane: WriteC3H8Report(ctx); break;
    default: WriteGasReport(ctx); break;
    }
    return out.Bytes();
}

QString WriteSettingsReport(TTorv2s &device, const SettingsReportOutput &output) {
    QStringList privateArea;
    QStringList &area = output.textArea ? *output.textArea : privateArea;
    const QByteArray bytes = BuildSettingsReport(device, output.sections, area);

    const QString path = SettingsReportPath(output.directory);
    const QString shown = QDir::toNativeSeparators(path);
    if (!QDir(output.directory).exists())
        return QStringLiteral("Не записан файл настройки прибора ") + shown + QStringLiteral(": нет папки ") +
               QDir::toNativeSeparators(output.directory);
    QString reason;
    if (!ReplaceFileContents(path, bytes, &reason))
        return QStringLiteral("Не записан файл настройки прибора ") + shown + QStringLiteral(": ") + reason;
    return QString();
}

QString ReadSettingsReport(const QString &directory, QStringList &lines) {
    const QString path = SettingsReportPath(directory);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Нет файла настройки прибора ") + QDir::toNativeSeparators(path);
    QString text = FromCp1251(file.readAll());
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    lines = text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n"));
    return QString();
}

}  // namespace torv
