// The gas totals: the accumulated standard volume Vc of each channel, asked from a device on a
// direct serial link at the end of each channel's download, and the per-device totals file ".vc"
// (four 32-bit floats, then the totals date as a day count since 30.12.1899; 24 bytes).
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <array>

namespace torv {

class ArchiveContext;

constexpr int kTotalsFileSize = 24;
constexpr uint8_t kTotalsRequest = 'n';
constexpr uint8_t kTotalsReplyMark = 0xC9;
constexpr int kTotalsReplySize = 48;

// Asks the device for the channel's total and keeps it in the gas channel object; then saves the
// totals file unless the device did not answer properly.
void RequestGasTotal(ArchiveContext &app, int channel);
// Copies the gas channel object's totals into the device object and writes the totals file.
// Returns an error text, empty on success.
QString SaveTotals(ArchiveContext &app);

// "T2_" + factory number + ".vc" in the device files directory (an existing file of that name in
// any letter case).
QString TotalsPath(const QString &devDir, const QString &factoryNumber);
QByteArray EncodeTotals(const std::array<float, 4> &totals, const QDateTime &date);
bool DecodeTotals(const QByteArray &bytes, std::array<float, 4> &totals, QDateTime &date);
// Loads a device's totals file into the device object and the gas channel object; the totals date
// becomes the device date. False (nothing changed) when the file is missing or not 24 bytes.
bool LoadTotals(ArchiveContext &app, const QString &factoryNumber);

// Day count since 30.12.1899 with the time of day as the fraction, and back.
double ToDayCount(const QDateTime &dt);
QDateTime FromDayCount(double days);

}  // namespace torv
