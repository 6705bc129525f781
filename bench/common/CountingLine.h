// A line that counts the bytes crossing it and the time the program spends inside the line's
// operations (waiting for bytes included), for the benchmarks' wire-time bounds.
#pragma once

#include "link/SerialLine.h"

#include <QElapsedTimer>
#include <memory>

namespace torv {

// What crossed the line, kept outside the line so it survives the port being reopened or released.
struct LineCounters {
    qint64 bytesIn = 0;
    qint64 bytesOut = 0;
    qint64 lineNs = 0;  // time spent inside the line's operations
};

class CountingLine final : public SerialLine {
    template <class F>
    auto Timed(F f) -> decltype(f()) {
        QElapsedTimer t;
        t.start();
        auto r = f();
        counters_->lineNs += t.nsecsElapsed();
        return r;
    }

public:
    CountingLine(std::unique_ptr<SerialLine> inner, LineCounters *counters)
        : inner_(std::move(inner)), counters_(counters) {}
    QString target() const override { return inner_->target(); }
    bool open() override { return inner_->open(); }
    QString errorText() const override { return inner_->errorText(); }
    bool configure(const LineFormat &f) override { return inner_->configure(f); }
    Switch setDtr(bool on) override { return inner_->setDtr(on); }
    Switch setRts(bool on) override { return inner_->setRts(on); }
    ModemLines modemLines() override { return inner_->modemLines(); }
    int bytesWaiting() override {
        return Timed([&] { return inner_->bytesWaiting(); });
    }
    bool outputEmpty() override {
        return Timed([&] { return inner_->outputEmpty(); });
    }
    int takeReceiveErrors() override { return inner_->takeReceiveErrors(); }
    bool waitForData(qint64 ms) override {
        return Timed([&] { return inner_->waitForData(ms); });
    }
    bool readByte(uint8_t &b) override {
        const bool ok = Timed([&] { return inner_->readByte(b); });
        counters_->bytesIn += ok;
        return ok;
    }
    bool writeByte(uint8_t b) override {
        const bool ok = Timed([&] { return inner_->writeByte(b); });
        counters_->bytesOut += ok;
        return ok;
    }
    bool waitForWritten(qint64 ms) override {
        return Timed([&] { return inner_->waitForWritten(ms); });
    }

private:
    std::unique_ptr<SerialLine> inner_;
    LineCounters *counters_;
};

}  // namespace torv
