#include "link/LinkState.h"

#include "sim/Simulator.h"

namespace torv {

LinkState::LinkState() = default;
LinkState::~LinkState() = default;

}  // namespace torv
