// Opening and closing the link of the current link type. Both may be called freely and
// repeatedly: OpenLink keeps what is already open and only rebuilds what is missing or broken.
// The serial branches live here; the bus bridge branches ("RS485", "RS232L") join them with the
// bridge client.
#pragma once

namespace torv {

class App;

void OpenLink(App &app);
void OpenSerialLink(App &app);
void CloseLink(App &app);

// Settings record link modes.
enum LinkMode : int { LinkModeDirect = 1, LinkModeModem = 2, LinkModeRs485 = 3 };
bool ModemMode(const App &app);

}  // namespace torv
