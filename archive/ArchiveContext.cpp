#include "archive/ArchiveContext.h"

namespace torv {

ArchiveContext::ArchiveContext(const QString &programDir, const Seams &seams) : ProtocolContext(programDir, seams) {
    device.setPrompts(seams.prompts);
}

void ArchiveContext::setPrompts(Prompts *p) {
    ProtocolContext::setPrompts(p);
    device.setPrompts(p);
}

}  // namespace torv
