// The propane device's settings report (device kind 'P').
#pragma once

namespace torv {

struct ReportContext;

void WriteC3H8Report(ReportContext &ctx);

}  // namespace torv
