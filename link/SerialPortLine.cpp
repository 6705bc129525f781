#include "link/SerialPortLine.h"

#include <QTcpSocket>

namespace torv {

namespace {
constexpr int kConnectWaitMs = 5000;
constexpr int kWriteWaitMs = 2000;
}  // namespace

SerialPortLine::SerialPortLine(const QString &device) : device_(device) {
    port_.setPortName(device);
}

SerialPortLine::~SerialPortLine() {
    if (port_.isOpen())
        port_.close();
}

bool SerialPortLine::open() {
    if (!port_.open(QIODevice::ReadWrite)) {
        error_ = port_.errorString();
        return false;
    }
    // Raw transfer with no flow control; the program drives DTR and RTS itself.
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clearError();
    return true;
}

// True when the port has failed for good (device gone); a timeout is not a failure.
bool SerialPortLine::failed() {
    const auto e = port_.error();
    if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError ||
        e == QSerialPort::UnsupportedOperationError) {
        port_.clearError();
        return false;
    }
    error_ = port_.errorString();
    return true;
}

SerialLine::Switch SerialPortLine::switchResult(bool ok) {
    if (ok)
        return Switch::Done;
    if (port_.error() == QSerialPort::UnsupportedOperationError || port_.error() == QSerialPort::NoError) {
        port_.clearError();
        return Switch::NotSupported;
    }
    error_ = port_.errorString();
    port_.clearError();
    return Switch::Failed;
}

bool SerialPortLine::configure(const LineFormat &f) {
    if (!port_.isOpen())
        return false;
    bool ok = true;
    // A pseudo-terminal ignores the speed; a refusal there is not a failure.
    if (!port_.setBaudRate(f.baud) && port_.error() != QSerialPort::UnsupportedOperationError)
        ok = false;
    port_.clearError();
    ok = ok && port_.setDataBits(QSerialPort::DataBits(f.dataBits));
    ok = ok && port_.setParity(f.parity == 1 ? QSerialPort::EvenParity
                               : f.parity == 2 ? QSerialPort::OddParity
                                               : QSerialPort::NoParity);
    ok = ok && port_.setStopBits(f.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    ok = ok && port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        if (port_.error() == QSerialPort::UnsupportedOperationError) {
            port_.clearError();
            return true;
        }
        error_ = port_.errorString();
        port_.clearError();
    }
    return ok;
}

SerialLine::Switch SerialPortLine::setDtr(bool on) {
    return switchResult(port_.setDataTerminalReady(on));
}

SerialLine::Switch SerialPortLine::setRts(bool on) {
    return switchResult(port_.setRequestToSend(on));
}

ModemLines SerialPortLine::modemLines() {
    ModemLines m;
    if (!port_.isOpen())
        return m;
    const auto pins = port_.pinoutSignals();
    if (port_.error() != QSerialPort::NoError) {  // pseudo-terminal: no such lines
        port_.clearError();
        return m;
    }
    m.supported = true;
    m.dsr = pins & QSerialPort::DataSetReadySignal;
    m.cts = pins & QSerialPort::ClearToSendSignal;
    m.rlsd = pins & QSerialPort::DataCarrierDetectSignal;
    return m;
}

int SerialPortLine::bytesWaiting() {
    if (!port_.isOpen())
        return -1;
    if (port_.bytesAvailable() == 0)
        port_.waitForReadyRead(0);  // takes what the driver holds
    if (failed())
        return -1;
    return int(port_.bytesAvailable());
}

bool SerialPortLine::outputEmpty() {
    if (port_.isOpen() && port_.bytesToWrite() > 0)
        port_.waitForBytesWritten(0);
    return !port_.isOpen() || port_.bytesToWrite() == 0;
}

int SerialPortLine::takeReceiveErrors() { return 0; }  // Qt reports no parity/framing errors

bool SerialPortLine::waitForData(qint64 ms) {
    if (!port_.isOpen())
        return false;
    if (port_.bytesAvailable() > 0)
        return true;
    port_.waitForReadyRead(int(qMax<qint64>(0, ms)));
    failed();
    return port_.bytesAvailable() > 0;
}

bool SerialPortLine::readByte(uint8_t &b) {
    char c = 0;
    if (!port_.isOpen() || !port_.getChar(&c))
        return false;
    b = uint8_t(c);
    return true;
}

bool SerialPortLine::writeByte(uint8_t b) {
    if (!port_.isOpen() || !port_.putChar(char(b)))
        return false;
    return waitForWritten(kWriteWaitMs);
}

bool SerialPortLine::waitForWritten(qint64 ms) {
    while (port_.isOpen() && port_.bytesToWrite() > 0)
        if (!port_.waitForBytesWritten(int(ms)))
            return !failed() && port_.bytesToWrite() == 0;
    return port_.isOpen();
}

// ---------------------------------------------------------------------------------------------

TcpSerialLine::TcpSerialLine(const QString &host, quint16 port) : host_(host), port_(port) {}

TcpSerialLine::~TcpSerialLine() { delete socket_; }

QString TcpSerialLine::target() const {
    return QStringLiteral("tcp:%1:%2").arg(host_).arg(port_);
}

bool TcpSerialLine::open() {
    delete socket_;
    socket_ = new QTcpSocket;
    socket_->connectToHost(host_, port_);
    if (!socket_->waitForConnected(kConnectWaitMs)) {
        error_ = socket_->errorString();
        return false;
    }
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

bool TcpSerialLine::connected() const {
    return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

int TcpSerialLine::bytesWaiting() {
    if (!socket_)
        return -1;
    if (socket_->bytesAvailable() == 0 && connected())
        socket_->waitForReadyRead(0);
    if (socket_->bytesAvailable() > 0)
        return int(socket_->bytesAvailable());
    return connected() ? 0 : -1;
}

bool TcpSerialLine::outputEmpty() { return !socket_ || socket_->bytesToWrite() == 0; }

bool TcpSerialLine::waitForData(qint64 ms) {
    if (!socket_)
        return false;
    if (socket_->bytesAvailable() > 0)
        return true;
    if (connected())
        socket_->waitForReadyRead(int(qMax<qint64>(0, ms)));
    return socket_->bytesAvailable() > 0;
}

bool TcpSerialLine::readByte(uint8_t &b) {
    char c = 0;
    if (!socket_ || !socket_->getChar(&c))
        return false;
    b = uint8_t(c);
    return true;
}

bool TcpSerialLine::writeByte(uint8_t b) {
    if (!connected() || !socket_->putChar(char(b)))
        return false;
    return waitForWritten(kWriteWaitMs);
}

bool TcpSerialLine::waitForWritten(qint64 ms) {
    while (connected() && socket_->bytesToWrite() > 0)
        if (!socket_->waitForBytesWritten(int(ms)))
            return false;
    return connected();
}

}  // namespace torv
