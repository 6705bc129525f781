#include "protocol/BlockRead.h"

#include "protocol/ProtocolContext.h"
#include "link/LinkState.h"
#include "protocol/CheckRegister.h"
#include "protocol/Handshake.h"

#include <cmath>

namespace torv {

namespace {

constexpr uint8_t kReadFrame = 0x01;
constexpr uint8_t kRamCommand = 'R';
constexpr uint8_t kFlashCommand = 'F';
constexpr uint16_t kByteLimit = 10;  // 0.55 s per reply byte

// What distinguishes the two reads.
struct ReadKind {
    bool flash;
    const char *noLinkQuestion;
};

bool Clean(const TComPort &port) { return port.status == TComPort::StatusClean; }

int RoundHalfEven(double v) { return int(std::nearbyint(v)); }

// The no-link question of a read; false when the user declined (abort state 3).
bool AskRetry(ProtocolContext &app, const ReadKind &kind) {
    if (app.prompts().ConfirmYesNo(QString::fromUtf8(kind.noLinkQuestion)))
        return true;
    app.abortState = AbortUser;
    return false;
}

void SendRequest(TComPort &port, const ReadKind &kind, int sector, int address, int block) {
    SendPair(port, kReadFrame);
    if (kind.flash) {
        SendPair(port, kFlashCommand);
        SendPair(port, uint8_t(address & 0xFF));
        SendPair(port, uint8_t((address >> 8) & 0xFF));
        SendPair(port, uint8_t(sector & 7));
    } else {
        SendPair(port, kRamCommand);
        SendPair(port, uint8_t(address & 0xFF));
    }
    SendPair(port, uint8_t(block % 256));
}

// The reply of one request: the data bytes, the check bytes, and whether every byte arrived.
struct Reply {
    QByteArray data;
    uint16_t received = 0;
    uint16_t computed = 0;
    bool complete = false;  // every data byte and both check bytes were read cleanly
    int error = 0;
};

Reply ReceiveBlock(ProtocolContext &app, TComPort &port, const ReadKind &kind, int block) {
    Reply r;
    for (int i = 0; i < block; ++i) {
        port.longWait = i == 0 ? 1 : 0;
        uint8_t b = 0;
        if (Clean(port))
            b = port.ReadByte(kByteLimit);
        if (!Clean(port)) {
            app.status().addLine(Role::RichEdit1, kind.flash ? QStringLiteral("Нет данных ReadFlash")
                                                             : QStringLiteral("Нет данных с RTS"));
            app.pump();
            r.error = 2;
            break;
        }
        CheckStep(r.computed, b);
        r.data.append(char(b));
    }
    if (Clean(port)) {
        const uint8_t lo = port.ReadByte(kByteLimit);
        const bool loClean = Clean(port);
        const uint8_t hi = port.ReadByte(kByteLimit);
        r.received = uint16_t(lo | hi << 8);
        r.complete = loClean && Clean(port) && r.data.size() == block;
    }
    return r;
}

// The read loop shared by ReadRTC and ReadFLASH.
// 2.2–2.3. The port of the next request: a port whose status is not clean loses its allowance
// (and, with the link not marked open, the user is asked whether to retry); a port without
// allowance needs a handshake first. Null when the read is to stop.
TComPort *PortForRequest(ProtocolContext &app, const ReadKind &kind) {
    LinkState &link = app.link;
    if (!link.port || !Clean(*link.port)) {
        if (link.port)
            link.port->commandAllowance = 0;
        if (link.linkOpen == 0 && !AskRetry(app, kind))
            return nullptr;
    }
    if (!link.port || link.port->commandAllowance == 0) {
        Handshake(app, kind.flash ? kFlashAllowance : kRtcAllowance);
        if (kind.flash && link.port)
            link.port->commandAllowance = kFlashAllowance;
    }
    if (!link.port)
        return nullptr;
    --link.port->commandAllowance;
    return app.abortState == AbortRunning ? link.port.get() : nullptr;
}

// 2.4. What the count line and the current action show before a request.
void ShowRequest(ProtocolContext &app, const ReadKind &kind, int remaining) {
    LinkStatus &s = app.status();
    if (kind.flash) {
        s.setText(Role::Label13, QStringLiteral("ReadFlash TekCount=") + QString::number(remaining));
    } else {
        s.setText(Role::StaticText2, QStringLiteral("Отправляю запрос на получение RTS"));
        s.setText(Role::Label13, QStringLiteral("RTS TekCount:=") + QString::number(remaining));
    }
    app.pump();
}

// 2.8. The check values in the log; silence never passes the flash read (no data and check bytes 0
// would match a register of 0).
void LogCheck(ProtocolContext &app, const ReadKind &kind, Reply &r) {
    const QString tag = kind.flash ? QStringLiteral("Fl") : QStringLiteral("RTS");
    app.status().addLine(Role::RichEdit1, tag + QStringLiteral(" ICRC=") + QString::number(r.received) +
                                              QStringLiteral(" CRC=") + QString::number(r.computed) +
                                              QStringLiteral(" TI=") + QString::number(r.data.size()));
    if (kind.flash && r.data.isEmpty() && r.received == 0 && r.computed == 0)
        r.computed = 1;
    app.pump();
}

// 2.9. A good block is stored at its place of the caller's buffer.
void StoreBlock(ProtocolContext &app, const ReadKind &kind, const Reply &r, QByteArray &buffer, int &stored,
                int &address, int count, int &remaining) {
    LinkStatus &s = app.status();
    const int block = int(r.data.size());
    const QString last = QString::number(stored + block - 1);
    if (kind.flash) {
        s.addLine(Role::RichEdit1, QStringLiteral("Flash OK байт=") + last);
        app.repeatCounter = 0;
        s.setText(Role::StaticText2, QStringLiteral("Получены данные Flash байт=") + last);
    } else {
        s.addLine(Role::RichEdit1, QStringLiteral("RTS OK байт=") + last);
        s.setText(Role::StaticText2, QStringLiteral("Получены данные RTS байт=") + last);
    }
    app.pump();
    buffer.replace(stored, block, r.data);
    stored += block;
    address += block;
    if (stored > count) {
        if (kind.flash)
            app.prompts().ShowNotice(QStringLiteral("Ошибка 2:IB>Count"));
        else
            app.prompts().InfoBox(QStringLiteral("Ошибка 2:IB>Count"));
    }
    remaining = qMax(0, count - stored);
    if (!kind.flash)
        s.setText(Role::Label13, QStringLiteral("TekCount:=") + QString::number(remaining));
}

// 2.11. A bad or slow block: the checksum texts and the port's check-error counter.
void ShowBadBlock(ProtocolContext &app, TComPort &port, const ReadKind &kind, int remaining) {
    LinkStatus &s = app.status();
    if (kind.flash) {
        s.setText(Role::StaticText2, QStringLiteral("Flash ошибка проверки контрольной суммы ICRC <> CRC"));
        s.setText(Role::Label13, QStringLiteral("Flash TekCount:=") + QString::number(remaining));
    } else {
        s.addLine(Role::RichEdit1, QStringLiteral("RTS ICRC <> CRC"));
        s.setText(Role::StaticText2, QStringLiteral("RTS ошибка проверки контрольной суммы ICRC <> CRC"));
    }
    app.pump();
    ++port.checkErrors;
}

void DirectRead(ProtocolContext &app, const ReadKind &kind, QByteArray &buffer, int sector, int address, int count) {
    if (buffer.size() < count)
        buffer.resize(count, '\0');

    // 1.
    const qint64 start = app.clock().monotonicMs();
    app.status().setText(Role::Label3, QStringLiteral("ReadFLASH1"));
    int remaining = count;
    int stored = 0;

    // 2.
    while (remaining > 0) {
        if (!kind.flash) {  // every pass asks for the whole area
            remaining = count;
            stored = 0;
        }
        app.pump();
        if (app.abortState != AbortRunning)
            return;
        TComPort *port = PortForRequest(app, kind);
        if (!port)
            return;
        const int block = qMin(remaining, kMaxBlock);
        ShowRequest(app, kind, remaining);

        int error = 0;
        SendRequest(*port, kind, sector, address, block);
        if (!Clean(*port))
            error = 1;
        Reply r = ReceiveBlock(app, *port, kind, block);
        if (r.error)
            error = r.error;
        LogCheck(app, kind, r);
        ++port->blockReads;

        // A block is taken only when its check value matches and every byte really arrived: a
        // byte that timed out is the stale buffer content and proves nothing.
        const bool good = r.received == r.computed && r.complete;
        const int end = stored + block;  // bytes of the count covered after this request
        if (good)
            StoreBlock(app, kind, r, buffer, stored, address, count, remaining);
        if (MeasureLineRate(app, start, end) < kSlowLineRate)
            error = 3;
        if (!good || error != 0)
            ShowBadBlock(app, *port, kind, remaining);
    }
}

}  // namespace

int MeasureLineRate(ProtocolContext &app, qint64 startMs, int total) {
    if (!app.link.port)
        return 1;
    TComPort &port = *app.link.port;
    if (port.blockReads > 10) {
        port.blockReads = 0;
        port.checkErrors = 0;
    }
    const double elapsed = (app.clock().monotonicMs() - startMs) / 1000.0;
    const int rate = elapsed > 0 ? RoundHalfEven(total / elapsed) : 1;
    if (port.rateHistory[0] == 0) {
        port.rateHistory.fill(rate);
    } else {
        for (int i = 7; i > 0; --i)
            port.rateHistory[i] = port.rateHistory[i - 1];
        port.rateHistory[0] = rate;
    }
    double sum = 0;
    for (int32_t v : port.rateHistory)
        sum += v;
    app.status().setText(Role::StaticText3, QString::number(RoundHalfEven(sum / 8)) + QStringLiteral(" байт/сек"));
    return rate;
}

void ReadRTC(ProtocolContext &app, QByteArray &buffer, int address, int count) {
    if (LinkType::IsBridge(app.link.linkType)) {
        app.abortState = AbortWindowClosed;  // no bridge client in this build: nothing was read
        return;
    }
    if (count <= 0 || count > kMaxBlock)
        count = kMaxBlock;
    static constexpr ReadKind kind{false, "Ошибка 10: Нет связи с прибором. Повторить попытку?"};
    DirectRead(app, kind, buffer, 0, address & 0xFF, count);
}

void ReadFLASH(ProtocolContext &app, QByteArray &buffer, int sector, int address, int count) {
    if (LinkType::IsBridge(app.link.linkType)) {
        app.abortState = AbortWindowClosed;  // no bridge client in this build: nothing was read
        return;
    }
    if (count <= 0)
        count = kMaxBlock;
    static constexpr ReadKind kind{true, "Ошибка 11: Нет связи с прибором. Повторить попытку?"};
    DirectRead(app, kind, buffer, sector, address & 0xFFFF, count);
}

}  // namespace torv
