#include "protocol/ExchangeTime.h"

#include "link/LinkContext.h"

namespace torv {

namespace {

const QString kOverTimeQuestion = QStringLiteral(
    "Ошибка 23:Превышено время опроса прибора 5 минуты. Уменьшите глубину скачивания ахрива и повторите "
    "попытку. При продолжении опроса в приборе возникает нештатная ситуация. Продолжить опрос?");

QString ElapsedText(qint64 ms) {
    if (ms < 0)
        ms = 0;
    const qint64 s = ms / 1000;
    return QString::asprintf("%02lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
}

}  // namespace

void ShowExchangeDuration(LinkContext &app) {
    app.status().setText(Role::Label15, QStringLiteral("Длительность опроса: ") +
                                            ElapsedText(app.clock().monotonicMs() - app.status().shownAt()));
}

bool CheckExchangeTime(LinkContext &app) {
    if (app.clock().monotonicMs() - app.status().shownAt() <= kExchangeTimeLimitMs)
        return true;
    if (app.prompts().AskYesNo(kOverTimeQuestion, QStringLiteral("Ошибка"), 20) != AnswerYes) {
        app.abortState = AbortDeclined;
        return false;
    }
    app.status().setShownAt(app.clock().monotonicMs());
    return true;
}

}  // namespace torv
