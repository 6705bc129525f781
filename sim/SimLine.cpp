#include "sim/SimLine.h"

#include "sim/Simulator.h"

namespace torv {

SimLine::SimLine(std::shared_ptr<Torv2Simulator> sim, Clock &clock) : sim_(std::move(sim)), clock_(clock) {}

QString SimLine::target() const { return QStringLiteral("sim:") + sim_->options().scenario; }

bool SimLine::open() { return sim_ && sim_->valid(); }

QString SimLine::errorText() const {
    if (sim_ && sim_->valid())
        return QString();
    return (sim_ ? target() : QStringLiteral("sim:")) + QStringLiteral(" — нет такого сценария симулятора");
}

bool SimLine::configure(const LineFormat &format) {
    format_ = format;
    return true;
}

SerialLine::Switch SimLine::setDtr(bool on) {
    dtr_ = on;
    return Switch::Done;
}

SerialLine::Switch SimLine::setRts(bool on) {
    rts_ = on;
    return Switch::Done;
}

ModemLines SimLine::modemLines() {
    ModemLines m;
    m.supported = true;
    m.dsr = m.cts = true;
    m.rlsd = sim_->carrier();
    return m;
}

qint64 SimLine::nowUs() const { return clock_.monotonicMs() * 1000; }

int SimLine::bytesWaiting() {
    const qint64 now = nowUs();
    sim_->advance(now);
    return sim_->available(now);
}

bool SimLine::waitForData(qint64 ms) {
    const qint64 deadlineMs = clock_.monotonicMs() + qMax<qint64>(0, ms);
    while (true) {
        if (bytesWaiting() > 0)
            return true;
        const qint64 nowMs = clock_.monotonicMs();
        if (nowMs >= deadlineMs)
            return false;
        const qint64 next = sim_->nextEventUs();
        qint64 wakeMs = deadlineMs;
        if (next >= 0)
            wakeMs = qMin(deadlineMs, qMax(nowMs + 1, (next + 999) / 1000));
        clock_.sleepMs(wakeMs - nowMs);
    }
}

bool SimLine::readByte(uint8_t &b) {
    const qint64 now = nowUs();
    sim_->advance(now);
    return sim_->takeByte(b, now);
}

bool SimLine::writeByte(uint8_t b) {
    sim_->receive(b, nowUs());
    return true;
}

}  // namespace torv
