// Serial line seam: the operations TComPort needs from whatever carries its bytes.
// Implementations: the operating system's serial port (also USB adapters and pseudo-terminals),
// a raw TCP serial server, and the in-process line to the device simulator.
// A line without modem-control lines answers "not supported" for them; that is not a failure.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

namespace torv {

struct LineFormat {
    int baud = 9600;
    int dataBits = 8;
    int parity = 0;    // 0 none, 1 even, 2 odd
    int stopBits = 1;  // 1 or 2
};

struct ModemLines {
    bool supported = false;  // false: the line has no modem-control lines at all
    bool dsr = false;
    bool cts = false;
    bool rlsd = false;  // carrier detect
};

// Receive error bits, as TComPort's status reports them.
enum ReceiveError : int {
    RxOverrun = 0x02,
    RxParity = 0x04,
    RxFraming = 0x08,
    RxBreak = 0x10,
};

// The serial driver's receive error counters (they only ever grow while the port is open).
struct ReceiveErrorCounts {
    qint64 frame = 0;
    qint64 parity = 0;
    qint64 overrun = 0;  // the UART's own and the driver's buffer overruns together
    qint64 brk = 0;
};

// The error bits of the counters that grew from one reading to the next.
inline int ReceiveErrorBits(const ReceiveErrorCounts &before, const ReceiveErrorCounts &after) {
    int bits = 0;
    if (after.overrun > before.overrun)
        bits |= RxOverrun;
    if (after.parity > before.parity)
        bits |= RxParity;
    if (after.frame > before.frame)
        bits |= RxFraming;
    if (after.brk > before.brk)
        bits |= RxBreak;
    return bits;
}

class SerialLine {
public:
    enum class Switch { Done, NotSupported, Failed };

    virtual ~SerialLine() = default;

    // What the line is connected to, for messages and the settings window.
    virtual QString target() const = 0;
    virtual bool open() = 0;
    virtual QString errorText() const = 0;

    virtual bool configure(const LineFormat &format) = 0;
    virtual Switch setDtr(bool on) = 0;
    virtual Switch setRts(bool on) = 0;
    virtual ModemLines modemLines() = 0;

    // Bytes waiting in the input queue; -1 when the line is gone (device unplugged, the far
    // end of a pseudo-terminal closed, the TCP connection closed or reset). A line that is gone
    // stays gone: only a new line object opens it again.
    virtual int bytesWaiting() = 0;
    virtual bool outputEmpty() = 0;
    // Receive errors seen since the last call (ReceiveError bits), or kNoErrorCounters when the
    // line cannot tell (a pseudo-terminal, a TCP server: the bytes arrive without line errors
    // being reported at all).
    static constexpr int kNoErrorCounters = -1;
    virtual int takeReceiveErrors() = 0;

    // Blocks up to `ms` milliseconds until a byte is waiting; true when one is.
    // This is the only way the program waits for the line: nothing polls in a loop.
    virtual bool waitForData(qint64 ms) = 0;
    virtual bool readByte(uint8_t &b) = 0;
    virtual bool writeByte(uint8_t b) = 0;
    // Blocks until written bytes have left the program (or `ms` passed).
    virtual bool waitForWritten(qint64 ms) = 0;
};

}  // namespace torv
