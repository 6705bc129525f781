// Value formats of the settings report DEVPROG.REP ("." decimals whatever the locale).
#pragma once

#include "device/DevData.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace torv {

using DeviceStamp = std::array<uint8_t, 4>;  // BCD hour, day, month, two-digit year

DeviceStamp StampAt(const QByteArray &image, int offset);

// "Нет" when the first byte is 0xFF; else "HH:00  DD-MM-YYYY", year 2000 + yy up to 90, else 1900 + yy.
QString DeviceTimeStamp(const DeviceStamp &stamp);

// The start of work moved on by the contract hour (1…23) when it is set: decoded with year
// 2000 + yy, shifted, and encoded back. A stamp that is not a calendar date stays as stored.
DeviceStamp ShiftedStartOfWork(const DeviceStamp &stamp, int contractHour);

// Rounded to 6 significant digits, printed with exactly 6 decimals (12.5 → "12.500000");
// scientific with more than 6 integer digits; empty for infinity and not-a-number.
QString FixedCoefficient(double v);

// The output hold time in seconds: ticks / 7.6294 rounded to the nearest integer, ties to even.
long long HoldSeconds(uint16_t ticks);

// A number right-aligned in `width` columns with `decimals` decimals; blanks when not finite.
QString RightAligned(double v, int decimals, int width);
QString RightAlignedText(const QString &text, int width);

QString Dashes(int n);

}  // namespace torv
