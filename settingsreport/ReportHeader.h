// What the five settings-report writers share: the production context and the header's line
// groups (identification, daylight saving, contract hour, averaging, compressibility, summer/winter
// mode, alarm lamp, sensor corrections, automatic contract values, output signal).
#pragma once

#include "device/DevData.h"

#include <QString>
#include <QStringList>

namespace torv {

class ParameterSections;
class ReportText;
class TTorv2s;

struct ReportContext {
    ReportText &out;
    TTorv2s &device;
    ParameterSections *sections;  // contract-value blocks; none: empty blocks
    QStringList &textArea;
};

class HeaderWriter {
public:
    HeaderWriter(ReportContext &ctx, const TDevObjBase &model) : ctx_(ctx), model_(model) {}

    // Lines 1–11. The start-of-work line is shifted by the contract hour when `shiftStart`; its
    // text is kept in the device object.
    void WriteIdentification(const QString &modelSuffix, bool shiftStart);
    // Lines 12–16.
    void WriteDaylightSaving();
    void WriteContractHour();
    void WriteAveraging(int offset);
    void WriteCompressibility();
    void WriteSummerWinter(int offset);
    void WriteAlarmLamp();
    void WritePressureCorrection(int offset);
    void WriteTemperatureCorrection();
    void WriteAutoContract();
    // The output-signal block. `parameterLine`: the steam device names the output parameter
    // between the block's first and second lines.
    void WriteOutputBlock(const QString &caption, bool parameterLine);

    // " (4-х канальный)" or " (2-х канальный)" by the channel-count code.
    QString ChannelCountSuffix() const;
    // The caption of the output channel's flow rate by its medium code.
    QString OutputCaptionByMedium() const;

private:
    ReportContext &ctx_;
    const TDevObjBase &model_;
};

// "Используется" / "Не используется" by a code byte.
QString UsedText(bool used);
QString SummerMonthName(uint8_t code);
QString WinterMonthName(uint8_t code);

}  // namespace torv
