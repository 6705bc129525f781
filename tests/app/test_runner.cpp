#include "app/ExchangeRunner.h"

#include <QThread>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace torv;

TEST(ExchangeRunner, RunsJobsOnOneLongLivedWorkerThread) {
    ThreadExchangeRunner runner;
    QThread *first = nullptr, *second = nullptr;
    runner.run([&] { first = QThread::currentThread(); });
    runner.run([&] {
        second = QThread::currentThread();
        EXPECT_TRUE(runner.onExchangeThread());
        // An exchange that starts another one runs it in place instead of waiting for itself.
        bool nested = false;
        runner.run([&] { nested = true; });
        EXPECT_TRUE(nested);
    });
    EXPECT_NE(first, QThread::currentThread());
    EXPECT_EQ(first, second);
    EXPECT_FALSE(runner.onExchangeThread());
}

TEST(ExchangeRunner, ManyShortExchangesEndCleanly) {
    // A job that ends before its caller waits, and one that ends while the caller waits, both
    // return; neither touches the caller's loop after the call (the sanitizer build shows that).
    ThreadExchangeRunner runner;
    int count = 0;
    for (int i = 0; i < 2000; ++i) {
        runner.run([&] {
            ++count;
            if (i % 2)
                QThread::yieldCurrentThread();
        });
    }
    EXPECT_EQ(count, 2000);
}

TEST(ExchangeRunner, ExceptionsReachTheCaller) {
    ThreadExchangeRunner runner;
    EXPECT_THROW(runner.run([] { throw std::runtime_error("Ошибка"); }), std::runtime_error);
    int after = 0;
    runner.run([&] { after = 1; });  // the worker survives a failed job
    EXPECT_EQ(after, 1);
    InlineExchangeRunner inl;
    EXPECT_THROW(inl.run([] { throw std::runtime_error("x"); }), std::runtime_error);
}
