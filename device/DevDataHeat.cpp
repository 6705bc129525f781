#include "device/DevDataHeat.h"

namespace torv {

QString TDevObjHeat::FlowCaption(int n) const {
    if (n > 4)
        return QString();
    switch (MediumOf(n)) {
    case 'A':
    case 'B':
    case 'D':
    case 'P':
    case 'V': return QStringLiteral("Qс, м3/ч");
    case 'Q':
    case 'S': return QStringLiteral("Qм, т/ч");
    default: return QString();
    }
}

}  // namespace torv
