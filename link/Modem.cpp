#include "link/Modem.h"

#include "link/LinkContext.h"
#include "link/Link.h"

namespace torv {

namespace {

constexpr uint8_t kCR = 13;
constexpr uint16_t kModemReadLimit = 10;
constexpr int kNoticeCountdown = 20;

void SendText(TComPort &port, const QByteArray &text) {
    for (char c : text)
        port.WriteByte(uint8_t(c));
}

void SendCommand(TComPort &port, const QByteArray &command) {
    SendText(port, command);
    port.WriteByte(kCR);
}

// Reads every waiting byte into the reply text (the modem reply field).
void CollectReply(LinkContext &app, TComPort &port, QString &reply) {
    while (port.QueryStatus() & TComPort::FlagDataWaiting) {
        const uint8_t b = port.ReadByte(kModemReadLimit);
        if (port.status != TComPort::StatusClean && port.bytesTransferred == 0)
            break;
        reply += QChar(b);
    }
    app.status().setText(Role::Edit1, reply);
}

// Reads n bytes, each with its own time limit.
QByteArray ReadBytes(TComPort &port, int n) {
    QByteArray got;
    for (int i = 0; i < n; ++i)
        got.append(char(port.ReadByte(kModemReadLimit)));
    return got;
}

}  // namespace

bool ReplyReads(const QString &reply, const QString &word) { return reply.mid(2).startsWith(word); }

namespace {

// 2. Whether dialling can start: a number, a port, DTR and RTS raised.
bool ReadyToDial(LinkContext &app, TComPort *port, const QString &number, bool proceed) {
    if (number.isEmpty() && proceed) {
        app.prompts().InfoBox(QStringLiteral("Введите телефон по которому следует дозвонится"));
        app.abortState = AbortNoPhone;
        proceed = false;
    }
    if (!port) {
        app.prompts().InfoBox(QStringLiteral("Не могу открыть порт"));
        proceed = false;
    } else if (!port->dtrOn || !port->rtsOn) {
        if (!app.link.quiet)
            app.prompts().ShowNotice(QStringLiteral("Не могу соединится через модем."));
        proceed = false;
    }
    return proceed;
}

// 3.1–3.5. The dialling commands, then the wait for the result word; returns the reply text.
QString DialAndWait(LinkContext &app, TComPort &port, const QString &number) {
    LinkStatus &s = app.status();
    Clock &clock = app.clock();
    QString reply;
    if (app.settings.pulseDial()) {
        SendCommand(port, "ATP");
        clock.sleepMs(2000);
    }
    clock.sleepMs(1000);
    SendCommand(port, "AT");
    clock.sleepMs(1000);
    CollectReply(app, port, reply);

    SendCommand(port, "ATD" + number.toLatin1());
    s.setText(Role::Label10, QStringLiteral("Набирается номер ") + number);
    app.pump();
    clock.sleepMs(1000);

    s.requestShow();
    const QString action = s.text(Role::StaticText2);
    CollectReply(app, port, reply);
    reply.clear();
    s.setText(Role::Edit1, reply);

    const int wait = app.settings.modemWait();
    for (int second = 0; second < wait; ++second) {
        clock.sleepMs(1000);
        app.pump();
        s.setText(Role::StaticText2, QStringLiteral("Соединение с удаленным модемом"));
        CollectReply(app, port, reply);
        if (app.abortState != AbortRunning || ReplyReads(reply, QStringLiteral("CONNECT 9600")) ||
            ReplyReads(reply, QStringLiteral("NO")) || ReplyReads(reply, QStringLiteral("BU")))
            break;
    }
    // 3.6.
    s.setText(Role::StaticText2, action);
    return reply;
}

// 3.7–3.8. Connected when the carrier is on and no failure word came; otherwise the failure's
// notice (unless quiet) and abort state 6.
void TakeResult(LinkContext &app, TComPort &port, const QString &reply) {
    LinkState &link = app.link;
    const bool failedWord = ReplyReads(reply, QStringLiteral("NO")) || ReplyReads(reply, QStringLiteral("BU"));
    // A line without a carrier line learns the carrier from the result word.
    port.setCarrierFromReplies(ReplyReads(reply, QStringLiteral("CONNECT")) && !failedWord);
    if (port.CarrierStatus() == TComPort::CarrierOn && !failedWord) {
        link.modemConnected = 1;
        link.linkOpen = 1;
        return;
    }
    if (!link.quiet) {
        if (ReplyReads(reply, QStringLiteral("NO")))
            app.prompts().ShowNotice(QStringLiteral("Ошибка 4: Не могу соединится с удаленным модемом (NO CARRIER)"),
                                     kNoticeCountdown);
        else if (ReplyReads(reply, QStringLiteral("BU")))
            app.prompts().ShowNotice(QStringLiteral("Ошибка 5: Не могу соединится с удаленным модемом (BUSY)"),
                                     kNoticeCountdown);
    }
    app.abortState = AbortModem;
    link.modemConnected = 0;
    link.linkOpen = 0;
}

}  // namespace

TComPort *Dial(LinkContext &app) {
    LinkState &link = app.link;
    LinkStatus &s = app.status();

    // 1.
    link.dialling = true;
    if (app.abortState == AbortModem)
        app.abortState = AbortRunning;
    const bool proceed = app.abortState == AbortRunning;
    TComPort *port = link.port.get();
    if (port)
        port->CarrierStatus();  // the carrier is read before dialling, as the modem sees it

    // 2–3.
    const QString number = link.telephone ? link.telephone().trimmed() : QString();
    if (ReadyToDial(app, port, number, proceed)) {
        const QString reply = DialAndWait(app, *port, number);
        TakeResult(app, *port, reply);
        // 3.9.
        if (ReplyReads(reply, QStringLiteral("CONNECT 9600")))
            s.setText(Role::StaticText2, QStringLiteral("Связь с модемом установелна"));
        while (port->QueryStatus() & TComPort::FlagDataWaiting)
            port->ReadByte(kModemReadLimit);
        s.clearPane(Role::RichEdit1);
        if (ModemMode(app) && link.linkOpen)
            s.setText(Role::StaticText2, QStringLiteral("Связь с удаленным модемом установелна"));
    }

    // 4.
    link.dialling = false;
    return link.port.get();
}

void HangUp(LinkContext &app) {
    LinkState &link = app.link;
    Clock &clock = app.clock();
    try {
        TComPort *port = link.port.get();
        if (!port)
            throw std::runtime_error("no port");
        port->WriteByte('+');
        clock.sleepMs(100);
        port->WriteByte('+');
        clock.sleepMs(100);
        port->WriteByte('+');
        clock.sleepMs(1000);
        SendCommand(*port, "ATH");
        clock.sleepMs(500);
        link.releasePort();
        clock.sleepMs(500);
        link.linkOpen = 0;
        link.modemConnected = 0;
        app.status().appendMainStatus(QStringLiteral(" Связь разорвана"));
    } catch (...) {
        app.prompts().ShowNotice(QStringLiteral("Не могу Разорвать соединение с удаленным модемом."));
    }
}

void ProgramRings(LinkContext &app, int rings) {
    LinkState &link = app.link;
    Clock &clock = app.clock();
    // The device-side modem sits on the computer's port: talk to it as on a direct cable.
    app.settings.setLinkMode(LinkModeDirect);
    if (!link.port)
        OpenLink(app);
    TComPort *port = link.port.get();
    if (!port) {
        app.prompts().ShowNotice(QStringLiteral("Не могу открыть порт"));
        app.settings.setLinkMode(LinkModeModem);
        return;
    }
    const QByteArray digit = QByteArray::number(rings).left(1);

    SendCommand(*port, "AT&K0");
    ReadBytes(*port, 20);
    clock.sleepMs(500);

    SendCommand(*port, "ATS0=" + digit);
    clock.sleepMs(1000);
    ReadBytes(*port, 20);

    SendCommand(*port, "AT&W");
    ReadBytes(*port, 20);

    SendCommand(*port, "ATS0?");
    ReadBytes(*port, 8);
    const uint8_t first = port->ReadByte(kModemReadLimit);
    if (first == kCR) {
        app.prompts().ShowNotice(QStringLiteral("Модем не отвечает ПК."));
        HangUp(app);
    } else {
        QByteArray value(1, char(first));
        value += ReadBytes(*port, 2);
        bool ok = false;
        const int programmed = QString::fromLatin1(value).toInt(&ok);
        if (ok && programmed == rings)
            app.prompts().ShowNotice(QStringLiteral("Модем успешно запрограммирован на ") + QString::number(rings) +
                                     QStringLiteral(" звонков"));
        else
            app.prompts().ShowNotice(QStringLiteral("Не удалось запрограммировать модем"));
    }
    clock.sleepMs(2000);
    app.settings.setLinkMode(LinkModeModem);
}

}  // namespace torv
