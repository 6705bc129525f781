// torv2-sim: our "Торв-2" flow computer. The device answers the "SYS" handshake with its command
// allowance, the 'R' (clock/RAM) and 'F' (flash) block reads with their check value, the clock
// write with 'K' and the 'n' current-values request; optionally it sits behind a Hayes modem.
// It paces every byte at the configured baud rate and injects faults deterministically from a
// seed. It answers exactly what the wire format says and nothing friendlier.
//
// The simulator has no clock of its own: every call carries the time in microseconds on the
// caller's time base (the virtual clock in tests, a steady clock in the server).
#pragma once

#include "sim/Scenario.h"
#include "sim/SimArchive.h"

#include <QByteArray>
#include <QDateTime>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace torv {

enum class ModemAnswer { Connect, Busy, NoCarrier, NoAnswer };

struct SimFaults {
    double corruptRate = 0;  // share of reply bytes with one bit flipped
    double dropRate = 0;     // share of reply bytes lost on the line
    double stallRate = 0;    // share of reply bytes held back by stallMs
    int stallMs = 700;
    double silenceRate = 0;  // share of requests left unanswered
    bool mute = false;       // the device hears nothing and does nothing (cable pulled, device off)
    int wrongReplies = 0;    // this many handshakes answer wrongReplyByte in place of 'S'
    uint8_t wrongReplyByte = 'E';
    int cutHandshakes = 0;  // this many handshakes break off after cutHandshakeAfter reply bytes
    int cutHandshakeAfter = 14;
    int byteGapUs = 0;  // extra pause before every reply byte (a slow device)
    // The next block read reply loses the bytes at these positions and has those flipped.
    std::vector<int> dropInNextRead;
    std::vector<int> corruptInNextRead;
};

struct SimOptions {
    QString scenario = QString::fromLatin1(kDefaultScenario);
    uint32_t seed = 1;
    int baud = 9600;
    int turnaroundUs = 1500;    // the device's time between a request and its reply
    qint64 clockOffsetSec = 0;  // device clock minus the wall clock
    bool modem = false;         // a Hayes modem front end
    ModemAnswer modemAnswer = ModemAnswer::Connect;
    int dialMs = 4000;      // from ATD to the result word
    QByteArray serialText;  // 7 serial-number bytes of the handshake; empty: the scenario's
    SimFaults faults;
    bool logReplies = false;  // the reply log keeps every reply, not only the damaged ones

    // The archives. The device started work `historyDays` before the metering day in hand (at its
    // contract hour), or at `startOfWork` when that is set; a negative `historyDays` keeps the
    // start of work of the scenario's image. Both are taken from the device clock when the
    // simulator is made and then stay put.
    int historyDays = kDefaultHistoryDays;
    QDateTime startOfWork;          // device clock, whole hour
    int contractHour = -1;          // 0…23 replaces the image's contract hour
    bool fullParameterLog = false;  // the parameter log fills its sector, without an end record
    int clockBackHours = 0;         // see Torv2Simulator::moveClockBack, applied when made
    double damagedRecordRate = 0;   // share of closed hourly and daily records damaged on purpose
};

struct SimCounters {
    int handshakes = 0;
    int readRequests = 0;     // 'R' and 'F' requests answered
    int ignoredRequests = 0;  // requests without allowance or left silent
    int writes = 0;
    int valueRequests = 0;   // 'n'
    int allowance = -1;      // last allowance byte received
    int lastCountByte = -1;  // count byte of the last read request
    int bytesIn = 0;
    int bytesOut = 0;
    int droppedBytes = 0;      // reply bytes lost on the line
    int corruptedBytes = 0;    // reply bytes sent with a bit flipped
    QByteArray modemCommands;  // every AT command line, CR-terminated
};

// One reply (by default only those the line damaged): what it answered ('S' handshake, 'F'/'R' block read, 'K' write
// acknowledgement, 'n' current values), its length and the positions of the bytes dropped,
// corrupted and stalled. One text line each for --fault-log.
struct SimFaultRecord {
    char kind = 0;
    int length = 0;
    std::vector<int> dropped;
    std::vector<int> corrupted;
    std::vector<int> stalled;

    QByteArray toText() const;
    static bool fromText(const QByteArray &line, SimFaultRecord &record);
};

class Torv2Simulator {
public:
    using WallClock = std::function<QDateTime()>;

