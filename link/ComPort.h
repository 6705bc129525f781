// TComPort: the program's only access to a serial line. It opens one numbered port, sets the
// line format and moves single bytes. Every byte written or read is echoed into the link status
// window's byte panes and the exchange pumps after each byte, so long exchanges stay cancellable.
// The object also carries the per-link state of the device protocol (command allowance, answer
// time unit, serial string, rate history and counters), which the handshake and the block reads
// use directly.
#pragma once

#include "link/SerialLine.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

namespace torv {

class LinkContext;

class TComPort {
public:
    // Status values.
    static constexpr uint16_t StatusClean = 0;
    static constexpr uint16_t StatusTimeout = 16;
    static constexpr uint16_t StatusPortFailed = 256;
    static constexpr uint16_t StatusNoCarrier = 100;
    static constexpr uint16_t StatusNotAcknowledged = 259;
    static constexpr uint16_t ReceiveErrorMask = 0x1E;

    // QueryStatus flags.
    static constexpr uint16_t FlagDataWaiting = 0x0001;
    static constexpr uint16_t FlagOutputEmpty = 0x0020;
    static constexpr uint16_t FlagTransmitIdle = 0x0040;
    static constexpr uint16_t FlagDtr = 0x0100;
    static constexpr uint16_t FlagRts = 0x0200;
    static constexpr uint16_t FlagCts = 0x1000;
    static constexpr uint16_t FlagDsr = 0x2000;
    static constexpr uint16_t CarrierOn = 0x8000;

    // SetLines mask bits.
    static constexpr int LineDtr = 0x100;
    static constexpr int LineRts = 0x200;

    static constexpr int kUnitMs = 55;          // one read time-limit unit
    static constexpr int kIdlePolls = 100;      // WaitData: 0.5 s
    static constexpr int kLongIdlePolls = 800;  // WaitData with the long-wait flag: 4 s
    static constexpr int kPollMs = 5;
    static constexpr int kInitialAnswerUnit = 20;
    static constexpr int kReceivedPaneLines = 20;
    static constexpr int kLogPaneLines = 30;

    // Create: opens port `n` through the line factory of the link state (ports.map by default).
    TComPort(LinkContext &app, int portNumber);
    // Uses a line made by the caller (tests, the simulator); a null line is a port that failed.
    TComPort(LinkContext &app, int portNumber, std::unique_ptr<SerialLine> line);
    virtual ~TComPort();
    TComPort(const TComPort &) = delete;
    TComPort &operator=(const TComPort &) = delete;

    void Configure(int divisor, int dataBits, int parityKind, int stopKind);
    void SetLines(int mask);
    virtual uint16_t QueryStatus();
    uint16_t CarrierStatus();
    void WriteByte(uint8_t b);
    uint8_t ReadByte(uint16_t limit);
    int WaitData();
    // Port reset of a newly opened direct link: 9600 8N1, DTR and RTS on, 100 ms, input drained.
    void Reset();

    // Fields the protocol reads and writes.
    uint16_t status = StatusPortFailed;
    uint8_t dtrOn = 0;
    uint8_t rtsOn = 0;
    uint8_t lastByte = 0;  // element 0 of the byte buffer
    uint32_t bytesTransferred = 0;
    std::array<int32_t, 8> rateHistory{};  // bytes/s of the last eight block reads, 0 newest
    int32_t checkErrors = 0;
    int32_t blockReads = 0;
    int32_t commandAllowance = 0;
    int32_t answerTimeUnit = kInitialAnswerUnit;
    QString serialString;  // up to 10 characters
    uint8_t longWait = 0;

    int portNumber() const { return portNumber_; }
    int baudRate() const { return format_.baud; }
    SerialLine *line() const { return line_.get(); }
    QString lineTarget() const;
    // Why the port did not open ("Порт COM3 не открыт: /dev/ttyUSB0 — нет такого устройства"),
    // empty when it did. The same text went to the link status log.
    QString openError() const { return openError_; }
    // Once the line is gone (device unplugged, far end closed) the status stays 256 and no
    // operation waits on it any more; only a new port opens it again.
    bool lineLost() const { return lineLost_; }
    QString lostReason() const { return lostReason_; }

    // Lines without modem-control lines (pseudo-terminal, TCP) have no carrier line; the modem
    // dialogue then tells the port what the modem's result words said.
    void setCarrierFromReplies(bool on) { carrierFromReplies_ = on; }

    static constexpr int kSerialCapacity = 10;

private:
    void open(std::unique_ptr<SerialLine> line);
    void waitOnLine(qint64 ms);
    qint64 nowMs() const;
    QString portName() const;
    void noteLineLost();
    void noteMissingErrorCounters();

    LinkContext &app_;
    int portNumber_;
    std::unique_ptr<SerialLine> line_;
    LineFormat format_;
    QString openError_;
    uint16_t pendingErrors_ = 0;  // receive errors polled but not yet taken by a read
    bool lineLost_ = false;
    QString lostReason_;
    bool carrierFromReplies_ = false;
};

}  // namespace torv
