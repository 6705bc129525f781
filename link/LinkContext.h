// The exchange context of the link layer: what the serial port, the modem and the link opening
// need from the program — the program directory, the settings record, the seams (clock, prompts,
// link status, process control), the abort state and the link state. The layers above extend it
// (ProtocolContext, ArchiveContext) and App is the last of them; code of this layer sees only this.
#pragma once

#include "base/SettingsRecord.h"
#include "link/Clock.h"
#include "link/LinkState.h"
#include "link/LinkStatus.h"
#include "link/ProcessControl.h"
#include "link/Prompts.h"

#include <QString>
#include <atomic>
#include <functional>

namespace torv {

// Abort state values.
enum AbortState : int {
    AbortRunning = 0,
    AbortWindowClosed = 1,  // link status window closed, bridge transfer failed
    AbortDeclined = 2,      // "Нет" to "Прибор не отвечает", declined over-time question, ...
    AbortUser = 3,          // "Прервать связь", no-link questions, table that cannot be opened
    AbortNoPhone = 5,       // no telephone number for the modem
    AbortModem = 6,         // modem connection failed, bad device date, archive fault
};

struct Seams {
    Clock *clock = nullptr;
    Prompts *prompts = nullptr;
    LinkStatus *status = nullptr;
    ProcessControl *processes = nullptr;
};

class LinkContext {
public:
    LinkContext(const QString &programDir, const Seams &seams);
    virtual ~LinkContext();
    LinkContext(const LinkContext &) = delete;
    LinkContext &operator=(const LinkContext &) = delete;

    // Program directory, without trailing separator.
    const QString &programDir() const { return programDir_; }

    TSettingsRecord settings;

    Clock &clock() const { return *seams_.clock; }
    Prompts &prompts() const { return *seams_.prompts; }
    LinkStatus &status() const { return *seams_.status; }
    ProcessControl &processes() const { return *seams_.processes; }
    // The prompts change when the windows exist; the layers above hand them on (device object).
    virtual void setPrompts(Prompts *p) { seams_.prompts = p; }
    void setClock(Clock *c) { seams_.clock = c; }

    // Exchange state.
    std::atomic<int> abortState{AbortRunning};
    std::atomic<int> downloadRunning{0};
    std::atomic<int> progressReady{0};  // progress window ready
    std::atomic<int> userAbort{0};      // "Прервать связь" pressed (the polling list stops on it)
    LinkState link;                     // current port, link type and link flags

    // The places where a long exchange lets the user interface breathe. On the worker thread the
    // windows run by themselves; code running on the GUI thread (tests, the command line) may
    // install a pump.
    void pump() {
        if (pumpHook_)
            pumpHook_();
    }
    void setPumpHook(std::function<void()> hook) { pumpHook_ = std::move(hook); }

private:
    QString programDir_;
    Seams seams_;
    std::function<void()> pumpHook_;
};

}  // namespace torv
