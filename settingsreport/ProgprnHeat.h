// The heat device's settings report (device kind 'H'): two-pipe heat channel and outdoor temperature.
#pragma once

namespace torv {

struct ReportContext;

void WriteHeatReport(ReportContext &ctx);

}  // namespace torv

#include <QString>
#include <cstdint>

namespace torv {

// Terminal names of the heat device's input connectors for a sensor word ("Ошибка" when none).
QString HeatConnectionText(uint16_t word);

}  // namespace torv
