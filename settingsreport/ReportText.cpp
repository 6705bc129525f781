#include "settingsreport/ReportText.h"

#include "base/CodePage.h"

namespace torv {

QByteArray ReportText::Bytes() const { return ToCp1251(text_); }

}  // namespace torv
