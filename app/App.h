// The program-wide context: one object, made by each program and passed by reference. It is built
// from the contexts of the layers below (link, protocol, archive), each of which sees only its own
// part, and adds what only the application shell uses. Nothing program-wide lives in globals.
#pragma once

#include "app/Registry.h"
#include "archive/ArchiveContext.h"
#include "browse/NewDate.h"

#include <QDateTime>
#include <QString>

namespace torv {

class App : public ArchiveContext {
public:
    App(const QString &programDir, const Seams &seams);

    TNewDate period;            // the period object of the archive views
    QDateTime archiveStart;     // start of work of the chosen device (device list)
    RegistryState registry;     // the device list's current device and the settings window's inputs
    int dataLockWaitMs = 5000;  // how long a command waits for another one's data directory lock

    // Loads Torv2a.ini of the program directory (created when missing).
    QString loadSettings() { return SettingsFile::Load(settings, programDir()); }
    QString saveSettings() const { return SettingsFile::Save(settings, programDir()); }
};

}  // namespace torv
