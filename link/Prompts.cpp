#include "link/Prompts.h"

namespace torv {

QString PromptCountdown::lineText(int seconds) {
    return QStringLiteral("Время ожидания вашего выбора:") + QString::number(seconds) + QStringLiteral(" сек.");
}

bool PromptCountdown::tick(int &countdown, int &answer, QString &line) {
    if (countdown <= 0) {
        countdown = 0;
        return false;
    }
    if (countdown == 1) {
        countdown = 0;
        answer = AnswerNo;
        line.clear();
        return true;
    }
    --countdown;
    line = lineText(countdown);
    return false;
}

QString Prompts::NoticeCaption(const QString &text) {
    return text.left(6) == QStringLiteral("Ошибка") ? QStringLiteral("Ошибка") : QStringLiteral("Сообщение");
}

PromptRequest Prompts::MakeNotice(const QString &text, int countdown) {
    PromptRequest r;
    r.kind = PromptRequest::Notice;
    r.caption = NoticeCaption(text);
    r.lines = QStringList{QString(), text};
    r.countdown = countdown;
    r.width = 500;
    r.height = 175;
    return r;
}

PromptRequest Prompts::MakeTitled(const QString &title, const QStringList &lines, int countdown) {
    PromptRequest r;
    r.kind = PromptRequest::Titled;
    r.caption = title;
    r.lines = lines;
    r.countdown = countdown;
    r.width = 500;
    r.height = 150;
    return r;
}

PromptRequest Prompts::MakeYesNo(const QString &text, const QString &caption, int countdown) {
    PromptRequest r;
    r.kind = PromptRequest::YesNo;
    r.caption = caption;
    r.lines = QStringList{QString(), text};
    r.countdown = countdown;
    r.width = 500;
    r.height = 137;
    return r;
}

int Prompts::ShowNotice(const QString &text, int countdown) {
    int a = present(MakeNotice(text, countdown));
    lastAnswer_ = a;
    return a;
}

int Prompts::ShowTitled(const QString &title, const QStringList &lines, int countdown) {
    int a = present(MakeTitled(title, lines, countdown));
    lastAnswer_ = a;
    return a;
}

int Prompts::AskYesNo(const QString &text, const QString &caption, int countdown) {
    int a = present(MakeYesNo(text, caption, countdown));
    lastAnswer_ = a;
    return a;
}

void Prompts::ErrorBox(const QString &text) { presentBox({MessageBoxRequest::Error, QStringLiteral("Torv2a"), text}); }

void Prompts::InfoBox(const QString &text) {
    presentBox({MessageBoxRequest::Information, QStringLiteral("Torv2a"), text});
}

bool Prompts::ConfirmOkCancel(const QString &text) {
    return presentBox({MessageBoxRequest::OkCancel, QStringLiteral("Warning"), text});
}

bool Prompts::ConfirmYesNo(const QString &text) {
    return presentBox({MessageBoxRequest::YesNo, QStringLiteral("Confirm"), text});
}

void ScriptedPrompts::push(int answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

std::vector<PromptRequest> ScriptedPrompts::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<MessageBoxRequest> ScriptedPrompts::boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

QStringList ScriptedPrompts::texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
}

void ScriptedPrompts::clear() {
    std::lock_guard lock(mutex_);
    answers_.clear();
    requests_.clear();
    boxes_.clear();
    texts_.clear();
}

int ScriptedPrompts::present(const PromptRequest &request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    texts_.push_back(request.text().trimmed());
    if (!answers_.empty()) {
        int a = answers_.front();
        answers_.pop_front();
        return a;
    }
    if (request.countdown > 0)
        return AnswerNo;
    return request.kind == PromptRequest::YesNo ? defaultAnswer_ : AnswerYes;
}

bool ScriptedPrompts::presentBox(const MessageBoxRequest &request) {
    std::lock_guard lock(mutex_);
    boxes_.push_back(request);
    texts_.push_back(request.text);
    if (request.kind != MessageBoxRequest::OkCancel && request.kind != MessageBoxRequest::YesNo)
        return true;
    if (!answers_.empty()) {
        int a = answers_.front();
        answers_.pop_front();
        return a == AnswerYes;
    }
    return defaultAnswer_ == AnswerYes;
}

}  // namespace torv
