#include "protocol/Handshake.h"

#include "protocol/ProtocolContext.h"
#include "base/Formats.h"
#include "link/Link.h"
#include "base/CodePage.h"

#include <stdexcept>

namespace torv {

namespace {

constexpr int kTextBytes = 7;
constexpr int kSerialBytes = 7;
constexpr int kPurgeRepetitions = 269;
constexpr int kSecondAttemptExtra = 120;
constexpr int kGiveUpAfter = 4;  // the fifth failure in a row asks the user
constexpr int kQuestionCountdown = 15;
constexpr int kNumberCountdown = 3;
const QByteArray kWake = QByteArrayLiteral("SYS");

TComPort &CurrentPort(ProtocolContext &app) {
    if (!app.link.port)
        throw std::runtime_error("no port");
    return *app.link.port;
}

bool Clean(const TComPort &port) { return port.status == TComPort::StatusClean; }

void Log(ProtocolContext &app, const QString &line) { app.status().addLine(Role::RichEdit1, line); }

// Waits n × 100 ms, pumping after each step.
void PumpingWait(ProtocolContext &app, int steps) {
    for (int i = 0; i < steps; ++i) {
        app.clock().sleepMs(100);
        app.pump();
    }
}

// Opening the link clears the abort state of an open link (a new exchange begins); inside the
// handshake that would swallow a "Прервать связь" pressed a moment ago, so a set abort state stays.
void ReopenLink(ProtocolContext &app) {
    const int abort = app.abortState;
    OpenLink(app);
    if (abort != AbortRunning && app.abortState == AbortRunning)
        app.abortState = abort;
}

void ShowRepeatCounter(ProtocolContext &app) {
    app.status().setText(Role::Label11, QStringLiteral("RepeatConnectDevice:=") + QString::number(app.repeatCounter));
}

// The serial-number bytes: only digits enter the serial string, at most 10 of them. A byte whose
// read failed is the stale buffer content, never a digit of the number.
void ReadSerial(TComPort &port, uint16_t limit) {
    for (int i = 0; i < kSerialBytes; ++i) {
        const uint8_t b = Cp866ToWin(port.ReadByte(limit), 1);
        if (Clean(port) && b >= '0' && b <= '9' && port.serialString.size() < TComPort::kSerialCapacity)
            port.serialString += QChar(b);
    }
}

// 5. Conclusion: announce the allowance and take the device number over. The number is taken only
// from a complete answer, every byte of it read clean: a reply cut short (a modem line that drops
// bytes) leaves a few digits in the serial string, and "42" of device 4217 must not rename it.
char Conclude(ProtocolContext &app, uint8_t reply, int allowance, bool answerComplete) {
    app.pump();
    TComPort &port = CurrentPort(app);
    if (reply == uint8_t(kReplyPortError) || !answerComplete)
        port.serialString.clear();
    if (!Clean(port))
        return 0;
    port.WriteByte(uint8_t(allowance));
    port.commandAllowance = allowance + 1;
    Log(app, QStringLiteral("SYS BAD"));
    Log(app, QStringLiteral("COM.SerialN"));
    const QString serial = port.serialString;
    if (!serial.isEmpty() && serial[0].isDigit()) {
        bool ok = false;
        const int number = serial.toInt(&ok);
        if (ok) {
            app.deviceNumber = QString::number(number).left(10);
            app.status().setText(Role::Label10, QStringLiteral("Номер прибора по SYS ") + serial + QLatin1Char(' ') +
                                                    FormatDateTime(app.clock().now()));
            app.repeatCounter = 0;
        } else {
            app.prompts().AskYesNo(QStringLiteral("Ошбика 34. С прибора получен некорректный номер: ") + serial,
                                   QStringLiteral("Ошибка"), kNumberCountdown);
        }
    }
    return char(reply);
}

}  // namespace

void SendPair(TComPort &port, uint8_t b) {
    port.WriteByte(uint8_t(~b));
    port.WriteByte(b);
}

namespace {

// 3. The first attempt: "SYS", the reply byte, the device text, the serial number. True when the
// device acknowledged and every byte came clean; `reply` is the reply as the exchange sees it.
bool FirstAttempt(ProtocolContext &app, uint8_t &reply) {
    LinkStatus &s = app.status();
    ReopenLink(app);
    TComPort *port = &CurrentPort(app);
    const uint16_t T = uint16_t(port->answerTimeUnit);
    for (char c : kWake)
        port->WriteByte(uint8_t(c));
    port->longWait = 1;
    if (app.abortState == AbortRunning)
        reply = port->ReadByte(2 * T);
    app.pump();
    port->longWait = 0;
    if (!Clean(*port))
        reply = kReplyPortError;
    if (app.abortState == AbortRunning && Clean(*port)) {
        for (int i = 0; i < kTextBytes; ++i) {
            Cp866ToWin(port->ReadByte(2 * T), 1);  // the device text is not used
            if (!Clean(*port))
                reply = kReplyPortError;
            app.pump();
        }
        port->ReadByte(2 * T);
    }
    if (!Clean(*port)) {
        s.setText(Role::StaticText3, QStringLiteral("Плохая связь с прибором"));
        Log(app, QStringLiteral("Плохая связь с прибором. Нет ответа на SYS"));
        reply = kReplyPortError;
    }
    port->serialString.clear();
    app.pump();
    if (reply == kReplyAcknowledged && app.abortState == AbortRunning && Clean(*port))
        ReadSerial(*port, T);
    if (app.abortState == AbortRunning && Clean(*port))
        port->ReadByte(2 * T);
    return reply == kReplyAcknowledged && Clean(*port);
}

// 4.1–4.3. Before the second attempt: a pause that grows with the failures, then the line is
// read empty (the purge stops when an idle wait found it silent).
void PauseAndPurge(ProtocolContext &app) {
    LinkStatus &s = app.status();
    TComPort &port = CurrentPort(app);
    Log(app, QStringLiteral("SYS2 пауза ") + QString::number(2 * app.repeatCounter) + QStringLiteral(" сек"));
    if (app.abortState == AbortRunning)
        PumpingWait(app, app.repeatCounter * 20);
    ShowRepeatCounter(app);
    app.pump();

    if (app.abortState == AbortRunning)
        Log(app, QStringLiteral("SYS2 очистка буфера"));
    s.setText(Role::Label14, QStringLiteral("Очистка буфера"));
    if (app.abortState != AbortRunning || !Clean(port))
        return;
    const uint16_t T = uint16_t(port.answerTimeUnit);
    for (int i = 0; i < kPurgeRepetitions; ++i) {
        if (s.text(Role::Label14) == QStringLiteral("Чист"))
            break;
        if (Clean(port)) {
            port.ReadByte(T);
            app.clock().sleepMs(10);
        }
        app.pump();
    }
}

// 4.4–4.8. The second attempt, with longer byte time limits. True when the device acknowledged
// and every byte came clean.
bool SecondAttempt(ProtocolContext &app, uint8_t &reply) {
    LinkStatus &s = app.status();
    s.clearPane(Role::RichEdit1);
    Log(app, QStringLiteral("SYS2 OUT"));
    int extra = kSecondAttemptExtra;
    ReopenLink(app);
    TComPort *port = &CurrentPort(app);
    const uint16_t T = uint16_t(port->answerTimeUnit);

    for (char c : kWake) {
        port->WriteByte(uint8_t(c));
        Log(app, QStringLiteral("send SYS2"));
    }
    port->longWait = 1;
    if (app.abortState == AbortRunning && Clean(*port))
        reply = port->ReadByte(2 * T);
    s.clearPane(Role::RichEdit3);
    s.addLine(Role::RichEdit3, QStringLiteral("SYS2 in "));
    app.pump();
    port->longWait = 0;
    if (!Clean(*port))
        reply = kReplyPortError;
    if (reply != kReplyAcknowledged || !Clean(*port))
        extra = 0;

    if (reply == kReplyAcknowledged)
        s.addLine(Role::RichEdit3, QStringLiteral("SYS2 in S Ok "));
    if (app.abortState == AbortRunning && Clean(*port)) {
        for (int i = 0; i < kTextBytes; ++i) {
            Cp866ToWin(port->ReadByte(uint16_t(3 * T + extra)), 1);
            if (!Clean(*port))
                reply = kReplyPortError;
        }
    }
    if (reply == kReplyAcknowledged && Clean(*port))
        port->ReadByte(2 * T);
    if (!Clean(*port))
        reply = kReplyPortError;
    Log(app, QStringLiteral("SYS2 in 7 "));
    app.pump();

    port->serialString.clear();
    if (app.abortState == AbortRunning && Clean(*port) && reply == kReplyAcknowledged)
        ReadSerial(*port, uint16_t(3 * T));
    s.addLine(Role::RichEdit3, QStringLiteral("SYS2 in serial "));
    app.pump();
    if (reply == kReplyAcknowledged && Clean(*port))
        port->ReadByte(2 * T);
    app.pump();
    return reply == kReplyAcknowledged && Clean(*port);
}

// 4.9. Both attempts failed: the fifth failure in a row asks whether to go on. False when the
// exchange is to stop (abort state 2).
bool AfterFailedAttempts(ProtocolContext &app) {
    ++app.repeatCounter;
    ShowRepeatCounter(app);
    if (app.repeatCounter > kGiveUpAfter) {
        app.prompts().AskYesNo(QStringLiteral("Ошибка 3:Прибор не отвечает. Повторить попытку?"),
                               QStringLiteral("Ошибка"), kQuestionCountdown);
        app.repeatCounter = 0;
        if (app.prompts().lastAnswer() == AnswerNo) {
            app.abortState = AbortDeclined;
            return false;
        }
    }
    if (app.abortState == AbortRunning)
        PumpingWait(app, 20);
    ReopenLink(app);
    return true;
}

}  // namespace

char Handshake(ProtocolContext &app, int allowance) {
    LinkState &link = app.link;

    // 1. The bus bridge link types run the device dialogue in the bridge program (bridge client).
    if (LinkType::IsBridge(link.linkType))
        return 0;

    // 2. A link that has been fast so far needs no new handshake while allowance remains.
    if (link.port && link.port->commandAllowance != 0 && link.port->rateHistory[1] >= 100)
        return kReplyAcknowledged;

    uint8_t reply = 0;
    try {
        if (FirstAttempt(app, reply))
            return Conclude(app, reply, allowance, true);
        PauseAndPurge(app);
        if (SecondAttempt(app, reply))
            return Conclude(app, reply, allowance, true);
        if (!AfterFailedAttempts(app))
            return char(reply);
        // The conclusion still runs (the allowance byte goes out on a clean line), but the
        // answer was not whole: no device number is taken from it.
        return Conclude(app, reply, allowance, false);
    } catch (...) {
        app.prompts().AskYesNo(QStringLiteral("Исключение 2. При установки связи с прибораом."),
                               QStringLiteral("Ошибка"), kNumberCountdown);
        return char(reply);
    }
}

}  // namespace torv
