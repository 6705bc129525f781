// What the link status window would show, on standard error: the current action, the progress,
// the remarks on the link (bad line, device number, error line), the log pane's lines that tell
// what went wrong, and the main window's status bar. The routine lines of every byte and block
// (idle waits, check values) appear only with --verbose.
#pragma once

#include "link/LinkStatus.h"

#include <QObject>
#include <QString>

namespace torv {

class CliStatusPrinter : public QObject {
public:
    CliStatusPrinter(LinkStatus &status, bool verbose);

    // True for a log line that is written for every byte or block of a healthy exchange.
    static bool RoutineLogLine(const QString &line);

private:
    void text(Role role, const QString &text);
    void line(Role pane, const QString &line);

    bool verbose_;
    QString shown_[int(Role::Count)];
    int progress_ = -1;
};

}  // namespace torv
