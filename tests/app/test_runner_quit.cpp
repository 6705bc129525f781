// Quitting the program while an exchange runs: the exchange is asked to stop and the caller
// waits for it, so nothing the exchange uses goes away under it. (Own executable: quitting ends
// every later local event loop of the process.)
#include "app/ExchangeRunner.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

using namespace torv;

TEST(ExchangeRunner, QuitWhileRunningAbortsTheExchangeAndWaitsForIt) {
    ThreadExchangeRunner runner;
    std::atomic<int> abortState{0};
    runner.setInterruptHook([&] { abortState = 1; });
    int steps = 0;
    bool finished = false;
    // The program's main loop runs a command that runs the exchange; then the program is told to quit.
    QTimer::singleShot(0, [&] {
        runner.run([&] {
            while (abortState == 0 && steps < 20000) {
                ++steps;
                QThread::msleep(1);
            }
            finished = true;
        });
    });
    QTimer::singleShot(30, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    EXPECT_TRUE(finished);
    EXPECT_EQ(abortState, 1);
    EXPECT_LT(steps, 20000);
}
