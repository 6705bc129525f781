// The operating system's serial port (QSerialPort, blocking API on the exchange thread):
// ports, USB adapters and pseudo-terminals. A pseudo-terminal refuses the modem-control
// calls; they are reported as "not supported", never as a port failure.
// Receive errors come from the driver's error counters (Linux: TIOCGICOUNT); a port without
// them (a pseudo-terminal) says so through kNoErrorCounters. This file is the one place of the
// serial line that uses the platform's own calls; another platform needs only its own version.
#pragma once

#include "link/SerialLine.h"

#include <QSerialPort>

class QTcpSocket;

namespace torv {

class SerialPortLine final : public SerialLine {
public:
    explicit SerialPortLine(const QString &device);
    // The reason an open failed, in the user's words, from the port's error and what the path is.
    static QString OpenFailure(QSerialPort::SerialPortError error, const QString &device, const QString &systemText);
    ~SerialPortLine() override;

    QString target() const override { return device_; }
    bool open() override;
    QString errorText() const override { return error_; }
    bool configure(const LineFormat &format) override;
    Switch setDtr(bool on) override;
    Switch setRts(bool on) override;
    ModemLines modemLines() override;
    int bytesWaiting() override;
    bool outputEmpty() override;
    int takeReceiveErrors() override;
    bool waitForData(qint64 ms) override;
    bool readByte(uint8_t &b) override;
    bool writeByte(uint8_t b) override;
    bool waitForWritten(qint64 ms) override;

private:
    bool failed();
    Switch switchResult(bool ok);
    bool readErrorCounts(ReceiveErrorCounts &counts);

    QString device_;
    QSerialPort port_;
    QString error_;
    bool lost_ = false;          // the device went away or the far end closed: for good
    bool hasCounters_ = false;   // the driver keeps receive error counters
    ReceiveErrorCounts counts_;  // their last reading
};

// A raw TCP serial server (Ethernet or GPRS converters): "tcp:HOST:PORT".
// Bytes only; the line settings and the modem-control lines belong to the converter.
class TcpSerialLine final : public SerialLine {
public:
    // How long a connection may take before the server counts as not answering.
    static constexpr int kConnectLimitMs = 5000;

    TcpSerialLine(const QString &host, quint16 port, int connectLimitMs = kConnectLimitMs);
    ~TcpSerialLine() override;

    QString target() const override;
    bool open() override;
    QString errorText() const override { return error_; }
    bool configure(const LineFormat &) override { return connected(); }
    Switch setDtr(bool) override { return Switch::NotSupported; }
    Switch setRts(bool) override { return Switch::NotSupported; }
    ModemLines modemLines() override { return {}; }
    int bytesWaiting() override;
    bool outputEmpty() override;
    int takeReceiveErrors() override { return kNoErrorCounters; }  // the converter keeps them
    bool waitForData(qint64 ms) override;
    bool readByte(uint8_t &b) override;
    bool writeByte(uint8_t b) override;
    bool waitForWritten(qint64 ms) override;

private:
    bool connected() const;
    void noteLost();

    QString host_;
    quint16 port_;
    int connectLimitMs_;
    QTcpSocket *socket_ = nullptr;
    QString error_;
};

}  // namespace torv
