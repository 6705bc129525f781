// The prompt window TFError: notices and timed yes/no questions.
#pragma once

#include "link/Clock.h"
#include "link/Prompts.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace torv {

class TFError : public QDialog {
    Q_OBJECT
public:
    TFError(Clock &clock, QWidget *parent = nullptr);
    ~TFError() override;

    // Lays the window out for a request without showing it.
    void Prepare(const PromptRequest &request);
    // Shows the request modally; returns the answer (1 "Да"/"Далее", 2 "Нет" or expired).
    int Present(const PromptRequest &request);

    int Answer = AnswerNone;  // last answer
    int Countdown = 0;        // seconds left; 0 = none

    QPlainTextEdit *Memo1;
    QLabel *Label1;        // countdown line
    QPushButton *Button1;  // "Да" / "Далее"
    QPushButton *Button2;  // "Нет"

public slots:
    void Button1Click();
    void Button2Click();
    void Timer1Timer();

protected:
    void closeEvent(QCloseEvent *e) override;
    void reject() override;

private:
    std::unique_ptr<ClockTimer> Timer1;
    PromptRequest::Kind kind_ = PromptRequest::Notice;
    bool answered_ = false;
};

}  // namespace torv
