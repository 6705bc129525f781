#include "device/DevDataFluid.h"

namespace torv {

QString TDevObjFluid::FlowCaption(int n) const {
    if (n > 4 || MediumOf(n) != 'L')
        return QString();
    switch (ByteAt(img::kVolumeUnit)) {
    case 'K': return QStringLiteral("Qр, кГ/ч");
    case 'L': return QStringLiteral("Qр, л/ч");
    case 'M': return QStringLiteral("Qр, м3/ч");
    default: return QString();
    }
}

}  // namespace torv
