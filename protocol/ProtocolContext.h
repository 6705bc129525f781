// The exchange context of the device protocol: the link's context with the state the handshake
// keeps between exchanges — the repeat counter and the device number it takes over.
#pragma once

#include "link/LinkContext.h"

namespace torv {

class ProtocolContext : public LinkContext {
public:
    using LinkContext::LinkContext;

    int repeatCounter = 0;  // failed handshakes since the last success
    QString deviceNumber;   // up to 10 digits; names "T2_" + number
};

}  // namespace torv
