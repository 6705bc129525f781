// The steam device's settings report (device kind 'G').
#pragma once

namespace torv {

struct ReportContext;

void WriteSteamReport(ReportContext &ctx);

}  // namespace torv
