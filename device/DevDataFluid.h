// The liquid device's channel object: every channel uses the liquid layout (word 0 flow,
// 1 pressure, 2 temperature).
#pragma once

#include "device/DevData.h"

namespace torv {

class TDevObjFluid : public TDevObjBase {
public:
    TDevObjFluid() : TDevObjBase(LayoutClass::Fluid, img::kProgramOwnerOther) {}

    // Throws ChannelRangeError for n outside 1…4.
    void SetChannel(int n) { SelectChannel(n); }

    // Medium 'L' by the volume unit code: 'K' "Qр, кГ/ч", 'L' "Qр, л/ч", 'M' "Qр, м3/ч";
    // otherwise (and above 4) empty.
    QString FlowCaption(int n) const;
};

}  // namespace torv
