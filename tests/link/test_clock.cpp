#include "link/Clock.h"

#include <gtest/gtest.h>
#include <vector>

using namespace torv;

TEST(VirtualClock, SleepingMovesTimeAndFiresTimersInOrder) {
    VirtualClock clock(QDateTime(QDate(2019, 3, 14), QTime(9, 5, 7)));
    std::vector<std::pair<char, qint64>> fired;
    auto a = clock.createTimer();
    auto b = clock.createTimer();
    a->onTimeout = [&] { fired.push_back({'a', clock.monotonicMs()}); };
    b->onTimeout = [&] {
        fired.push_back({'b', clock.monotonicMs()});
        b->stop();
    };
    a->start(1000);
    b->start(1500);
    clock.sleepMs(3200);
    EXPECT_EQ(clock.monotonicMs(), 3200);
    EXPECT_EQ(clock.now(), QDateTime(QDate(2019, 3, 14), QTime(9, 5, 10, 200)));
    const std::vector<std::pair<char, qint64>> expected = {{'a', 1000}, {'b', 1500}, {'a', 2000}, {'a', 3000}};
    EXPECT_EQ(fired, expected);
    a.reset();  // a destroyed timer never fires
    clock.advance(5000);
    EXPECT_EQ(fired.size(), 4u);
}

TEST(VirtualClock, WallClockCanMoveWithoutMovingMonotonicTime) {
    VirtualClock clock;
    clock.advance(500);
    clock.setNow(QDateTime(QDate(2005, 12, 31), QTime(23, 0)));
    EXPECT_EQ(clock.monotonicMs(), 500);
    clock.advance(1000);
    EXPECT_EQ(clock.now(), QDateTime(QDate(2005, 12, 31), QTime(23, 0, 1)));
}

TEST(RealClock, MonotonicAndSleep) {
    RealClock clock;
    const qint64 t0 = clock.monotonicMs();
    clock.sleepMs(20);
    EXPECT_GE(clock.monotonicMs() - t0, 19);
}
