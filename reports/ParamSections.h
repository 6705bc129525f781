// The contract-value and intervention sections built from the device's parameter archive table
// (ArhParam). The settings report takes two blocks from here: the device block (kind 4, the
// semi-constant contract values) and a channel block (kind 3: the channel's total volume and its
// current contract values).
#pragma once

#include "settingsreport/ParameterSections.h"

#include <QString>
#include <QStringList>

namespace torv {

class ArchiveContext;
class TQuery;

class TParamSections final : public ParameterSections {
public:
    explicit TParamSections(ArchiveContext &app) : app_(app) {}

    void BuildParameterSections(int kind, QStringList &textArea, int channel) override;

    // One sensor line of the current contract values.
    struct SensorEntry {
        QString name, value, unit, key;
    };

private:
    QString TableText() const;  // "select * from " + the ArhParam table
    bool Select(TQuery &q, const QString &where);
    void TotalVolumeLine(QStringList &out, int channel);
    void SemiConstantTable(QStringList &out);
    void CurrentContractValues(QStringList &out, int kind, int onlyChannel);
    QList<SensorEntry> ChannelEntries(int channel, char medium);
    QString LoggedValue(const QString &key, const QString &fallback);

    ArchiveContext &app_;
};

// The parameter key of a sensor word: its letter byte followed by its number byte in decimal.
QString SensorKey(uint16_t word);

}  // namespace torv
