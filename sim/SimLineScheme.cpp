#include "sim/SimLineScheme.h"

#include "sim/SimLine.h"
#include "sim/Simulator.h"

namespace torv {

std::unique_ptr<SerialLine> SimulatorScheme::CreateLine(const QString &rest, Clock &clock) {
    QString scenario = rest.trimmed();
    if (scenario.isEmpty())
        scenario = QString::fromLatin1(kDefaultScenario);
    auto it = simulators_.find(scenario);
    if (it == simulators_.end()) {
        SimOptions options;
        options.scenario = scenario;
        Clock *c = &clock;
        auto sim = std::make_shared<Torv2Simulator>(options, [c] { return c->now(); });
        it = simulators_.emplace(scenario, std::move(sim)).first;
    }
    return std::make_unique<SimLine>(it->second, clock);
}

std::shared_ptr<Torv2Simulator> SimulatorScheme::simulator(const QString &scenario) const {
    const auto it = simulators_.find(scenario);
    return it == simulators_.end() ? nullptr : it->second;
}

std::shared_ptr<SimulatorScheme> RegisterSimulatorScheme(LinkState &link) {
    auto scheme = std::make_shared<SimulatorScheme>();
    link.schemes[QStringLiteral("sim")] = scheme;
    return scheme;
}

}  // namespace torv
