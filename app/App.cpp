#include "app/App.h"

namespace torv {

App::App(const QString &programDir, const Seams &seams) : ArchiveContext(programDir, seams) {
    link.telephone = [this] { return DialNumber(registry.inputs); };
}

}  // namespace torv
