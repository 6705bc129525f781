// Prompt seam: the prompt window's notices and timed yes/no questions, and the standard
// message boxes. The caption and layout rules live here so every front end (window, CLI,
// tests) shows the same thing; a front end only presents a ready request and returns the answer.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

namespace torv {

// Answers of the prompt window.
enum PromptAnswer { AnswerNone = 0, AnswerYes = 1, AnswerNo = 2 };

struct PromptRequest {
    enum Kind { Notice, Titled, YesNo };
    Kind kind = Notice;
    QString caption;
    QStringList lines;  // the text area, line by line
    int countdown = 0;  // seconds until the window answers "Нет" by itself; 0 = wait
    int width = 500;
    int height = 175;

    QString text() const { return lines.join(QLatin1Char('\n')); }
};

struct MessageBoxRequest {
    enum Kind { Information, Warning, Error, OkCancel, YesNo };
    Kind kind = Information;
    QString caption;
    QString text;
};

// The countdown line text and the one-second tick of the prompt window.
struct PromptCountdown {
    // One timer tick. Returns true when the window must close (answer "Нет").
    static bool tick(int &countdown, int &answer, QString &line);
    static QString lineText(int seconds);
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // "Ошибка" caption when the text begins with "Ошибка", else "Сообщение"; button "Далее".
    int ShowNotice(const QString &text, int countdown = 0);
    // The caller's lines under its own title; button "Далее".
    int ShowTitled(const QString &title, const QStringList &lines, int countdown = 0);
    // Buttons "Да"/"Нет"; returns 1 or 2 (2 also when the countdown ran out).
    int AskYesNo(const QString &text, const QString &caption, int countdown = 0);

    // Standard message boxes (error box of failed commands, warnings, OK/Cancel confirmations).
    void ErrorBox(const QString &text);
    void InfoBox(const QString &text);
    bool ConfirmOkCancel(const QString &text);
    bool ConfirmYesNo(const QString &text);  // standard confirmation box "Да"/"Нет"

    int lastAnswer() const { return lastAnswer_.load(); }

    static QString NoticeCaption(const QString &text);
    static PromptRequest MakeNotice(const QString &text, int countdown);
    static PromptRequest MakeTitled(const QString &title, const QStringList &lines, int countdown);
    static PromptRequest MakeYesNo(const QString &text, const QString &caption, int countdown);

protected:
    // Shows the request and returns 1 or 2. Called from any thread.
    virtual int present(const PromptRequest &request) = 0;
    // Returns true for OK.
    virtual bool presentBox(const MessageBoxRequest &request) = 0;

private:
    std::atomic<int> lastAnswer_{AnswerNone};
};

// Answers from a queue and records every request: for tests and for scripted runs.
// An empty queue answers a countdown question with its timeout answer (2) and any other
// request with the default answer.
class ScriptedPrompts : public Prompts {
public:
    void push(int answer);
    void setDefaultAnswer(int answer) { defaultAnswer_ = answer; }
    std::vector<PromptRequest> requests() const;
    std::vector<MessageBoxRequest> boxes() const;
    QStringList texts() const;  // each request's text area, joined; boxes included
    void clear();

protected:
    int present(const PromptRequest &request) override;
    bool presentBox(const MessageBoxRequest &request) override;

private:
    mutable std::mutex mutex_;
    std::deque<int> answers_;
    int defaultAnswer_ = AnswerYes;
    std::vector<PromptRequest> requests_;
    std::vector<MessageBoxRequest> boxes_;
    QStringList texts_;
};

}  // namespace torv
