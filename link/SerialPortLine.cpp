#include "link/SerialPortLine.h"

#include <QFileInfo>
#include <QTcpSocket>

#if defined(Q_OS_LINUX)
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace torv {

namespace {
constexpr int kWriteWaitMs = 2000;

QString Seconds(int ms) { return QString::number(ms / 1000.0); }
}  // namespace

SerialPortLine::SerialPortLine(const QString &device) : device_(device) { port_.setPortName(device); }

SerialPortLine::~SerialPortLine() {
    if (port_.isOpen())
        port_.close();
}

QString SerialPortLine::OpenFailure(QSerialPort::SerialPortError error, const QString &device,
                                    const QString &systemText) {
    const QString head = device + QStringLiteral(" — ");
    if (QFileInfo(device).isDir())
        return head + QStringLiteral("это каталог, а не последовательный порт");
    switch (error) {
    case QSerialPort::DeviceNotFoundError: return head + QStringLiteral("нет такого устройства");
    case QSerialPort::PermissionError:
        return head + QStringLiteral("нет доступа (порт занят другой программой или не хватает прав)");
    case QSerialPort::OpenError: return head + QStringLiteral("порт уже открыт");
    case QSerialPort::UnsupportedOperationError: return head + QStringLiteral("это не последовательный порт");
    default: return head + QStringLiteral("порт не открывается (") + systemText + QLatin1Char(')');
    }
}

bool SerialPortLine::open() {
    lost_ = false;
    error_.clear();
    if (!port_.open(QIODevice::ReadWrite)) {
        error_ = OpenFailure(port_.error(), device_, port_.errorString());
        return false;
    }
    // Raw transfer with no flow control; the program drives DTR and RTS itself.
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clearError();
    hasCounters_ = readErrorCounts(counts_);
    return true;
}

// The driver's receive error counters; false when the port keeps none.
bool SerialPortLine::readErrorCounts(ReceiveErrorCounts &counts) {
#if defined(Q_OS_LINUX)
    serial_icounter_struct ic{};
    if (!port_.isOpen() || ::ioctl(int(port_.handle()), TIOCGICOUNT, &ic) != 0)
        return false;
    counts.frame = ic.frame;
    counts.parity = ic.parity;
    counts.overrun = qint64(ic.overrun) + ic.buf_overrun;
    counts.brk = ic.brk;
    return true;
#else
    Q_UNUSED(counts);
    return false;
#endif
}

// True when the port has failed for good: the device went away (an adapter pulled out) or the
// far end of a pseudo-terminal closed. A timeout or a refused modem-line call is no failure.
bool SerialPortLine::failed() {
    if (lost_)
        return true;
    const auto e = port_.error();
    if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError || e == QSerialPort::UnsupportedOperationError) {
        port_.clearError();
        return false;
    }
    lost_ = true;
    // A closed far end shows as a read error whose system text is stale: say what it means.
    error_ = device_ + (e == QSerialPort::ResourceError
                            ? QStringLiteral(" — устройство отключено")
                            : QStringLiteral(" — связь потеряна: линия закрыта на другом конце или устройство "
                                             "отключено"));
    port_.clearError();
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
    ok = ok && port_.setParity(f.parity == 1   ? QSerialPort::EvenParity
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

SerialLine::Switch SerialPortLine::setDtr(bool on) { return switchResult(port_.setDataTerminalReady(on)); }

SerialLine::Switch SerialPortLine::setRts(bool on) { return switchResult(port_.setRequestToSend(on)); }

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
    // Bytes that arrived before the line went are still the device's.
    if (port_.bytesAvailable() == 0 && !lost_)
        port_.waitForReadyRead(0);  // takes what the driver holds
    if (port_.bytesAvailable() > 0)
        return int(port_.bytesAvailable());
    return failed() ? -1 : 0;
}

bool SerialPortLine::outputEmpty() {
    if (port_.isOpen() && port_.bytesToWrite() > 0 && !lost_) {
        port_.waitForBytesWritten(0);
        failed();
    }
    return !port_.isOpen() || lost_ || port_.bytesToWrite() == 0;
}

int SerialPortLine::takeReceiveErrors() {
    if (!hasCounters_)
        return kNoErrorCounters;
    ReceiveErrorCounts now;
    if (!readErrorCounts(now))
        return 0;  // the port went away; bytesWaiting() tells
    const int bits = ReceiveErrorBits(counts_, now);
    counts_ = now;
    return bits;
}

bool SerialPortLine::waitForData(qint64 ms) {
    if (!port_.isOpen())
        return false;
    if (port_.bytesAvailable() > 0)
        return true;
    if (lost_)
        return false;
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
    if (!port_.isOpen() || lost_ || !port_.putChar(char(b)))
        return false;
    return waitForWritten(kWriteWaitMs);
}

bool SerialPortLine::waitForWritten(qint64 ms) {
    while (port_.isOpen() && !lost_ && port_.bytesToWrite() > 0)
        if (!port_.waitForBytesWritten(int(ms)))
            return !failed() && port_.bytesToWrite() == 0;
    return port_.isOpen() && !lost_;
}

// ---------------------------------------------------------------------------------------------

TcpSerialLine::TcpSerialLine(const QString &host, quint16 port, int connectLimitMs)
    : host_(host), port_(port), connectLimitMs_(connectLimitMs) {}

TcpSerialLine::~TcpSerialLine() { delete socket_; }

QString TcpSerialLine::target() const { return QStringLiteral("tcp:%1:%2").arg(host_).arg(port_); }

bool TcpSerialLine::open() {
    delete socket_;
    socket_ = nullptr;
    error_.clear();
    const QString head = target() + QStringLiteral(" — ");
    if (host_.isEmpty() || port_ == 0) {
        error_ = head + QStringLiteral("неверный адрес: нужен tcp:АДРЕС:ПОРТ");
        return false;
    }
    socket_ = new QTcpSocket;
    socket_->connectToHost(host_, port_);
    if (!socket_->waitForConnected(connectLimitMs_)) {
        switch (socket_->error()) {
        case QAbstractSocket::ConnectionRefusedError:
            error_ = head + QStringLiteral("сервер отказал в соединении");
            break;
        case QAbstractSocket::HostNotFoundError:
            error_ = head + QStringLiteral("адрес ") + host_ + QStringLiteral(" не найден");
            break;
        case QAbstractSocket::SocketTimeoutError:
            error_ = head + QStringLiteral("сервер не ответил за ") + Seconds(connectLimitMs_) + QStringLiteral(" с");
            break;
        default: error_ = head + QStringLiteral("нет соединения (") + socket_->errorString() + QLatin1Char(')'); break;
        }
        socket_->abort();
        return false;
    }
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

bool TcpSerialLine::connected() const { return socket_ && socket_->state() == QAbstractSocket::ConnectedState; }

void TcpSerialLine::noteLost() {
    if (error_.isEmpty() && socket_)
        error_ =
            target() + (socket_->error() == QAbstractSocket::RemoteHostClosedError
                            ? QStringLiteral(" — сервер закрыл соединение")
                            : QStringLiteral(" — соединение прервано (") + socket_->errorString() + QLatin1Char(')'));
}

int TcpSerialLine::bytesWaiting() {
    if (!socket_)
        return -1;
    if (socket_->bytesAvailable() == 0 && connected())
        socket_->waitForReadyRead(0);
    if (socket_->bytesAvailable() > 0)
        return int(socket_->bytesAvailable());
    if (connected())
        return 0;
    noteLost();
    return -1;
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
