// The liquid device's settings report (device kind 'L').
#pragma once

namespace torv {

struct ReportContext;

void WriteFluidReport(ReportContext &ctx);

}  // namespace torv
