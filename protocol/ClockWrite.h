// Setting the device clock to the computer's local time with the protocol's one write request.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <cstdint>

namespace torv {

class ProtocolContext;

inline constexpr uint8_t kWriteAcknowledge = 'K';
inline constexpr int kClockBlockSize = 10;

// The 10-byte clock block in the layout of the device's clock registers (packed BCD):
// seconds, 0, minutes, 0, hours, 0, 0, day, month, year within the century.
QByteArray ClockBlock(const QDateTime &t);

// Sends 0x02, command, address, count (256 as 0) and the data bytes as complement pairs, stopping
// when the port status is no longer clean; then reads the acknowledgement. Anything but 'K' on a
// clean line leaves the port status 259.
void WriteBlock(ProtocolContext &app, uint8_t command, uint8_t address, int count, const QByteArray &data);

// The whole clock write: open the link, handshake, write, tell the user, hang up in modem mode.
// The time written is the computer's time when the request goes out. True when the device
// acknowledged the write.
bool WriteDeviceClock(ProtocolContext &app);

}  // namespace torv
