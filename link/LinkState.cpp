#include "link/LinkState.h"

namespace torv {

LinkState::LinkState() = default;
LinkState::~LinkState() = default;

}  // namespace torv
