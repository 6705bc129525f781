// Starts torv2-sim on a pseudo-terminal for a benchmark and waits for it to announce its line.
#pragma once

#include <QProcess>
#include <QStringList>
#include <cstdio>

namespace torv {

inline bool StartSimOnPty(QProcess &sim, const QString &link, const QStringList &options, const char *bench) {
    sim.start(QStringLiteral(TORV2_SIM_PATH), QStringList{QStringLiteral("--pty"), link} + options);
    QByteArray announced;
    while (!announced.contains('\n') && sim.waitForReadyRead(5000))
        announced += sim.readAllStandardOutput();
    if (announced.isEmpty()) {
        std::fprintf(stderr, "%s: torv2-sim did not start\n", bench);
        return false;
    }
    return true;
}

}  // namespace torv
