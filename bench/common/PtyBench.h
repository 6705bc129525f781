// What the line benchmarks share: torv2-sim on a pseudo-terminal and a program context whose COM1
// opens that pseudo-terminal through a byte-counting line.
#pragma once

#include "app/App.h"
#include "bench/common/CountingLine.h"
#include "link/Link.h"
#include "link/SerialPortLine.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>

namespace torv {

class PtyBench {
public:
    // Starts torv2-sim with `options` (after --pty); check ok() before use.
    PtyBench(const QStringList &options, const char *name)
        : link_(dir_.filePath(QStringLiteral("ttyBENCH"))),
          app(dir_.path(), Seams{&clock, &prompts, &status, &processes}) {
        sim_.start(QStringLiteral(TORV2_SIM_PATH), QStringList{QStringLiteral("--pty"), link_} + options);
        QByteArray announced;
        while (!announced.contains('\n') && sim_.waitForReadyRead(5000))
            announced += sim_.readAllStandardOutput();
        ok_ = !announced.isEmpty();
        if (!ok_)
            std::fprintf(stderr, "%s: torv2-sim did not start\n", name);
        app.settings.setValueDefaults();
        app.settings.setDirectoryDefaults(dir_.path());
        app.settings.setComPort(1);
        app.settings.setLinkMode(LinkModeDirect);
        app.link.lineFactory = [this](int) {
            opened = true;
            return std::make_unique<CountingLine>(std::make_unique<SerialPortLine>(link_), &counted);
        };
    }
    ~PtyBench() { StopSim(); }

    bool ok() const { return ok_; }
    void StopSim() {
        if (sim_.state() != QProcess::NotRunning) {
            sim_.terminate();
            sim_.waitForFinished(5000);
        }
    }

private:
    QTemporaryDir dir_;
    QString link_;
    QProcess sim_;
    bool ok_ = false;

public:
    RealClock clock;
    ScriptedPrompts prompts;
    LinkStatus status;
    RecordingProcessControl processes;
    App app;
    LineCounters counted;
    bool opened = false;
};

}  // namespace torv
