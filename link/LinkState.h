// The program-wide link state: the current port and the flags of the link of the current link
// type. One object, held by App; the device object refers to it.
#pragma once

#include "link/ComPort.h"
#include "link/SerialLine.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>

namespace torv {

class Torv2Simulator;

// Link type texts.
namespace LinkType {
inline const QString RS232 = QStringLiteral("RS232");
inline const QString RS232M = QStringLiteral("RS232M");
inline const QString RS485 = QStringLiteral("RS485");
inline const QString RS232L = QStringLiteral("RS232L");
// The link types whose device dialogue runs in the bus bridge program.
inline bool IsBridge(const QString &type) { return type == RS485 || type == RS232L; }
}  // namespace LinkType

// Makes the line behind port number n; empty: ports.map of the program directory decides.
using LineFactory = std::function<std::unique_ptr<SerialLine>(int portNumber)>;

struct LinkState {
    LinkState();
    ~LinkState();

    std::unique_ptr<TComPort> port;   // the current port, or none
    QString linkType = LinkType::RS232;  // up to 6 characters
    uint8_t linkOpen = 0;             // 1 while the link is usable
    uint8_t modemConnected = 0;       // 1 after a successful dial
    uint8_t quiet = 0;                // polling: no error notices
    int32_t rs485Address = 0;
    bool dialling = false;            // set while Dial runs
    // The telephone number to dial, asked for at each dial: the settings window's choice (the
    // chosen device's number, or the one typed under "Использовать телефон, введенный ниже").
    std::function<QString()> telephone;

    LineFactory lineFactory;
    // Simulators behind "sim:<scenario>" entries of ports.map, kept for the whole run so the
    // simulated device keeps its state (clock, allowance) when the port is reopened.
    std::map<QString, std::shared_ptr<Torv2Simulator>> simulators;
    // Lines already named in the log as having no receive error counters (said once a run).
    std::set<QString> linesWithoutErrorCounters;

    void releasePort() { port.reset(); }
};

}  // namespace torv
