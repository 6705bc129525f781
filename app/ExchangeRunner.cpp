#include "app/ExchangeRunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <memory>
#include <mutex>

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
    // The caller's local loop lives on the caller's stack. The worker may wake it only while the
    // caller still waits in it: both sides meet under the mutex of the shared state, so the
    // wake-up is posted before the loop can be left and destroyed (a posted event of a destroyed
    // object is dropped with it), and a job that ends before the caller waits posts nothing.
    struct Shared {
        std::mutex mutex;
        bool done = false;
        QEventLoop *loop = nullptr;
        std::exception_ptr error;
    };
    auto shared = std::make_shared<Shared>();
    QEventLoop loop;
    QMetaObject::invokeMethod(
        worker_,
        [job, shared] {
            std::exception_ptr error;
            try {
                job();
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard lock(shared->mutex);
            shared->error = error;
            shared->done = true;
            if (shared->loop)
                QMetaObject::invokeMethod(shared->loop, "quit", Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    auto finished = [&] {
        std::lock_guard lock(shared->mutex);
        return shared->done;
    };
    {
        std::lock_guard lock(shared->mutex);
        if (!shared->done)
            shared->loop = &loop;
    }
    if (!finished())
        loop.exec(QEventLoop::AllEvents);
    if (!finished()) {
        // The application is quitting (its exit ends every local loop). The job still uses the
        // caller's data, so ask it to stop and wait for it, still serving the prompts it shows.
        if (interruptHook_)
            interruptHook_();
        while (!finished())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    std::exception_ptr error;
    {
        std::lock_guard lock(shared->mutex);
        shared->loop = nullptr;
        error = shared->error;
    }
    if (error)
        std::rethrow_exception(error);
}

}  // namespace torv
