// The period object TNewDate: the period chosen for the archive views and the range of the
// selected device's archive.
#pragma once

#include <QDateTime>

namespace torv {

class TNewDate {
public:
    QDateTime BeginDate;
    QDateTime EndDate;
    int PeriodChosen = 0;    // 1 from a period choice until the next grid refresh applied it
    QDateTime ArchiveStart;  // first day of the selected device's archive
    QDateTime ArchiveEnd;    // last day of the device's archive
};

}  // namespace torv
