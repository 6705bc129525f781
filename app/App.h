// The program-wide context: the settings record, the seams and the state every Part shares.
// One object, passed by reference; nothing program-wide lives in globals.
#pragma once

#include "app/Registry.h"
#include "app/SettingsRecord.h"
#include "archive/TableEngine.h"
#include "browse/NewDate.h"
#include "device/torvunit.h"
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
    AbortWindowClosed = 1,   // link status window closed, bridge transfer failed
    AbortDeclined = 2,       // "Нет" to "Прибор не отвечает", declined over-time question, ...
    AbortUser = 3,           // "Прервать связь", no-link questions, table that cannot be opened
    AbortNoPhone = 5,        // no telephone number for the modem
    AbortModem = 6,          // modem connection failed, bad device date, archive fault
};

struct Seams {
    Clock *clock = nullptr;
    Prompts *prompts = nullptr;
    LinkStatus *status = nullptr;
    ProcessControl *processes = nullptr;
};

class App {
public:
    App(const QString &programDir, const Seams &seams);

    // Program directory, without trailing separator.
    const QString &programDir() const { return programDir_; }

    TSettingsRecord settings;

    Clock &clock() const { return *seams_.clock; }
    Prompts &prompts() const { return *seams_.prompts; }
    LinkStatus &status() const { return *seams_.status; }
    ProcessControl &processes() const { return *seams_.processes; }
    void setPrompts(Prompts *p);
    void setClock(Clock *c) { seams_.clock = c; }

    // Exchange state.
    std::atomic<int> abortState{AbortRunning};
    std::atomic<int> downloadRunning{0};
    std::atomic<int> progressReady{0};   // progress window ready
    std::atomic<int> userAbort{0};       // "Прервать связь" pressed (the polling list stops on it)
    int repeatCounter = 0;               // failed handshakes since the last success
    QString deviceNumber;                // up to 10 digits; names "T2_" + number
    TableEngine tables;                  // every query of the program goes through this one engine
    LinkState link;                      // current port, link type and link flags
    TTorv2s device;                      // the device object: image, kind, texts, channel objects
    TNewDate period;                     // the period object of the archive views
    QDateTime archiveStart;              // start of work of the chosen device (device list)
    RegistryState registry;              // the device list's current device and the settings window's inputs
    int dataLockWaitMs = 5000;           // how long a command waits for another one's data directory lock

    // The places where a long exchange lets the user interface breathe. On the worker thread the
    // windows run by themselves; code running on the GUI thread (tests) may install a pump.
    void pump() {
        if (pumpHook_)
            pumpHook_();
    }
    void setPumpHook(std::function<void()> hook) { pumpHook_ = std::move(hook); }

    // Loads Torv2a.ini of the program directory (created when missing).
    QString loadSettings() { return SettingsFile::Load(settings, programDir_); }
    QString saveSettings() const { return SettingsFile::Save(settings, programDir_); }

private:
    QString programDir_;
    Seams seams_;
    std::function<void()> pumpHook_;
};

}  // namespace torv
