// The waits a download must spend on a noisy line, worked out from the device's reply log alone
// (torv2-sim --reply-log): which reply lost or garbled which byte. It walks the replies in the
// order they were sent with the program's documented rules and adds up every wait those rules
// give for the damage: the byte time limit of a byte that never came, the port reset of the
// reopening that follows a status that is not clean, the handshake's purge, pauses and repeats.
// A garbled byte of a block costs no wait (the block is complete; only its check fails).
#pragma once

#include "sim/Simulator.h"

#include <vector>

namespace torv {

struct PrescribedWaits {
    // The program's wait constants.
    static constexpr double kIdleMs = 99 * 5.0;       // WaitData without the long-wait flag
    static constexpr double kLongIdleMs = 799 * 5.0;  // WaitData with it
    static constexpr double kUnitMs = 55;             // one read time-limit unit
    static constexpr double kResetMs = 100;           // port reset of a reopened link
    static constexpr double kPurgeSleepMs = 10;       // after each purge read
    static constexpr int kBlockByteLimit = 10;        // block reads and the current-values packet

    int answerUnit = 50;  // T of the settings

    int timeouts = 0;  // byte time limits that ran out
    int resets = 0;    // port resets of reopened links
    int failedHandshakeAttempts = 0;
    int droppedBytes = 0;  // they took their line time all the same
    double timeoutMs = 0, resetMs = 0, purgeMs = 0, pauseMs = 0;

    double totalMs() const { return timeoutMs + resetMs + purgeMs + pauseMs; }

    void Add(const std::vector<SimFaultRecord> &replies) {
        repeatCounter_ = 0;
        secondAttemptDue_ = false;
        for (const SimFaultRecord &r : replies) {
            droppedBytes += int(r.dropped.size());
            switch (r.kind) {
            case 'S': Handshake(r); break;
            case 'F':
            case 'R': BlockReply(r); break;
            case 'n': ValuesReply(r); break;
            default: break;
            }
        }
    }

private:
    // The bytes that arrive of one reply, in order: position in the reply and whether it is intact.
    struct Stream {
        std::vector<std::pair<int, bool>> bytes;
        size_t next = 0;
        explicit Stream(const SimFaultRecord &r) {
            for (int i = 0; i < r.length; ++i) {
                if (Contains(r.dropped, i))
                    continue;
                bytes.push_back({i, !Contains(r.corrupted, i)});
            }
        }
        bool empty() const { return next >= bytes.size(); }
        std::pair<int, bool> take() { return bytes[next++]; }
        size_t left() const { return bytes.size() - next; }
    };

    static bool Contains(const std::vector<int> &v, int i) {
        for (int x : v)
            if (x == i)
                return true;
        return false;
    }

    void Timeout(int limit, bool longWait) {
        ++timeouts;
        timeoutMs += (longWait ? kLongIdleMs : kIdleMs) + limit * kUnitMs;
    }
    void Reset() {
        ++resets;
        resetMs += kResetMs;
    }

    // A block read reply: count data bytes and two check bytes. The data loop stops at the first
    // byte that does not come; both check bytes are read when the data came complete.
    void BlockReply(const SimFaultRecord &r) {
        if (r.kind == 'F' && r.dropped.empty() && r.corrupted.empty())
            repeatCounter_ = 0;  // a good flash block
        if (r.dropped.empty())
            return;
        const int count = r.length - 2;
        const int arrived = r.length - int(r.dropped.size());
        if (arrived < count) {
            Timeout(kBlockByteLimit, arrived == 0);
        } else {
            if (arrived == count)
                Timeout(kBlockByteLimit, false);  // low check byte
            Timeout(kBlockByteLimit, false);      // high check byte
        }
        Reset();  // the status is not clean: the next read reopens the link for its handshake
    }

    // The current-values packet: all its bytes are read whatever came.
    void ValuesReply(const SimFaultRecord &r) {
        for (size_t i = 0; i < r.dropped.size(); ++i)
            Timeout(kBlockByteLimit, false);
        if (!r.dropped.empty())
            Reset();
    }

    // One reply to "SYS", first or second attempt.
    void Handshake(const SimFaultRecord &r) {
        const int T = answerUnit;
        Stream s(r);
        bool clean = true;
        bool acknowledged = false;
        auto read = [&](int limit, bool longWait) {
            if (s.empty()) {
                Timeout(limit, longWait);
                clean = false;
                return std::pair<int, bool>{-1, false};
            }
            return s.take();
        };
        const bool second = secondAttemptDue_;
        secondAttemptDue_ = false;
        const auto first = read(2 * T, true);
        acknowledged = clean && first.first == 0 && first.second;
        if (!second) {
            if (clean) {
                for (int i = 0; i < 7; ++i)
                    read(2 * T, false);
                read(2 * T, false);
            }
            if (acknowledged && clean)
                for (int i = 0; i < 7; ++i)
                    read(T, false);
            if (clean)
                read(2 * T, false);
        } else {
            if (clean)
                for (int i = 0; i < 7; ++i)
                    read(acknowledged ? 3 * T + 120 : 3 * T, false);
            if (acknowledged && clean)
                read(2 * T, false);
            if (acknowledged && clean)
                for (int i = 0; i < 7; ++i)
                    read(3 * T, false);
            if (acknowledged && clean)
                read(2 * T, false);
        }
        if (acknowledged && clean) {
            repeatCounter_ = 0;  // the serial number is taken
            return;
        }
        ++failedHandshakeAttempts;
        if (!second) {
            // Second attempt: pause, purge what is left until the line is silent, reopen.
            pauseMs += 2000.0 * repeatCounter_;
            if (clean) {
                purgeMs += s.left() * kPurgeSleepMs;
                Timeout(T, false);
                purgeMs += kPurgeSleepMs;
            }
            Reset();  // the purge ends on a read that found nothing: the reopening rebuilds the port
            secondAttemptDue_ = true;
            return;
        }
        ++repeatCounter_;
        if (repeatCounter_ > 4)
            repeatCounter_ = 0;
        pauseMs += 2000;
        if (!clean)
            Reset();
    }

    int repeatCounter_ = 0;
    bool secondAttemptDue_ = false;
};

}  // namespace torv
