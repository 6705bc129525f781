#include "cli/CliStatus.h"

#include <cstdio>

namespace torv {

namespace {

void Print(const QString &s) {
    std::fprintf(stderr, "%s\n", s.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace

bool CliStatusPrinter::RoutineLogLine(const QString &line) {
    static const char *const kRoutine[] = {
        "Data In", "Data No", "Begin data",  "Fl ICRC=",  "RTS ICRC=", "Flash OK ",
        "RTS OK ", "SYS BAD", "COM.SerialN", "send SYS2", "SYS2 ",     "SYS режим установлен"};
    for (const char *p : kRoutine)
        if (line.startsWith(QString::fromUtf8(p)))
            return true;
    return line.trimmed().isEmpty();
}

CliStatusPrinter::CliStatusPrinter(LinkStatus &s, bool verbose) : verbose_(verbose) {
    QObject::connect(&s, &LinkStatus::textChanged, this, [this](int role, const QString &t) { text(Role(role), t); });
    QObject::connect(&s, &LinkStatus::lineAdded, this, [this](int pane, const QString &l) { line(Role(pane), l); });
    QObject::connect(&s, &LinkStatus::progressChanged, this, [this](int p) {
        if (p != progress_) {
            progress_ = p;
            Print(QStringLiteral("  выполнено ") + QString::number(p) + QStringLiteral(" %"));
        }
    });
    QObject::connect(&s, &LinkStatus::mainStatusChanged, this,
                     [](const QString &t) { Print(QStringLiteral("  строка состояния: ") + t); });
}

void CliStatusPrinter::text(Role role, const QString &t) {
    QString &last = shown_[int(role)];
    if (t == last)
        return;
    last = t;
    switch (role) {
    case Role::StaticText2: Print(QStringLiteral("  ") + t); return;
    case Role::StaticText3:
        // The averaged line rate changes with every block; a remark on the line is news.
        if (verbose_ || !t.endsWith(QStringLiteral(" байт/сек")))
            Print(QStringLiteral("  связь: ") + t);
        return;
    case Role::Label4:
    case Role::Label10:
    case Role::Label6:
        if (!t.isEmpty())
            Print(QStringLiteral("  ") + t);
        return;
    case Role::Label15:
        if (verbose_ && !t.isEmpty())
            Print(QStringLiteral("  ") + t);
        return;
    default:
        if (verbose_ && !t.isEmpty())
            Print(QStringLiteral("  [") + QLatin1String(RoleName(role)) + QStringLiteral("] ") + t);
        return;
    }
}

void CliStatusPrinter::line(Role pane, const QString &l) {
    if (pane == Role::RichEdit1) {
        if (verbose_ || !RoutineLogLine(l))
            Print(QStringLiteral("  журнал: ") + l);
        return;
    }
    if (verbose_)
        Print(QStringLiteral("  [") + QLatin1String(RoleName(pane)) + QStringLiteral("] ") + l);
}

}  // namespace torv
