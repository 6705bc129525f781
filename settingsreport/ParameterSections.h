// The contract-value blocks that the settings report takes from the parameter-archive report
// builder: the device block (section kind 4, channel 0: semi-constant contract values) and a
// channel block (section kind 3 with the channel number: total volume and current contract values).
#pragma once

#include <QString>
#include <QStringList>

namespace torv {

class ReportText;

class ParameterSections {
public:
    static constexpr int kChannelBlock = 3;
    static constexpr int kDeviceBlock = 4;

    virtual ~ParameterSections() = default;
    // Appends the lines of the section kind for the channel (0 for kind 4) to the text area.
    virtual void BuildParameterSections(int kind, QStringList &textArea, int channel) = 0;
};

// The line that closes a block in the text area.
inline const QString kBlockEndMarker = QStringLiteral("-$###############$-");

// Clears the text area, lets the builder append the block (nothing without a builder) and appends
// the end marker. The text area keeps the block and the marker.
void PrepareParameterBlock(ParameterSections *builder, QStringList &textArea, int kind, int channel);
// Copies the text area's lines up to, not including, the first end marker line.
void CopyParameterBlock(const QStringList &textArea, ReportText &out);
// Both: the block spliced into the report.
void SpliceParameterBlock(ParameterSections *builder, QStringList &textArea, int kind, int channel, ReportText &out);

}  // namespace torv
