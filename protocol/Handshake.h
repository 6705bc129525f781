// The opening exchange of a direct link: "SYS", the device's identity and serial number, and the
// command allowance the program announces. Also SendPair, the frame byte form of every request.
#pragma once

#include <cstdint>

namespace torv {

class ProtocolContext;
class TComPort;

// Handshake results.
inline constexpr char kReplyAcknowledged = 'S';
inline constexpr char kReplyPortError = 'E';

// Runs the opening exchange; returns 'S', 'E', 0 (port not clean at the end) or the unexpected
// first reply byte. Callers test the port status and the command allowance afterwards.
char Handshake(ProtocolContext &app, int allowance);

// Writes the byte's complement, then the byte.
void SendPair(TComPort &port, uint8_t b);

}  // namespace torv
