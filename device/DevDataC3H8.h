// The propane device's channel object.
#pragma once

#include "device/DevData.h"

namespace torv {

class TDevObjC3H8 : public TDevObjBase {
public:
    TDevObjC3H8() : TDevObjBase(LayoutClass::C3H8, img::kProgramOwnerOther) {}

    // Throws ChannelRangeError for n outside 1…4.
    void SetChannel(int n) { SelectChannel(n); }

    // The propane device reports mass flow on every channel.
    QString FlowCaption(int = 0) const { return QStringLiteral("Qм, т/ч"); }
};

}  // namespace torv
