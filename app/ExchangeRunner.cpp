#include "app/ExchangeRunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <atomic>
#include <memory>

namespace torv {

void InlineExchangeRunner::run(const std::function<void()> &job) { job(); }

ThreadExchangeRunner::ThreadExchangeRunner() {
    thread_.setObjectName(QStringLiteral("exchange"));
    worker_ = new QObject;
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

ThreadExchangeRunner::~ThreadExchangeRunner() {
    thread_.quit();
    thread_.wait();
}

bool ThreadExchangeRunner::onExchangeThread() const { return QThread::currentThread() == &thread_; }

void ThreadExchangeRunner::run(const std::function<void()> &job) {
    if (onExchangeThread()) {  // an exchange that starts another one runs it in place
        job();
        return;
    }
    struct Shared {
        std::atomic<bool> done{false};
        std::exception_ptr error;
    };
    auto shared = std::make_shared<Shared>();
    QEventLoop loop;
    QObject *loopObj = &loop;
    QMetaObject::invokeMethod(worker_, [job, shared, loopObj] {
        try {
            job();
        } catch (...) {
            shared->error = std::current_exception();
        }
        shared->done = true;
        QMetaObject::invokeMethod(loopObj, "quit", Qt::QueuedConnection);
    }, Qt::QueuedConnection);
    if (!shared->done)
        loop.exec(QEventLoop::AllEvents);
    if (!shared->done) {
        // The application is quitting (its exit ends every local loop). The job still uses the
        // caller's data, so ask it to stop and wait for it, still serving the prompts it shows.
        if (interruptHook_)
            interruptHook_();
        while (!shared->done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (shared->error)
        std::rethrow_exception(shared->error);
}

}  // namespace torv
