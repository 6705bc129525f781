// The steam device's channel object: orifice ('S') and flowmeter ('Q') channels, with the
// cold-water thermometer at word 5.
#pragma once

#include "device/DevData.h"

namespace torv {

class TDevObjSteam : public TDevObjBase {
public:
    TDevObjSteam() : TDevObjBase(LayoutClass::Steam, img::kProgramOwnerOther) {}

    // Throws ChannelRangeError for n outside 1…4.
    void SetChannel(int n) { SelectChannel(n); }
};

}  // namespace torv
