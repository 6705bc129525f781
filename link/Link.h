// Opening and closing the link of the current link type. Both may be called freely and
// repeatedly: OpenLink keeps what is already open and only rebuilds what is missing or broken.
// The serial branches live here; the bus bridge branches ("RS485", "RS232L") join them with the
// bridge client.
#pragma once

#include <QString>

namespace torv {

class LinkContext;

void OpenLink(LinkContext &app);
void OpenSerialLink(LinkContext &app);
void CloseLink(LinkContext &app);

// Settings record link modes.
enum LinkMode : int { LinkModeDirect = 1, LinkModeModem = 2, LinkModeRs485 = 3 };
bool ModemMode(const LinkContext &app);

// The link type a link mode gives: "RS232" for direct and modem, "RS485" for the bus, "RS232L"
// for the bus at address 0 (RS232 through the bridge). OpenLink takes it from the settings.
QString LinkTypeForMode(int linkMode, int rs485Address);

}  // namespace torv
