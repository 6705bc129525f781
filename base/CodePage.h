// Code pages of the device and of the program's files.
// Device texts are code page 866; program texts, reports and the settings file are Windows-1251.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace torv {

// The protocol's byte rule between code page 866 and Windows-1251 for the letters А…я only.
// Mode 1: device to display (0x80–0xAF → +0x40, 0xE0–0xEF → +0x10); any other mode: the reverse
// (0xC0–0xEF → −0x40, 0xF0–0xFF → −0x10). Every other byte is unchanged.
uint8_t Cp866ToWin(uint8_t b, int mode);
QByteArray Cp866ToWin(const QByteArray &bytes, int mode);

// Full text conversions.
QString FromCp1251(const QByteArray &bytes);
QByteArray ToCp1251(const QString &text);  // characters without a cp1251 form become '?'
QString FromCp866(const QByteArray &bytes);
QByteArray ToCp866(const QString &text);

}  // namespace torv
