// The heat device's channel object: channel 1 the two-pipe heat channel ('H'), channel 2 the
// outdoor temperature ('T').
#pragma once

#include "device/DevData.h"

namespace torv {

class TDevObjHeat : public TDevObjBase {
public:
    TDevObjHeat() : TDevObjBase(LayoutClass::Heat, img::kProgramOwnerOther) {}

    // Throws ChannelRangeError for n outside 1…4.
    void SetChannel(int n) { SelectChannel(n); }

    // 'A', 'B', 'D', 'P', 'V' "Qс, м3/ч"; 'Q', 'S' "Qм, т/ч"; otherwise (and above 4) empty.
    QString FlowCaption(int n) const;
};

}  // namespace torv
