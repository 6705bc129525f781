#include "app/App.h"

namespace torv {

App::App(const QString &programDir, const Seams &seams) : programDir_(programDir), seams_(seams) {
    while (programDir_.size() > 1 && programDir_.endsWith(QLatin1Char('/')))
        programDir_.chop(1);
    device.setPrompts(seams_.prompts);
    link.telephone = [this] { return DialNumber(registry.inputs); };
}

void App::setPrompts(Prompts *p) {
    seams_.prompts = p;
    device.setPrompts(p);
}

}  // namespace torv