    Torv2Simulator(const SimOptions &options, WallClock wall);
    // A device model made by the caller (a test's own flash contents) in place of the named scenario.
    Torv2Simulator(const SimOptions &options, std::unique_ptr<SimDeviceModel> model, WallClock wall);
    ~Torv2Simulator();

    bool valid() const { return model_ != nullptr; }

    // A byte from the program, handed to the line at time nowUs.
    void receive(uint8_t b, qint64 nowUs);
    // Runs the timed events due by nowUs (modem results, escape guard time).
    void advance(qint64 nowUs);
    // Time of the next byte or event, -1 when nothing is pending.
    qint64 nextEventUs() const;
    // Bytes fully arrived at the program's end by nowUs.
    int available(qint64 nowUs) const;
    bool takeByte(uint8_t &b, qint64 nowUs);
    bool carrier() const;
    // The wire time of one byte (start, 8 data bits, stop) in microseconds.
    double byteUs() const;

    // Inspection and control, for tests and the server.
    QByteArray flash(int sector, int address, int count);
    QByteArray ramSnapshot();
    QDateTime deviceTime() const;
    SimCounters counters() const;
    // The replies the line damaged (every reply with logReplies), in the order they were sent.
    std::vector<SimFaultRecord> faultLog() const;
    void setFaults(const SimFaults &faults);
    SimFaults faults() const;
    void setModemAnswer(ModemAnswer answer);
    // The far end hangs up: the carrier drops and the modem returns to command mode.
    void dropCarrier();
    const SimDeviceModel &model() const { return *model_; }
    const SimOptions &options() const { return options_; }
    // The configuration image the device holds (the scenario's, with the start of work and the
    // contract hour of the options) and its archive memory.
    QByteArray deviceImage() const { return image_; }
    const SimArchive &archive() const { return *archive_; }

    // The "clock moved back" fault: the device clock now shows `hours` hours less, and the device
    // has since metered the `hours` hours before the new clock time again, so their records (and
    // the days and months that hold them) read differently from what a download saw before.
    void moveClockBack(int hours);

private:
    enum class DeviceState { Asleep, AwaitAllowance, Ready };
    enum class ModemState { Command, Dialling, Data };

    void runEvents(qint64 nowUs);
    void deviceByte(uint8_t b, qint64 at);
    void handleFrame(qint64 at);
    void answerHandshake(qint64 at);
    void answerRead(uint8_t command, qint64 at);
    void answerWrite(qint64 at);
    void answerValues(qint64 at);
    void modemByte(uint8_t b, qint64 at);
    void modemCommand(const QByteArray &line, qint64 at);
    void modemResult(const char *text, qint64 at);

    void sendReply(const QByteArray &bytes, qint64 at, char kind);  // device reply, faults applied
    void sendClean(const QByteArray &bytes, qint64 at);             // modem texts and echo
    bool deviceCanTalk() const;
    QByteArray &sector(int s);
    void makeDeviceMemory();
    QByteArray clockRegisters() const;
    void setClockFromRegisters(const QByteArray &regs);

    struct OutByte {
        uint8_t b;
        qint64 due;
    };

    mutable std::mutex mutex_;
    SimOptions options_;
    WallClock wall_;
    std::unique_ptr<SimDeviceModel> model_;
    SimRandom rng_;
    QByteArray image_;
    std::shared_ptr<SimArchive> archive_;
    std::array<QByteArray, kFlashSectors> flash_;
    std::array<qint64, kFlashSectors> flashKey_{};  // archive snapshot each sector was made for
    QByteArray ram_;
    qint64 clockOffsetMs_ = 0;

    std::deque<OutByte> out_;
    double lastOutDue_ = 0;
    double lastInArrival_ = -1e18;

    DeviceState state_ = DeviceState::Asleep;
    int credit_ = 0;
    QByteArray history_;          // the last raw bytes, for "SYS"
    QByteArray frame_;            // decoded request bytes
    int pendingComplement_ = -1;  // first byte of a pair
    int nextValuesChannel_ = 0;

    ModemState modemState_ = ModemState::Command;
    bool carrier_ = false;
    QByteArray modemLine_;
    qint64 dialDoneAt_ = -1;
    qint64 escapeAt_ = -1;
    int plusCount_ = 0;
    int s0_ = 0;

    SimCounters counters_;
    std::vector<SimFaultRecord> faultLog_;
};

// The check register of the device's replies: 16 bits, data bits entering least significant
// first, feedback from bits 15, 11, 8 and 6.
uint16_t SimCheckValue(const QByteArray &data);

}  // namespace torv
