// The 16-bit check register of the device's reply blocks.
#pragma once

#include <QByteArray>
#include <cstdint>

namespace torv {

// One step: eight times, feedback = bit 15 ^ bit 11 ^ bit 8 ^ bit 6 of r ^ bit 0 of b;
// r = (r << 1) | feedback; b >>= 1. Data bits enter least significant first.
void CheckStep(uint16_t &r, uint8_t b);
// The register over a whole block, started at 0.
uint16_t CheckValue(const QByteArray &data);

}  // namespace torv
