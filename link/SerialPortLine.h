// The operating system's serial port (QSerialPort, blocking API on the exchange thread):
// ports, USB adapters and pseudo-terminals. A pseudo-terminal refuses the modem-control
// calls; they are reported as "not supported", never as a port failure.
#pragma once

#include "link/SerialLine.h"

#include <QSerialPort>

class QTcpSocket;

namespace torv {

class SerialPortLine final : public SerialLine {
public:
    explicit SerialPortLine(const QString &device);
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

    QString device_;
    QSerialPort port_;
    QString error_;
};

// A raw TCP serial server (Ethernet or GPRS converters): "tcp:HOST:PORT".
// Bytes only; the line settings and the modem-control lines belong to the converter.
class TcpSerialLine final : public SerialLine {
public:
    TcpSerialLine(const QString &host, quint16 port);
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
    int takeReceiveErrors() override { return 0; }
    bool waitForData(qint64 ms) override;
    bool readByte(uint8_t &b) override;
    bool writeByte(uint8_t b) override;
    bool waitForWritten(qint64 ms) override;

private:
    bool connected() const;

    QString host_;
    quint16 port_;
    QTcpSocket *socket_ = nullptr;
    QString error_;
};

}  // namespace torv
