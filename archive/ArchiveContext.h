// The context of archive acquisition and storage: the protocol's context with the device object
// (image, kind, texts, channel objects) and the table engine every query of the program goes
// through. The download driver, the parameter archive and the gas totals work on it; so do the
// reports and the settings report above.
#pragma once

#include "archive/TableEngine.h"
#include "device/torvunit.h"
#include "protocol/ProtocolContext.h"

namespace torv {

class ArchiveContext : public ProtocolContext {
public:
    ArchiveContext(const QString &programDir, const Seams &seams);

    // The device object shows its questions through the same prompts.
    void setPrompts(Prompts *p) override;

    TableEngine tables;  // every query of the program goes through this one engine
    TTorv2s device;      // the device object: image, kind, texts, channel objects
};

}  // namespace torv
