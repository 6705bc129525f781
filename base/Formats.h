// Dates and numbers as the program writes them, whatever the system locale:
// dates dd.mm.yyyy, "." as the decimal separator.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace torv {

// Fixes the process-wide formats (C locale for numbers and for the C library).
void FixProcessFormats();

QString FormatDate(const QDate &d);               // 07.02.2020
QString FormatTime(const QTime &t);               // 09:05:07
QString FormatDateTime(const QDateTime &dt);      // 07.02.2020 09:05:07
QDate ParseDate(const QString &text);             // dd.mm.yyyy; invalid date on failure
QString FormatFixed(double value, int decimals);  // "." separator, no grouping
QString FormatGeneral(double value);              // shortest form, "." separator

}  // namespace torv
