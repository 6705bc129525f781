// The "sim:<scenario>" targets of ports.map: the simulator inside the program. The programs (the
// GUI, torvmonitor-cli, the tests) register the scheme at start-up, so the link layer reaches the
// simulator only through its line scheme interface.
#pragma once

#include "link/LinkState.h"

#include <QString>
#include <map>
#include <memory>

namespace torv {

class Torv2Simulator;

class SimulatorScheme final : public LineScheme {
public:
    std::unique_ptr<SerialLine> CreateLine(const QString &rest, Clock &clock) override;
    // The simulator of a scenario, once a port was opened on it.
    std::shared_ptr<Torv2Simulator> simulator(const QString &scenario) const;

private:
    // Kept for the whole run so the simulated device keeps its state (clock, allowance) when the
    // port is reopened.
    std::map<QString, std::shared_ptr<Torv2Simulator>> simulators_;
};

// Registers "sim:" in the link state; returns the scheme.
std::shared_ptr<SimulatorScheme> RegisterSimulatorScheme(LinkState &link);

}  // namespace torv
