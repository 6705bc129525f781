// The time an exchange with the device takes: the duration line of the link status window and the
// five-minute question of long exchanges (the device warns that a longer exchange disturbs it).
#pragma once

#include <QtGlobal>

namespace torv {

class LinkContext;

constexpr qint64 kExchangeTimeLimitMs = 5 * 60 * 1000;

// The five-minute question: false (abort state 2) when the user declined or did not answer; true
// to go on (the elapsed time starts again).
bool CheckExchangeTime(LinkContext &app);
// "Длительность опроса: " with the time since the link status window was shown.
void ShowExchangeDuration(LinkContext &app);

}  // namespace torv
