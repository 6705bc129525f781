#include "link/Clock.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace torv {

namespace {

class RealTimer final : public ClockTimer {
public:
    RealTimer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (onTimeout)
                onTimeout();
        });
    }
    void start(int intervalMs) override { timer_.start(intervalMs); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

qint64 steadyMs() {
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t.elapsed();
}

}  // namespace

RealClock::RealClock() : origin_(steadyMs()) {}
QDateTime RealClock::now() const { return QDateTime::currentDateTime(); }
qint64 RealClock::monotonicMs() const { return steadyMs() - origin_; }
void RealClock::sleepMs(qint64 ms) {
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}
std::unique_ptr<ClockTimer> RealClock::createTimer() { return std::make_unique<RealTimer>(); }

class VirtualClock::Timer final : public ClockTimer {
public:
    explicit Timer(VirtualClock *c) : clock_(c) { clock_->registerTimer(this); }
    ~Timer() override {
        if (clock_)
            clock_->unregisterTimer(this);
    }
    void start(int intervalMs) override {
        std::lock_guard lock(clock_->mutex_);
        interval_ = std::max(1, intervalMs);
        due_ = clock_->ms_ + interval_;
        active_ = true;
    }
    void stop() override { active_ = false; }
    bool isActive() const override { return active_; }

    VirtualClock *clock_;
    int interval_ = 1000;
    qint64 due_ = 0;
    bool active_ = false;
};

VirtualClock::VirtualClock(const QDateTime &start) : wallAtZero_(start) {}

VirtualClock::~VirtualClock() {
    for (Timer *t : timers_)
        t->clock_ = nullptr;
}

QDateTime VirtualClock::now() const {
    std::lock_guard lock(mutex_);
    return wallAtZero_.addMSecs(ms_);
}

qint64 VirtualClock::monotonicMs() const {
    std::lock_guard lock(mutex_);
    return ms_;
}

std::unique_ptr<ClockTimer> VirtualClock::createTimer() { return std::make_unique<Timer>(this); }

void VirtualClock::registerTimer(Timer *t) {
    std::lock_guard lock(mutex_);
    timers_.push_back(t);
}

void VirtualClock::unregisterTimer(Timer *t) {
    std::lock_guard lock(mutex_);
    timers_.erase(std::remove(timers_.begin(), timers_.end(), t), timers_.end());
}

void VirtualClock::advance(qint64 ms) {
    if (ms > 0)
        advanceTo(monotonicMs() + ms);
}

void VirtualClock::advanceTo(qint64 target) {
    std::unique_lock lock(mutex_);
    while (true) {
        // The earliest due timer not later than the target fires next; a callback may
        // create, stop or restart timers, so the search starts afresh each time.
        Timer *next = nullptr;
        for (Timer *t : timers_)
            if (t->active_ && t->due_ <= target && (!next || t->due_ < next->due_))
                next = t;
        if (!next)
            break;
        ms_ = std::max(ms_, next->due_);
        next->due_ += next->interval_;
        auto cb = next->onTimeout;
        lock.unlock();
        if (cb)
            cb();
        lock.lock();
    }
    ms_ = std::max(ms_, target);
}

void VirtualClock::setNow(const QDateTime &wall) {
    std::lock_guard lock(mutex_);
    wallAtZero_ = wall.addMSecs(-ms_);
}

}  // namespace torv
