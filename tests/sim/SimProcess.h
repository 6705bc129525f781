// torv2-sim as a process, and a program context on the real clock whose COM3 the test maps to it:
// the end-to-end runs over a pseudo-terminal or TCP in real time.
#pragma once

#include "app/App.h"
#include "link/Link.h"
#include "TestUtil.h"

#include <QProcess>
#include <QTemporaryDir>

namespace torvtest {

inline QString SimExecutable() { return BinaryDir() + QStringLiteral("/sim/torv2-sim"); }

// Starts torv2-sim and returns the line it announces (slave path or tcp target).
inline QString StartSim(QProcess &p, const QStringList &args) {
    p.start(SimExecutable(), args);
    if (!p.waitForStarted(5000))
        return {};
    QByteArray line;
    while (!line.contains('\n') && p.waitForReadyRead(5000))
        line += p.readAllStandardOutput();
    return QString::fromLocal8Bit(line).trimmed();
}

struct RealBench {
    RealBench() : app(dir.path(), torv::Seams{&clock, &prompts, &status, &processes}) {
        app.settings.setValueDefaults();
        app.settings.setComPort(3);
        app.settings.setLinkMode(torv::LinkModeDirect);
    }
    QTemporaryDir dir;
    torv::RealClock clock;
    torv::ScriptedPrompts prompts;
    torv::LinkStatus status;
    torv::RecordingProcessControl processes;
    torv::App app;
};

}  // namespace torvtest
