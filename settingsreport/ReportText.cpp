#include "settingsreport/ReportText.h"

#include "protocol/CodePage.h"

namespace torv {

QByteArray ReportText::Bytes() const { return ToCp1251(text_); }

}  // namespace torv
