#include "settingsreport/ParameterSections.h"

#include "settingsreport/ReportText.h"

namespace torv {

void PrepareParameterBlock(ParameterSections *builder, QStringList &textArea, int kind, int channel) {
    textArea.clear();
    if (builder)
        builder->BuildParameterSections(kind, textArea, channel);
    textArea.append(kBlockEndMarker);
}

void CopyParameterBlock(const QStringList &textArea, ReportText &out) {
    for (const QString &line : textArea) {
        if (line == kBlockEndMarker)
            break;
        out.Line(line);
    }
}

void SpliceParameterBlock(ParameterSections *builder, QStringList &textArea, int kind, int channel, ReportText &out) {
    PrepareParameterBlock(builder, textArea, kind, channel);
    CopyParameterBlock(textArea, out);
}

}  // namespace torv
