// Helpers of the settings report tests: a stand-in for the parameter-archive report builder and a
// device object loaded with an image.
#pragma once

#include "device/torvunit.h"
#include "settingsreport/ParameterSections.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <ostream>
#include <vector>

// Readable texts in failure messages.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace torvtest {

// Lines shaped like the contract-value blocks, so the report shows where each block goes.
class FakeSections : public torv::ParameterSections {
public:
    void BuildParameterSections(int kind, QStringList &area, int channel) override {
        calls.push_back({kind, channel});
        if (kind == kDeviceBlock) {
            area << QStringLiteral("    ") << QStringLiteral("Контрактные значения:")
                 << QStringLiteral("  Параметр |Значение        |Дата последнего изменения")
                 << QStringLiteral("  ----------------------------------------------------")
                 << QStringLiteral("  Pб       |760 мм рт.ст.   |01.10.2019 10:00:00");
        } else if (kind == kChannelBlock) {
            area << QStringLiteral(" Итоговый объем газа Vc(м3)=%1 На 07.02.2020").arg(1000 * channel) << QString()
                 << QStringLiteral("Контрактные значения") << QStringLiteral("  Текущие значения")
                 << QStringLiteral("  (контрактные значения канала %1)").arg(channel) << QString();
        }
    }
    std::vector<std::pair<int, int>> calls;
};

// A device object holding `image` as a configuration read over a closed direct link gives it,
// with the device clock at 7 February 2020, 12 hours.
inline void LoadDevice(torv::TTorv2s &device, const QByteArray &image) {
    QString number;
    device.CreateChannelObjects();
    device.TakeConfigurationImage(image, torv::ConfigurationLink{QStringLiteral("RS232"), false, QString()}, number);
    device.devObj().deviceDate = QDate(2020, 2, 7);
    device.devObj().deviceHour = 12;
}

}  // namespace torvtest
