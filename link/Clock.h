// Time seam: wall time, monotonic milliseconds, sleeping and timers.
// The program uses RealClock; tests and the in-process simulator use VirtualClock, where a
// 60-second wait or a 15-second countdown costs no real time.
#pragma once

#include <QDateTime>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace torv {

// A repeating timer whose ticks come from a Clock.
class ClockTimer {
public:
    virtual ~ClockTimer() = default;
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    std::function<void()> onTimeout;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;       // local wall-clock time
    virtual qint64 monotonicMs() const = 0;  // never goes back
    virtual void sleepMs(qint64 ms) = 0;
    // Timers are created and fired on the thread that created them (the GUI thread for windows).
    virtual std::unique_ptr<ClockTimer> createTimer() = 0;
};

class RealClock final : public Clock {
public:
    RealClock();
    QDateTime now() const override;
    qint64 monotonicMs() const override;
    void sleepMs(qint64 ms) override;
    std::unique_ptr<ClockTimer> createTimer() override;

private:
    qint64 origin_;
};

// Time moves only when someone sleeps or calls advance(); due timers fire in time order.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(const QDateTime &start = QDateTime(QDate(2020, 2, 7), QTime(12, 0, 0)));
    ~VirtualClock() override;
    QDateTime now() const override;
    qint64 monotonicMs() const override;
    void sleepMs(qint64 ms) override { advance(ms); }
    std::unique_ptr<ClockTimer> createTimer() override;

    void advance(qint64 ms);
    void advanceTo(qint64 monotonicMs);
    void setNow(const QDateTime &wall);  // moves the wall clock without moving monotonic time

private:
    class Timer;
    friend class Timer;
    void registerTimer(Timer *t);
    void unregisterTimer(Timer *t);

    mutable std::recursive_mutex mutex_;
    QDateTime wallAtZero_;
    qint64 ms_ = 0;
    std::vector<Timer *> timers_;
};

}  // namespace torv
