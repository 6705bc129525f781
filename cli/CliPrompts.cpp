#include "cli/CliPrompts.h"

#include <cstdio>

namespace torv {

void CliPrompts::print(const QString &line) {
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

QStringList CliPrompts::shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

int CliPrompts::errorCount() const {
    std::lock_guard lock(mutex_);
    return errors_;
}

void CliPrompts::answerNextQuestion(int answer) {
    std::lock_guard lock(mutex_);
    nextAnswer_ = answer;
}

int CliPrompts::present(const PromptRequest &r) {
    const QString text = r.text().trimmed();
    int given = 0;
    {
        std::lock_guard lock(mutex_);
        shown_ << text;
        if (r.caption == QStringLiteral("Ошибка"))
            ++errors_;
        if (r.kind == PromptRequest::YesNo) {
            given = nextAnswer_;
            nextAnswer_ = 0;
        }
    }
    if (given) {
        print(
            QStringLiteral("[") + r.caption + QStringLiteral("] ") + text +
            (given == AnswerYes ? QStringLiteral(" — ответ по параметру --yes: Да") : QStringLiteral(" — ответ: Нет")));
        return given;
    }
    if (r.kind != PromptRequest::YesNo) {
        print(QStringLiteral("[") + r.caption + QStringLiteral("] ") + text);
        return r.countdown > 0 ? AnswerNo : AnswerYes;
    }
    print(QStringLiteral("[") + r.caption + QStringLiteral("] ") + text +
          (r.countdown > 0 ? QStringLiteral(" — ответ по истечении времени: Нет")
                           : QStringLiteral(" — ответ без участия пользователя: Нет")));
    return AnswerNo;
}

bool CliPrompts::presentBox(const MessageBoxRequest &r) {
    {
        std::lock_guard lock(mutex_);
        shown_ << r.text;
        if (r.kind == MessageBoxRequest::Error)
            ++errors_;
    }
    const bool question = r.kind == MessageBoxRequest::OkCancel || r.kind == MessageBoxRequest::YesNo;
    print(QStringLiteral("[") + r.caption + QStringLiteral("] ") + r.text +
          (question ? QStringLiteral(" — ответ без участия пользователя: Нет") : QString()));
    return false;
}

}  // namespace torv
