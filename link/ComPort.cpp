#include "link/ComPort.h"

#include "link/LinkContext.h"
#include "link/PortMap.h"

namespace torv {

namespace {
const QString kOut = QStringLiteral("Out: (");
constexpr qint64 kDrainLimitMs = 2000;
}  // namespace

TComPort::TComPort(LinkContext &app, int portNumber) : app_(app), portNumber_(portNumber) {
    LinkState &link = app_.link;
    open(link.lineFactory ? link.lineFactory(portNumber) : CreateLine(app_, portNumber));
}

TComPort::TComPort(LinkContext &app, int portNumber, std::unique_ptr<SerialLine> line)
    : app_(app), portNumber_(portNumber) {
    open(std::move(line));
}

TComPort::~TComPort() = default;  // the line closes with its object

// Create: counters and allowance 0, empty serial string, T = 20; open; 9600 8N1.
void TComPort::open(std::unique_ptr<SerialLine> line) {
    rateHistory.fill(0);
    checkErrors = blockReads = commandAllowance = 0;
    serialString.clear();
    answerTimeUnit = kInitialAnswerUnit;
    if (line && line->open()) {
        line_ = std::move(line);
        status = StatusClean;
        noteMissingErrorCounters();
    } else {
        QString reason = line ? line->errorText() : QString();
        if (reason.isEmpty())
            reason = line ? line->target() + QStringLiteral(" — порт не открывается")
                          : QStringLiteral("линия порта не создана");
        openError_ = QStringLiteral("Порт ") + portName() + QStringLiteral(" не открыт: ") + reason;
        app_.status().addLine(Role::RichEdit1, openError_);
        line_.reset();
        status = StatusPortFailed;
    }
    Configure(12, 8, 0, 1);
}

QString TComPort::lineTarget() const { return line_ ? line_->target() : QString(); }

QString TComPort::portName() const { return QStringLiteral("COM") + QString::number(portNumber_); }

// A line that cannot report receive errors is named once a run, so a quiet status on it is
// not mistaken for a clean line.
void TComPort::noteMissingErrorCounters() {
    if (line_->takeReceiveErrors() != SerialLine::kNoErrorCounters)
        return;
    const QString target = line_->target();
    if (!app_.link.linesWithoutErrorCounters.insert(target).second)
        return;
    app_.status().addLine(Role::RichEdit1, QStringLiteral("Порт ") + portName() + QStringLiteral(" (") + target +
                                               QStringLiteral("): у линии нет счётчиков ошибок приёма, ошибки "
                                                              "кадра, чётности, переполнения и обрыва не видны"));
}

void TComPort::noteLineLost() {
    if (lineLost_)
        return;
    lineLost_ = true;
    QString reason = line_ ? line_->errorText() : QString();
    if (reason.isEmpty())
        reason = lineTarget() + QStringLiteral(" — линия закрыта");
    lostReason_ = QStringLiteral("Связь по порту ") + portName() + QStringLiteral(" потеряна: ") + reason;
    app_.status().addLine(Role::RichEdit1, lostReason_);
}

qint64 TComPort::nowMs() const { return app_.clock().monotonicMs(); }

// Blocks on the line for up to `ms`; a line that returns early still costs the full wait, so no
// caller ever spins. A line that has gone is not waited on at all: nothing will come.
void TComPort::waitOnLine(qint64 ms) {
    if (ms <= 0 || lineLost_)
        return;
    const qint64 t0 = nowMs();
    if (line_ && line_->waitForData(ms))
        return;
    if (line_ && line_->bytesWaiting() < 0) {
        noteLineLost();
        return;
    }
    const qint64 spent = nowMs() - t0;
    if (spent < ms)
        app_.clock().sleepMs(ms - spent);
}

void TComPort::Configure(int divisor, int dataBits, int parityKind, int stopKind) {
    LineFormat f;
    f.baud = 115200 / (divisor > 0 ? divisor : 1);
    f.dataBits = dataBits;
    f.parity = parityKind == 1 ? 1 : parityKind == 2 ? 2 : 0;
    f.stopBits = stopKind == 2 ? 2 : 1;
    status = StatusPortFailed;
    if (!line_ || lineLost_ || !line_->configure(f))
        return;
    if (line_->bytesWaiting() < 0) {
        noteLineLost();
        return;
    }
    format_ = f;
    dtrOn = rtsOn = 0;
    status = StatusClean;
    // Bytes already waiting belong to no request: read and discard them, with their errors.
    for (int n = line_->bytesWaiting(); n > 0; --n) {
        uint8_t b;
        if (!line_->readByte(b)) {
            status = StatusPortFailed;
            return;
        }
    }
    line_->takeReceiveErrors();
    pendingErrors_ = 0;
}

void TComPort::SetLines(int mask) {
    const bool dtrWanted = mask & LineDtr;
    const bool rtsWanted = mask & LineRts;
    bool ok = line_ != nullptr;
    if (ok && dtrWanted != bool(dtrOn)) {
        if (line_->setDtr(dtrWanted) == SerialLine::Switch::Failed)
            ok = false;
        else
            dtrOn = !dtrOn;
    }
    if (ok && rtsWanted != bool(rtsOn)) {
        if (line_->setRts(rtsWanted) == SerialLine::Switch::Failed)
            ok = false;
        else
            rtsOn = !rtsOn;
    }
    status = ok && !lineLost_ ? StatusClean : StatusPortFailed;
}

uint16_t TComPort::QueryStatus() {
    uint16_t flags = FlagTransmitIdle;
    if (!line_)
        return flags | FlagOutputEmpty;
    // Errors stay with the bytes they came with until a read takes them: the poll that finds a
    // byte waiting may come before the one that reads it.
    const int errors = line_->takeReceiveErrors();
    if (errors > 0)
        pendingErrors_ |= uint16_t(errors & ReceiveErrorMask);
    flags |= pendingErrors_;
    const int waiting = line_->bytesWaiting();
    if (waiting > 0)
        flags |= FlagDataWaiting;
    else if (waiting < 0)
        noteLineLost();
    if (line_->outputEmpty())
        flags |= FlagOutputEmpty;
    const ModemLines m = line_->modemLines();
    if (m.dsr)
        flags |= FlagDsr;
    if (m.cts)
        flags |= FlagCts;
    if (dtrOn)
        flags |= FlagDtr;
    if (rtsOn)
        flags |= FlagRts;
    return flags;
}

uint16_t TComPort::CarrierStatus() {
    if (!line_)
        return 0;
    const ModemLines m = line_->modemLines();
    if (!m.supported)
        return carrierFromReplies_ ? CarrierOn : 0;
    return m.rlsd ? CarrierOn : 0;
}

void TComPort::WriteByte(uint8_t b) {
    LinkStatus &s = app_.status();
    s.addLine(Role::RichEdit2, kOut + QString::number(b) + QLatin1Char(')'));
    s.clearPane(Role::RichEdit3);
    app_.pump();
    lastByte = b;
    // The byte goes out once the previous one has left (a line that never drains is given
    // up on after kDrainLimitMs rather than hanging the exchange).
    const qint64 drainStart = nowMs();
    while (line_ && !(QueryStatus() & FlagOutputEmpty) && nowMs() - drainStart < kDrainLimitMs)
        if (!line_->waitForWritten(100))
            waitOnLine(10);
    status = StatusClean;
    bytesTransferred = 0;
    if (line_ && !lineLost_) {
        if (line_->writeByte(b))
            bytesTransferred = 1;
        else if (line_->bytesWaiting() < 0)
            noteLineLost();
    }
    if (lineLost_)
        status = StatusPortFailed;
}

uint8_t TComPort::ReadByte(uint16_t limit) {
    WaitData();
    const qint64 start = nowMs();
    const qint64 limitMs = qint64(limit) * kUnitMs;
    bool waiting = false;
    while (true) {
        status = QueryStatus();
        if (status & FlagDataWaiting) {
            waiting = true;
            break;
        }
        const qint64 spent = nowMs() - start;
        if (spent >= limitMs || lineLost_)
            break;
        waitOnLine(limitMs - spent);
    }
    bytesTransferred = 0;
    if (!waiting) {
        status = StatusTimeout;
    } else {
        uint8_t b = 0;
        if (line_->readByte(b)) {
            lastByte = b;
            bytesTransferred = 1;
        }
    }
    status &= ReceiveErrorMask;
    pendingErrors_ = 0;
    if (lineLost_)
        status = StatusPortFailed;
    LinkStatus &s = app_.status();
    s.addLine(Role::RichEdit3, kOut + QString::number(lastByte) + QLatin1Char(')'));
    if (s.lines(Role::RichEdit3).size() > kReceivedPaneLines)
        s.clearPane(Role::RichEdit3);
    s.clearPane(Role::RichEdit2);
    app_.pump();
    return lastByte;
}

int TComPort::WaitData() {
    LinkStatus &s = app_.status();
    const int polls = longWait == 1 ? kLongIdlePolls : kIdlePolls;
    const qint64 budget = qint64(polls - 1) * kPollMs;
    const qint64 start = nowMs();
    bool waiting = QueryStatus() & FlagDataWaiting;
    while (!waiting && !lineLost_) {
        const qint64 spent = nowMs() - start;
        if (spent >= budget)
            break;
        waitOnLine(budget - spent);
        waiting = QueryStatus() & FlagDataWaiting;
    }
    if (waiting) {
        if (longWait == 1)
            s.addLine(Role::RichEdit1, QStringLiteral("Begin data"));
        const qint64 spent = nowMs() - start;
        if (spent > 0) {
            const qint64 poll = qMin<qint64>(polls, 1 + (spent + kPollMs - 1) / kPollMs);
            s.addLine(Role::RichEdit1, QStringLiteral("Data In ") + QString::number(poll * kPollMs));
        }
        if (s.lines(Role::RichEdit1).size() > kLogPaneLines)
            s.clearPane(Role::RichEdit1);
        app_.pump();
        return 1;
    }
    s.addLine(Role::RichEdit1, QStringLiteral("Data No "));
    s.setText(Role::Label14, QStringLiteral("Чист"));
    app_.pump();
    if (s.lines(Role::RichEdit1).size() > kLogPaneLines)
        s.clearPane(Role::RichEdit1);
    return 0;
}

void TComPort::Reset() {
    Configure(12, 8, 0, 1);
    SetLines(LineDtr | LineRts);
    app_.clock().sleepMs(100);
    while (QueryStatus() & FlagDataWaiting)
        ReadByte(10);
}

}  // namespace torv
