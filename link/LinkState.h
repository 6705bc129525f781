// The program-wide link state: the current port and the flags of the link of the current link
// type. One object, held by the link's context.
#pragma once

#include "link/Clock.h"
#include "link/ComPort.h"
#include "link/SerialLine.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>

namespace torv {

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

// A kind of ports.map target ("<scheme>:<rest>") served by a factory the program registers at
// start-up: the link knows only this interface (the simulator's "sim:" is one).
class LineScheme {
public:
    virtual ~LineScheme() = default;
    // The (unopened) line for `rest`, the target after "<scheme>:"; its open() says what is wrong.
    virtual std::unique_ptr<SerialLine> CreateLine(const QString &rest, Clock &clock) = 0;
};

struct LinkState {
    LinkState();
    ~LinkState();

    std::unique_ptr<TComPort> port;      // the current port, or none
    QString linkType = LinkType::RS232;  // up to 6 characters
    uint8_t linkOpen = 0;                // 1 while the link is usable
    uint8_t modemConnected = 0;          // 1 after a successful dial
    uint8_t quiet = 0;                   // polling: no error notices
    int32_t rs485Address = 0;
    bool dialling = false;  // set while Dial runs
    // The telephone number to dial, asked for at each dial: the settings window's choice (the
    // chosen device's number, or the one typed under "Использовать телефон, введенный ниже").
    std::function<QString()> telephone;

    LineFactory lineFactory;
    // The registered target schemes of ports.map, by their lower-case name ("sim").
    std::map<QString, std::shared_ptr<LineScheme>> schemes;
    // Lines already named in the log as having no receive error counters (said once a run).
    std::set<QString> linesWithoutErrorCounters;

    void releasePort() { port.reset(); }
};

}  // namespace torv
