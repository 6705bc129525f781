#include "link/LinkContext.h"

namespace torv {

LinkContext::LinkContext(const QString &programDir, const Seams &seams) : programDir_(programDir), seams_(seams) {
    while (programDir_.size() > 1 && programDir_.endsWith(QLatin1Char('/')))
        programDir_.chop(1);
}

LinkContext::~LinkContext() = default;

}  // namespace torv
