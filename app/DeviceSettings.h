// The two exchanges of the device object that use every layer: the configuration read `Settings`
// (the device clock, the 4096-byte configuration image in sixteen block reads of flash sector 0,
// the device's tables from their templates, the parameter archive, the settings report and the
// ".usd" file) and the download sequence `DowArch` (the configuration read, then every channel's
// archives).
#pragma once

#include <QString>
#include <QStringList>

namespace torv {

class App;

constexpr int kImageBlocks = 16;
constexpr int kImageFlashAddress = 0xF000;
constexpr int kClockRegisters = 240;

// The whole configuration read. `report` (may be null) receives the lines of DEVPROG.REP.
void Settings(App &app, QStringList *report);
// Reads the device clock into the gas channel object; false when the clock is unusable.
bool ReadDeviceClock(App &app);
// Reads the image and derives the device kind, factory number and texts from it.
void ReadConfiguration(App &app);

// Writes DEVPROG.REP of the device object's kind, with the contract-value blocks of its parameter
// archive table, and reads it back into `report` (may be null). Returns why it could not be
// written (empty when it was).
QString WriteDeviceReport(App &app, QStringList *report);

// The download of a whole device: the configuration read, then every channel with a download name.
// `report` (may be null) receives the settings report lines. True when the link was there and the
// download ended with the abort state still 0.
bool DowArch(App &app, QStringList *report);

}  // namespace torv
