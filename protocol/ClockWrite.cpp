#include "protocol/ClockWrite.h"

#include "protocol/ProtocolContext.h"
#include "link/Link.h"
#include "link/Modem.h"
#include "protocol/Handshake.h"

namespace torv {

namespace {
constexpr uint8_t kWriteFrame = 0x02;
constexpr uint8_t kRamCommand = 'R';
constexpr uint16_t kAcknowledgeLimit = 20;
constexpr int kClockAllowance = 50;

uint8_t Bcd(int v) { return uint8_t((v / 10) << 4 | (v % 10)); }
}  // namespace

QByteArray ClockBlock(const QDateTime &t) {
    const QDate d = t.date();
    const QTime tm = t.time();
    const int year = d.year() >= 2000 ? d.year() - 2000 : d.year() - 1900;
    QByteArray b(kClockBlockSize, '\0');
    b[0] = char(Bcd(tm.second()));
    b[2] = char(Bcd(tm.minute()));
    b[4] = char(Bcd(tm.hour()));
    b[7] = char(Bcd(d.day()));
    b[8] = char(Bcd(d.month()));
    b[9] = char(Bcd(year % 100));
    return b;
}

void WriteBlock(ProtocolContext &app, uint8_t command, uint8_t address, int count, const QByteArray &data) {
    if (!app.link.port)
        return;
    TComPort &port = *app.link.port;
    auto send = [&port](uint8_t b) {
        if (port.status == TComPort::StatusClean)
            SendPair(port, b);
    };
    send(kWriteFrame);
    send(command);
    send(address);
    send(uint8_t(count % 256));
    for (int i = 0; i < count; ++i)
        send(i < data.size() ? uint8_t(data[i]) : 0);
    const uint8_t ack = port.ReadByte(kAcknowledgeLimit);
    if (port.status == TComPort::StatusClean && ack != kWriteAcknowledge)
        port.status = TComPort::StatusNotAcknowledged;
}

bool WriteDeviceClock(ProtocolContext &app) {
    // 3. Opening the link may take a minute over a modem; the time is taken afterwards (step 1–2
    // below), at the moment of the write request, so the device gets the time it is written at.
    OpenLink(app);
    if (app.link.port)
        app.link.port->serialString.clear();
    if (app.link.linkOpen)
        Handshake(app, kClockAllowance);
    // The write needs a serial port; the bus bridge offers no write.
    if (!app.link.port) {
        app.prompts().ShowNotice(QStringLiteral("Нет связи с прибором"));
        app.status().requestClose();
        return false;
    }
    // 4.
    app.status().addLine(Role::RichEdit1, QStringLiteral("SYS режим установлен"));
    app.pump();
    // 1–2, 5.
    const bool clean = app.link.port->status == TComPort::StatusClean;
    WriteBlock(app, kRamCommand, 0, kClockBlockSize, ClockBlock(app.clock().now()));
    const bool acknowledged = app.link.port && app.link.port->status == TComPort::StatusClean;
    // 6.
    app.prompts().InfoBox(
        QStringLiteral("Процедура записи даты в прибор завершена. Опросите прибор повторно и "
                       "убедитесь в правильности установленного времени."));
    // 7–8.
    if (ModemMode(app))
        HangUp(app);
    app.status().requestClose();
    return clean && acknowledged;
}

}  // namespace torv
