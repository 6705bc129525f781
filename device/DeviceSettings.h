// The configuration read of the device object: the device clock, the 4096-byte configuration image
// (sixteen block reads of flash sector 0), the device's tables, the parameter archive, the settings
// report and the ".usd" file.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace torv {

class App;

constexpr int kImageBlocks = 16;
constexpr int kImageFlashAddress = 0xF000;
constexpr int kClockRegisters = 240;
constexpr qint64 kExchangeTimeLimitMs = 5 * 60 * 1000;

// The whole configuration read. `report` (may be null) receives the lines of DEVPROG.REP.
void Settings(App &app, QStringList *report);
// Reads the device clock into the gas channel object; false when the clock is unusable.
bool ReadDeviceClock(App &app);
// Reads the image and derives the device kind, factory number and texts from it.
void ReadConfiguration(App &app);
// Creates every missing table file of the device from its template.
void PrepareArchiveTables(App &app, const QString &deviceNumber);

// Writes DEVPROG.REP of the device object's kind, with the contract-value blocks of its parameter
// archive table, and reads it back into `report` (may be null). Throws SettingsReportError.
void WriteDeviceReport(App &app, QStringList *report);

// The five-minute question of long exchanges: false (abort state 2) when the user declined or did
// not answer; true to go on (the elapsed time starts again).
bool CheckExchangeTime(App &app);
// "Длительность опроса: " with the time since the link status window was shown.
void ShowExchangeDuration(App &app);

// The start of work of an image as a date and hour (BCD hour, day, month, year − 2000); invalid
// when the stamp is unset or not a date.
QDateTime ImageStartOfWork(const QByteArray &image);

}  // namespace torv
