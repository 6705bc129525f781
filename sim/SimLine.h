// The in-process line to the simulator. Waiting for a byte moves the clock: to the moment the
// simulator's next byte is due (paced at its baud rate) or to the caller's limit, whichever comes
// first. With the virtual clock a 15 s question or a 4 s idle wait therefore costs no real time;
// with the real clock the line sleeps like a real one.
#pragma once

#include "link/Clock.h"
#include "link/SerialLine.h"

#include <memory>

namespace torv {

class Torv2Simulator;

class SimLine final : public SerialLine {
public:
    SimLine(std::shared_ptr<Torv2Simulator> sim, Clock &clock);

    QString target() const override;
    bool open() override;
    QString errorText() const override;
    bool configure(const LineFormat &format) override;
    Switch setDtr(bool on) override;
    Switch setRts(bool on) override;
    ModemLines modemLines() override;
    int bytesWaiting() override;
    bool outputEmpty() override { return true; }
    int takeReceiveErrors() override { return 0; }
    bool waitForData(qint64 ms) override;
    bool readByte(uint8_t &b) override;
    bool writeByte(uint8_t b) override;
    bool waitForWritten(qint64) override { return true; }

    LineFormat format() const { return format_; }
    bool dtr() const { return dtr_; }

private:
    qint64 nowUs() const;

    std::shared_ptr<Torv2Simulator> sim_;
    Clock &clock_;
    LineFormat format_;
    bool dtr_ = false;
    bool rts_ = false;
};

}  // namespace torv
