// A program context wired to the in-process simulator on a virtual clock: exchanges run inline,
// and every wait moves virtual time only.
#pragma once

#include "app/App.h"
#include "link/Link.h"
#include "sim/SimLine.h"
#include "sim/SimLineScheme.h"
#include "sim/Simulator.h"

#include <QTemporaryDir>
#include <memory>

namespace torvtest {

struct SimBench {
    explicit SimBench(const torv::SimOptions &options = {},
                      const QDateTime &start = QDateTime(QDate(2019, 3, 14), QTime(9, 5, 7)))
        : clock(start), app(dir.path(), torv::Seams{&clock, &prompts, &status, &processes}) {
        app.settings.setValueDefaults();
        app.settings.setComPort(1);
        app.settings.setLinkMode(torv::LinkModeDirect);
        makeSim(options);
        torv::RegisterSimulatorScheme(app.link);  // "sim:" of ports.map, as the programs register it
        app.link.lineFactory = [this](int) { return std::make_unique<torv::SimLine>(sim, clock); };
    }

    void makeSim(const torv::SimOptions &options) {
        sim = std::make_shared<torv::Torv2Simulator>(options, [this] { return clock.now(); });
    }

    torv::TComPort &port() { return *app.link.port; }

    QTemporaryDir dir;
    torv::VirtualClock clock;
    torv::ScriptedPrompts prompts;
    torv::LinkStatus status;
    torv::RecordingProcessControl processes;
    torv::App app;
    std::shared_ptr<torv::Torv2Simulator> sim;
};

}  // namespace torvtest
