// The modem dialogue: dialling the device's modem, hanging up, and programming the ring count
// of the device-side modem. Commands are AT text written byte by byte; replies are collected into
// the link status window's modem reply field, where the result words are looked for.
#pragma once

#include <QString>

namespace torv {

class LinkContext;
class TComPort;

// Dials the telephone number of the link state on the current port; returns the port to use.
TComPort *Dial(LinkContext &app);
// Hangs up and releases the port.
void HangUp(LinkContext &app);
// Programs the ring count (first digit of `rings`) into the modem attached to the port.
void ProgramRings(LinkContext &app, int rings);

// The result word at character position 3 of a reply (after CR LF).
bool ReplyReads(const QString &reply, const QString &word);

}  // namespace torv
