// Linux implementation of the process seam: /proc and signals.
#include "link/ProcessControl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace torv {

namespace {

QList<pid_t> findProcesses(const QString &fileName) {
    QList<pid_t> found;
    const pid_t self = getpid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &e : entries) {
        bool ok = false;
        const pid_t pid = e.toInt(&ok);
        if (!ok || pid == self)
            continue;
        const QString base = QStringLiteral("/proc/") + e;
        QStringList names;
        names << QFileInfo(QFile::symLinkTarget(base + QStringLiteral("/exe"))).fileName();
        QFile cmd(base + QStringLiteral("/cmdline"));
        if (cmd.open(QIODevice::ReadOnly)) {
            const QByteArray all = cmd.read(4096);
            const QByteArray arg0 = all.left(all.indexOf('\0'));
            // Windows programs under wine keep a backslash path in their first argument.
            QString a0 = QString::fromLocal8Bit(arg0);
            a0.replace(QLatin1Char('\\'), QLatin1Char('/'));
            names << QFileInfo(a0).fileName();
        }
        QFile comm(base + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly))
            names << QString::fromLocal8Bit(comm.readAll()).trimmed();
        for (const QString &n : names)
            if (!n.isEmpty() && n.compare(fileName, Qt::CaseInsensitive) == 0) {
                found << pid;
                break;
            }
    }
    return found;
}

}  // namespace

bool SystemProcessControl::isRunning(const QString &fileName) { return !findProcesses(fileName).isEmpty(); }

int SystemProcessControl::stopAll(const QString &fileName) {
    int n = 0;
    for (pid_t pid : findProcesses(fileName))
        if (::kill(pid, SIGTERM) == 0)
            ++n;
    return n;
}

bool SystemProcessControl::start(const QString &program, const QStringList &args) {
    return QProcess::startDetached(program, args);
}

}  // namespace torv
