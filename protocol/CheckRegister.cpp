#include "protocol/CheckRegister.h"

namespace torv {

void CheckStep(uint16_t &r, uint8_t b) {
    for (int i = 0; i < 8; ++i) {
        const int f = ((r >> 15) & 1) ^ ((r >> 11) & 1) ^ ((r >> 8) & 1) ^ ((r >> 6) & 1) ^ (b & 1);
        r = uint16_t((r << 1) | f);
        b >>= 1;
    }
}

uint16_t CheckValue(const QByteArray &data) {
    uint16_t r = 0;
    for (char c : data)
        CheckStep(r, uint8_t(c));
    return r;
}

}  // namespace torv
