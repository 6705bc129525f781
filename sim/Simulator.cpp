#include "sim/Simulator.h"

#include "device/DevData.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <cmath>

namespace torv {

namespace {

// Request frame bytes (each sent as a complement pair).
constexpr uint8_t kReadFrame = 0x01;
constexpr uint8_t kWriteFrame = 0x02;
constexpr uint8_t kRamCommand = 'R';
constexpr uint8_t kFlashCommand = 'F';
constexpr uint8_t kValuesRequest = 'n';
constexpr uint8_t kAcknowledge = 'K';
constexpr uint8_t kHandshakeReply = 'S';
constexpr uint8_t kCR = 13;
// A pause this long between two bytes of a request makes the device drop the partial frame.
constexpr double kFrameGapUs = 100'000;
constexpr qint64 kEscapeGuardUs = 1'000'000;

int Unbcd(uint8_t v) { return (v >> 4) * 10 + (v & 0x0F); }
bool IsBcd(uint8_t v) { return (v >> 4) < 10 && (v & 0x0F) < 10; }

}  // namespace

uint16_t SimCheckValue(const QByteArray &data) {
    uint16_t r = 0;
    for (char c : data) {
        unsigned v = uint8_t(c);
        for (int k = 0; k < 8; ++k, v >>= 1) {
            const unsigned feedback = ((r >> 15) ^ (r >> 11) ^ (r >> 8) ^ (r >> 6) ^ v) & 1u;
            r = uint16_t((r << 1) | feedback);
        }
    }
    return r;
}

Torv2Simulator::Torv2Simulator(const SimOptions &options, WallClock wall)
    : Torv2Simulator(options, BuildScenario(options.scenario, options.seed), std::move(wall)) {}

Torv2Simulator::Torv2Simulator(const SimOptions &options, std::unique_ptr<SimDeviceModel> model, WallClock wall)
    : options_(options), wall_(std::move(wall)), model_(std::move(model)),
      rng_(options.seed * 747796405u + 2891336453u) {
    if (options_.baud <= 0)
        options_.baud = 9600;
    clockOffsetMs_ = options_.clockOffsetSec * 1000;
    ram_.resize(kRamSize);
    SimRandom r(options.seed ^ 0x5A5A5A5Au);
    for (int i = 0; i < kRamSize; ++i)
        ram_[i] = char(r.next());
    if (model_)
        makeDeviceMemory();
}

// The image with the start of work and contract hour of the options, and the archives that go
// with it. The start of work is fixed from the clock as it is now, before any clock fault.
void Torv2Simulator::makeDeviceMemory() {
    image_ = model_->configurationImage();
    if (options_.contractHour >= 0 && options_.contractHour <= 23)
        image_[img::kContractHour] = char(options_.contractHour);
    const int contractHour = uint8_t(image_[img::kContractHour]) <= 23 ? uint8_t(image_[img::kContractHour]) : 0;
    const QDateTime now = deviceTime();
    QDateTime start = options_.startOfWork;
    if (!start.isValid() && options_.historyDays >= 0)
        start = DefaultStartOfWork(now, options_.historyDays, contractHour);
    if (start.isValid())
        PutStartOfWork(image_, start);
    else
        start = StartOfWorkOf(image_);
    if (!start.isValid())  // no start of work in the image: the device has always worked
        start = now.addDays(-10 * 365);
    archive_ = std::make_shared<SimArchive>(image_, options_.seed, start, options_.fullParameterLog);
    archive_->setDamagedRecordRate(options_.damagedRecordRate);
    model_->attachArchive(archive_);
    if (options_.clockBackHours > 0) {
        clockOffsetMs_ -= qint64(options_.clockBackHours) * 3600 * 1000;
        archive_->rewriteHours(deviceTime(), options_.clockBackHours);
    }
}

void Torv2Simulator::moveClockBack(int hours) {
    if (hours <= 0)
        return;
    std::lock_guard lock(mutex_);
    clockOffsetMs_ -= qint64(hours) * 3600 * 1000;
    if (archive_)
        archive_->rewriteHours(deviceTime(), hours);
}

Torv2Simulator::~Torv2Simulator() = default;

double Torv2Simulator::byteUs() const { return 10.0 * 1e6 / options_.baud; }

bool Torv2Simulator::carrier() const {
    std::lock_guard lock(mutex_);
    return options_.modem ? carrier_ : false;
}

QDateTime Torv2Simulator::deviceTime() const { return wall_().addMSecs(clockOffsetMs_); }

SimCounters Torv2Simulator::counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

void Torv2Simulator::setFaults(const SimFaults &faults) {
    std::lock_guard lock(mutex_);
    options_.faults = faults;
}

SimFaults Torv2Simulator::faults() const {
    std::lock_guard lock(mutex_);
    return options_.faults;
}

void Torv2Simulator::setModemAnswer(ModemAnswer answer) {
    std::lock_guard lock(mutex_);
    options_.modemAnswer = answer;
}

void Torv2Simulator::dropCarrier() {
    std::lock_guard lock(mutex_);
    carrier_ = false;
    modemState_ = ModemState::Command;
    state_ = DeviceState::Asleep;
}

// Archive sectors follow the device clock (the model makes them anew whenever the memory may have
// changed); the others are made once, sector 0 with the device's own configuration image.
QByteArray &Torv2Simulator::sector(int s) {
    s &= kFlashSectors - 1;
    QByteArray &bytes = flash_[size_t(s)];
    if (!model_)
        return bytes;
    if (SimArchive::HoldsArchive(s)) {
        const QDateTime now = deviceTime();
        const qint64 key = archive_->snapshotKey(now);
        if (bytes.isEmpty() || flashKey_[size_t(s)] != key) {
            bytes.clear();
            model_->fillFlashSector(s, bytes, now);
            flashKey_[size_t(s)] = key;
        }
    } else if (bytes.isEmpty()) {
        model_->fillFlashSector(s, bytes, deviceTime());
        if (s == 0)
            bytes.replace(kImageAddress, kImageSize, image_);
    }
    return bytes;
}

QByteArray Torv2Simulator::flash(int s, int address, int count) {
    std::lock_guard lock(mutex_);
    QByteArray &bytes = sector(s);
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out.append(bytes[(address + i) & (kFlashSectorSize - 1)]);
    return out;
}

QByteArray Torv2Simulator::clockRegisters() const {
    const QDateTime t = deviceTime();
    QByteArray regs(10, '\0');
    regs[0] = char(image::Bcd(t.time().second()));
    regs[2] = char(image::Bcd(t.time().minute()));
    regs[4] = char(image::Bcd(t.time().hour()));
    regs[7] = char(image::Bcd(t.date().day()));
    regs[8] = char(image::Bcd(t.date().month()));
    regs[9] = char(image::Bcd(t.date().year() % 100));
    return regs;
}

QByteArray Torv2Simulator::ramSnapshot() {
    QByteArray ram = ram_;
    ram.replace(0, 10, clockRegisters());
    return ram;
}

// A written clock block sets the device clock; registers that do not form a time are ignored,
// as the device's clock chip would keep running.
void Torv2Simulator::setClockFromRegisters(const QByteArray &regs) {
    for (int i : {0, 2, 4, 7, 8, 9})
        if (!IsBcd(uint8_t(regs[i])))
            return;
    const int yy = Unbcd(uint8_t(regs[9]));
    const QDate date(yy >= 90 ? 1900 + yy : 2000 + yy, Unbcd(uint8_t(regs[8])), Unbcd(uint8_t(regs[7])));
    const QTime time(Unbcd(uint8_t(regs[4])), Unbcd(uint8_t(regs[2])), Unbcd(uint8_t(regs[0])));
    if (!date.isValid() || !time.isValid())
        return;
    clockOffsetMs_ = wall_().msecsTo(QDateTime(date, time));
}

// --- bytes in --------------------------------------------------------------------------------

void Torv2Simulator::receive(uint8_t b, qint64 nowUs) {
    std::lock_guard lock(mutex_);
    ++counters_.bytesIn;
    // The byte occupies the line for one byte time after the previous one.
    const double arrival = std::max(double(nowUs), lastInArrival_) + byteUs();
    const bool gap = arrival - lastInArrival_ > kFrameGapUs;
    lastInArrival_ = arrival;
    const qint64 at = qint64(std::llround(arrival));
    runEvents(at);  // a guard time or a dial that ended before this byte
    if (gap) {      // a pause ends any partial request
        frame_.clear();
        pendingComplement_ = -1;
    }
    if (options_.modem)
        modemByte(b, at);
    else
        deviceByte(b, at);
}

bool Torv2Simulator::deviceCanTalk() const {
    return !options_.faults.mute && (!options_.modem || (modemState_ == ModemState::Data && carrier_));
}

void Torv2Simulator::deviceByte(uint8_t b, qint64 at) {
    // A muted device (cable pulled, device off) hears nothing: it neither answers nor acts.
    if (options_.faults.mute)
        return;
    history_.append(char(b));
    if (history_.size() > 3)
        history_.remove(0, history_.size() - 3);
    if (history_ == "SYS") {
        history_.clear();
        frame_.clear();
        pendingComplement_ = -1;
        answerHandshake(at);
        return;
    }
    if (state_ == DeviceState::AwaitAllowance) {
        // The byte after the identification says how many requests will follow: exactly that
        // many are answered, then the device waits for the next "SYS".
        counters_.allowance = b;
        credit_ = b;
        state_ = DeviceState::Ready;
        return;  // an 'S' taken here may still begin a new "SYS"
    }
    if (pendingComplement_ < 0) {
        if (frame_.isEmpty() && b == kValuesRequest) {
            answerValues(at);
            return;
        }
        if (frame_.isEmpty() && b != uint8_t(~kReadFrame) && b != uint8_t(~kWriteFrame))
            return;  // not the start of a request
        pendingComplement_ = b;
        return;
    }
    const uint8_t complement = uint8_t(pendingComplement_);
    pendingComplement_ = -1;
    if (uint8_t(~complement) != b) {  // a broken pair spoils the request
        frame_.clear();
        return;
    }
    frame_.append(char(b));
    handleFrame(at);
}

// Acts when the decoded request is complete.
void Torv2Simulator::handleFrame(qint64 at) {
    const uint8_t kind = uint8_t(frame_[0]);
    if (frame_.size() < 2)
        return;
    const uint8_t command = uint8_t(frame_[1]);
    if (kind == kReadFrame) {
        const int need = command == kFlashCommand ? 6 : command == kRamCommand ? 4 : -1;
        if (need < 0) {
            frame_.clear();
            return;
        }
        if (frame_.size() < need)
            return;
        answerRead(command, at);
        frame_.clear();
        return;
    }
    if (kind == kWriteFrame) {
        if (frame_.size() < 4)
            return;
        const int count = uint8_t(frame_[3]) == 0 ? 256 : uint8_t(frame_[3]);
        if (frame_.size() < 4 + count)
            return;
        answerWrite(at);
        frame_.clear();
        return;
    }
    frame_.clear();
}

// "SYS": the device identifies itself and waits for the allowance byte.
void Torv2Simulator::answerHandshake(qint64 at) {
    ++counters_.handshakes;
    state_ = DeviceState::AwaitAllowance;
    credit_ = 0;
    if (!deviceCanTalk())
        return;
    QByteArray reply;
    uint8_t first = kHandshakeReply;
    if (options_.faults.wrongReplies > 0) {
        --options_.faults.wrongReplies;
        first = options_.faults.wrongReplyByte;
    }
    reply.append(char(first));
    reply.append(model_ ? model_->identityText().leftJustified(7, ' ', true) : QByteArray(7, ' '));
    reply.append(char(0));
    const QByteArray serial = !options_.serialText.isEmpty() ? options_.serialText
                              : model_                       ? model_->serialText()
                                                             : QByteArray(7, '0');
    reply.append(serial.leftJustified(7, ' ', true));
    reply.append(char(0));
    if (options_.faults.cutHandshakes > 0) {
        --options_.faults.cutHandshakes;
        reply.truncate(std::max(0, options_.faults.cutHandshakeAfter));
    }
    sendReply(reply, at + options_.turnaroundUs, 'S');
}

void Torv2Simulator::answerRead(uint8_t command, qint64 at) {
    const bool flashRead = command == kFlashCommand;
    const int countByte = uint8_t(frame_[flashRead ? 5 : 3]);
    const int count = countByte == 0 ? 256 : countByte;
    counters_.lastCountByte = countByte;
    if (state_ != DeviceState::Ready || credit_ <= 0 || !model_) {
        ++counters_.ignoredRequests;
        return;
    }
    --credit_;
    if (options_.faults.silenceRate > 0 && rng_.unit() < options_.faults.silenceRate) {
        ++counters_.ignoredRequests;
        return;
    }
    QByteArray data;
    if (flashRead) {
        const int address = uint8_t(frame_[2]) | uint8_t(frame_[3]) << 8;
        QByteArray &bytes = sector(uint8_t(frame_[4]) & 7);
        for (int i = 0; i < count; ++i)
            data.append(bytes[(address + i) & (kFlashSectorSize - 1)]);
    } else {
        const int address = uint8_t(frame_[2]);
        const QByteArray ram = ramSnapshot();
        for (int i = 0; i < count; ++i)
            data.append(ram[(address + i) & (kRamSize - 1)]);
    }
    const uint16_t check = SimCheckValue(data);
    data.append(char(check & 0xFF));
    data.append(char(check >> 8));
    ++counters_.readRequests;
    if (deviceCanTalk())
        sendReply(data, at + options_.turnaroundUs, char(command));
}

void Torv2Simulator::answerWrite(qint64 at) {
    const uint8_t command = uint8_t(frame_[1]);
    const int address = uint8_t(frame_[2]);
    if (state_ != DeviceState::Ready || credit_ <= 0 || command != kRamCommand) {
        ++counters_.ignoredRequests;
        return;
    }
    --credit_;
    const QByteArray data = frame_.mid(4);
    for (int i = 0; i < data.size(); ++i)
        ram_[(address + i) & (kRamSize - 1)] = data[i];
    if (address == 0 && data.size() >= 10)
        setClockFromRegisters(data.left(10));
    ++counters_.writes;
    if (deviceCanTalk())
        sendReply(QByteArray(1, char(kAcknowledge)), at + options_.turnaroundUs, 'K');
}

void Torv2Simulator::answerValues(qint64 at) {
    ++counters_.valueRequests;
    if (!model_ || !deviceCanTalk())
        return;
    const std::vector<int> used = model_->usedChannels();
    if (used.empty())
        return;
    const int channel = used[size_t(nextValuesChannel_++) % used.size()];
    sendReply(model_->currentValues(channel, deviceTime()), at + options_.turnaroundUs, 'n');
}

// --- modem front end -------------------------------------------------------------------------

void Torv2Simulator::modemByte(uint8_t b, qint64 at) {
    if (modemState_ == ModemState::Data) {
        if (b == '+') {
            // "+++" followed by a second of silence returns to command mode.
            if (++plusCount_ == 3)
                escapeAt_ = at + kEscapeGuardUs;
            return;
        }
        plusCount_ = 0;
        escapeAt_ = -1;
        deviceByte(b, at);
        return;
    }
    sendClean(QByteArray(1, char(b)), at);  // command echo
    if (b == kCR) {
        const QByteArray line = modemLine_.trimmed().toUpper();
        modemLine_.clear();
        counters_.modemCommands.append(line).append(char(kCR));
        modemCommand(line, at);
    } else if (b != '\n' && modemLine_.size() < 80) {
        modemLine_.append(char(b));
    }
}

void Torv2Simulator::modemResult(const char *text, qint64 at) { sendClean(QByteArray("\r\n") + text + "\r\n", at); }

void Torv2Simulator::modemCommand(const QByteArray &line, qint64 at) {
    if (line.isEmpty())
        return;
    if (!line.startsWith("AT")) {
        modemResult("ERROR", at);
        return;
    }
    if (modemState_ == ModemState::Dialling)
        return;
    if (line.startsWith("ATD")) {
        modemState_ = ModemState::Dialling;
        dialDoneAt_ = at + qint64(options_.dialMs) * 1000;
        return;
    }
    if (line == "ATH" || line == "ATH0") {
        carrier_ = false;
        modemResult("OK", at);
        return;
    }
    if (line.startsWith("ATS0=")) {
        s0_ = line.mid(5).toInt();
        modemResult("OK", at);
        return;
    }
    if (line == "ATS0?") {
        modemResult(QByteArray::number(s0_).rightJustified(3, '0').constData(), at);
        modemResult("OK", at);
        return;
    }
    modemResult("OK", at);  // AT, ATP, ATT, AT&K0, AT&W and the rest
}

void Torv2Simulator::advance(qint64 nowUs) {
    std::lock_guard lock(mutex_);
    runEvents(nowUs);
}

void Torv2Simulator::runEvents(qint64 nowUs) {
    if (dialDoneAt_ >= 0 && nowUs >= dialDoneAt_) {
        const qint64 at = dialDoneAt_;
        dialDoneAt_ = -1;
        modemState_ = ModemState::Command;
        switch (options_.modemAnswer) {
        case ModemAnswer::Connect:
            carrier_ = true;
            modemState_ = ModemState::Data;
            plusCount_ = 0;
            state_ = DeviceState::Asleep;
            modemResult("CONNECT 9600", at);
            break;
        case ModemAnswer::Busy: modemResult("BUSY", at); break;
        case ModemAnswer::NoCarrier: modemResult("NO CARRIER", at); break;
        case ModemAnswer::NoAnswer: break;
        }
    }
    if (escapeAt_ >= 0 && nowUs >= escapeAt_) {
        const qint64 at = escapeAt_;
        escapeAt_ = -1;
        plusCount_ = 0;
        modemState_ = ModemState::Command;
        modemResult("OK", at);
    }
}

// --- bytes out -------------------------------------------------------------------------------

void Torv2Simulator::sendClean(const QByteArray &bytes, qint64 at) {
    double t = std::max(double(at), lastOutDue_);
    for (char c : bytes) {
        t += byteUs();
        lastOutDue_ = t;
        out_.push_back({uint8_t(c), qint64(std::llround(t))});
    }
}

void Torv2Simulator::sendReply(const QByteArray &bytes, qint64 at, char kind) {
    SimFaults &f = options_.faults;
    std::vector<int> dropHere, corruptHere;
    if (kind == kFlashCommand || kind == kRamCommand) {
        dropHere.swap(f.dropInNextRead);
        corruptHere.swap(f.corruptInNextRead);
    }
    auto listed = [](const std::vector<int> &v, int i) { return std::find(v.begin(), v.end(), i) != v.end(); };
    double t = std::max(double(at), lastOutDue_);
    SimFaultRecord record{kind, int(bytes.size()), {}, {}, {}};
    for (int i = 0; i < bytes.size(); ++i) {
        // The same draws for every byte keep a run reproducible whatever the rates.
        const double corrupt = rng_.unit(), drop = rng_.unit(), stall = rng_.unit();
        const uint32_t bit = rng_.next() % 8;
        if (stall < f.stallRate) {
            t += f.stallMs * 1000.0;
            record.stalled.push_back(i);
        }
        t += f.byteGapUs + byteUs();
        lastOutDue_ = t;
        if (drop < f.dropRate || listed(dropHere, i)) {
            record.dropped.push_back(i);
            continue;
        }
        uint8_t b = uint8_t(bytes[i]);
        if (corrupt < f.corruptRate || listed(corruptHere, i)) {
            b ^= uint8_t(1u << bit);
            record.corrupted.push_back(i);
        }
        out_.push_back({b, qint64(std::llround(t))});
    }
    counters_.droppedBytes += int(record.dropped.size());
    counters_.corruptedBytes += int(record.corrupted.size());
    if (options_.logReplies || !record.dropped.empty() || !record.corrupted.empty() || !record.stalled.empty())
        faultLog_.push_back(std::move(record));
}

std::vector<SimFaultRecord> Torv2Simulator::faultLog() const {
    std::lock_guard lock(mutex_);
    return faultLog_;
}

QByteArray SimFaultRecord::toText() const {
    auto list = [](const std::vector<int> &v) {
        QByteArray t;
        for (int i : v)
            t += (t.isEmpty() ? "" : ",") + QByteArray::number(i);
        return t.isEmpty() ? QByteArray("-") : t;
    };
    return QByteArray(1, kind) + ' ' + QByteArray::number(length) + ' ' + list(dropped) + ' ' + list(corrupted) + ' ' +
           list(stalled);
}

bool SimFaultRecord::fromText(const QByteArray &line, SimFaultRecord &r) {
    const QList<QByteArray> f = line.trimmed().split(' ');
    if (f.size() != 5 || f[0].size() != 1)
        return false;
    auto list = [](const QByteArray &t, std::vector<int> &v) {
        v.clear();
        if (t == "-")
            return true;
        for (const QByteArray &n : t.split(',')) {
            bool ok = false;
            v.push_back(n.toInt(&ok));
            if (!ok)
                return false;
        }
        return true;
    };
    bool ok = false;
    r.kind = f[0][0];
    r.length = f[1].toInt(&ok);
    return ok && list(f[2], r.dropped) && list(f[3], r.corrupted) && list(f[4], r.stalled);
}

qint64 Torv2Simulator::nextEventUs() const {
    std::lock_guard lock(mutex_);
    qint64 next = out_.empty() ? -1 : out_.front().due;
    for (qint64 e : {dialDoneAt_, escapeAt_})
        if (e >= 0 && (next < 0 || e < next))
            next = e;
    return next;
}

int Torv2Simulator::available(qint64 nowUs) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const OutByte &o : out_) {
        if (o.due > nowUs)
            break;
        ++n;
    }
    return n;
}

bool Torv2Simulator::takeByte(uint8_t &b, qint64 nowUs) {
    std::lock_guard lock(mutex_);
    if (out_.empty() || out_.front().due > nowUs)
        return false;
    b = out_.front().b;
    out_.pop_front();
    ++counters_.bytesOut;
    return true;
}

}  // namespace torv
