// Runs a device exchange. The GUI runs it on one long-lived worker thread (the port object
// is created and used there and never changes threads) and waits in a local event loop, so the
// link status window stays live and prompts are shown on the GUI thread. Tests and the CLI run
// the exchange inline.
#pragma once

#include <QObject>
#include <QThread>
#include <exception>
#include <functional>

namespace torv {

class ExchangeRunner {
public:
    virtual ~ExchangeRunner() = default;
    // Runs `job` to its end. An exception thrown by the job is rethrown to the caller.
    virtual void run(const std::function<void()> &job) = 0;
    // True on the thread that runs exchanges.
    virtual bool onExchangeThread() const = 0;
};

class InlineExchangeRunner final : public ExchangeRunner {
public:
    void run(const std::function<void()> &job) override;
    bool onExchangeThread() const override { return true; }
};

class ThreadExchangeRunner final : public QObject, public ExchangeRunner {
    Q_OBJECT
public:
    ThreadExchangeRunner();
    ~ThreadExchangeRunner() override;
    void run(const std::function<void()> &job) override;
    bool onExchangeThread() const override;
    // Called when the program is quitting while an exchange runs: it should set the abort state so
    // the exchange stops at its next step. The runner then keeps serving prompts until the job ends.
    void setInterruptHook(std::function<void()> hook) { interruptHook_ = std::move(hook); }

private:
    std::function<void()> interruptHook_;
    QThread thread_;
    QObject *worker_ = nullptr;
};

}  // namespace torv
