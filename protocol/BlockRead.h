// Block reads of the device's clock/RAM area (ReadRTC) and flash memory (ReadFLASH): a request
// frame of complement pairs, the reply block and its 16-bit check value, repeated until the whole
// count is stored or the exchange is cancelled. Neither returns a value: callers test the abort
// state (non-zero: cancelled or failed) and, on direct links, the port status.
#pragma once

#include <QByteArray>
#include <cstdint>

namespace torv {

class ProtocolContext;

inline constexpr int kMaxBlock = 256;  // bytes per request
inline constexpr int kRtcAllowance = 250;
inline constexpr int kFlashAllowance = 249;
inline constexpr int kSlowLineRate = 100;  // bytes/s; slower replies count as check errors

// Reads `count` bytes (0 means 256) of the clock/RAM area from `address` into buffer[0…].
void ReadRTC(ProtocolContext &app, QByteArray &buffer, int address, int count);
// Reads `count` bytes (0 means 256) of flash sector `sector` from `address` into buffer[0…].
// Counts above 256 are read in blocks of 256.
void ReadFLASH(ProtocolContext &app, QByteArray &buffer, int sector, int address, int count);
// Bytes per second of the read that started at `startMs` and has moved `total` bytes; keeps the
// port's rate history and shows the average as the speed text.
int MeasureLineRate(ProtocolContext &app, qint64 startMs, int total);

}  // namespace torv
