#include "base/CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace torv {

uint8_t Cp866ToWin(uint8_t b, int mode) {
    if (mode == 1) {
        if (b >= 0x80 && b <= 0xAF)
            return uint8_t(b + 0x40);
        if (b >= 0xE0 && b <= 0xEF)
            return uint8_t(b + 0x10);
        return b;
    }
    if (b >= 0xC0 && b <= 0xEF)
        return uint8_t(b - 0x40);
    if (b >= 0xF0)
        return uint8_t(b - 0x10);
    return b;
}

QByteArray Cp866ToWin(const QByteArray &bytes, int mode) {
    QByteArray out(bytes);
    for (auto &c : out)
        c = char(Cp866ToWin(uint8_t(c), mode));
    return out;
}

QString FromCp1251(const QByteArray &bytes) {
    QStringDecoder d("windows-1251");
    return d.decode(bytes);
}

QByteArray ToCp1251(const QString &text) {
    QStringEncoder e("windows-1251", QStringEncoder::Flag::Stateless);
    QByteArray out = e.encode(text);
    return out;
}

QString FromCp866(const QByteArray &bytes) {
    QStringDecoder d("IBM866");
    return d.decode(bytes);
}

QByteArray ToCp866(const QString &text) {
    QStringEncoder e("IBM866", QStringEncoder::Flag::Stateless);
    return e.encode(text);
}

}  // namespace torv
