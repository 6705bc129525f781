// Configuration images and parameter log records for the parameter archive and registry tests.
#pragma once

#include "device/DevData.h"
#include "sim/Scenario.h"

#include <QByteArray>
#include <QString>
#include <cstring>
#include <initializer_list>

namespace torvtest {

// Packed BCD time stamp of a log record.
struct Stamp {
    int minute, hour, day, month, year;  // year: two digits
};

// A 16-byte record: class letter, bytes 1 and 2, the BCD time stamp; other bytes zero.
inline QByteArray LogRecord(char cls, uint8_t b1, uint8_t b2, Stamp s) {
    QByteArray r(16, '\0');
    r[0] = cls;
    r[1] = char(b1);
    r[2] = char(b2);
    r[3] = char(torv::image::Bcd(s.minute));
    r[4] = char(torv::image::Bcd(s.hour));
    r[5] = char(torv::image::Bcd(s.day));
    r[6] = char(torv::image::Bcd(s.month));
    r[7] = char(torv::image::Bcd(s.year));
    return r;
}

inline QByteArray WithFloat(QByteArray r, int offset, float v) {
    torv::PutFloat(r, offset, v);
    return r;
}

inline QByteArray WithByte(QByteArray r, int offset, uint8_t v) {
    r[offset] = char(v);
    return r;
}

inline QByteArray WithWord(QByteArray r, uint16_t word) {
    r[1] = char(word & 0xFF);
    r[2] = char(word >> 8);
    return r;
}

// Sets channel n's medium and sensor words (word k at record bytes 1 + 2k).
inline void PutChannel(QByteArray &image, int n, char medium, std::initializer_list<uint16_t> words) {
    const int at = torv::img::kChannelRecords + torv::img::kChannelRecordSize * (n - 1);
    image[at] = medium;
    int k = 0;
    for (uint16_t w : words)
        torv::PutU16(image, at + 1 + 2 * k++, w);
}

inline constexpr uint16_t Word(char cls, int index) { return uint16_t(uint8_t(cls) | (index << 8)); }

// Channel 1 gas orifice with two differential-pressure sensors, channel 2 gas flowmeter, channel 3
// steam orifice with one, channel 4 unused. Every sensor word is different.
inline QByteArray GasImage() {
    QByteArray image(torv::img::kSize, char(0xFF));
    PutChannel(image, 1, 'D', {Word('I', 1), Word('1', 0), Word('I', 2), Word('I', 3), Word('F', 2)});
    PutChannel(image, 2, 'V', {Word('I', 5), Word('F', 0), Word('F', 3)});
    PutChannel(image, 3, 'S', {Word('I', 9), Word('F', 5), Word('I', 10), Word('D', 1), Word('F', 6)});
    return image;
}

// Channel 1 heat (eight words), channel 2 temperature only.
inline QByteArray HeatImage() {
    QByteArray image(torv::img::kSize, char(0xFF));
    PutChannel(image, 1, 'H',
               {Word('I', 1), Word('1', 0), Word('I', 2), Word('I', 3), Word('I', 5), Word('1', 4), Word('I', 6),
                Word('I', 7)});
    PutChannel(image, 2, 'T', {Word('I', 8)});
    return image;
}

}  // namespace torvtest
