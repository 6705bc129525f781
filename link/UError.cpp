#include "link/UError.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace torv {

TFError::TFError(Clock &clock, QWidget *parent) : QDialog(parent), Timer1(clock.createTimer()) {
    setObjectName(QStringLiteral("TFError"));
    setWindowTitle(QStringLiteral("Сообщение"));
    setModal(true);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Label1 = new QLabel(this);
    Button1 = new QPushButton(QStringLiteral("Далее"), this);
    Button2 = new QPushButton(QStringLiteral("Нет"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Label1, 1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Memo1, 1);
    layout->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &TFError::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFError::Button2Click);
    Timer1->onTimeout = [this] { Timer1Timer(); };
    resize(500, 175);
}

TFError::~TFError() = default;

void TFError::Prepare(const PromptRequest &r) {
    kind_ = r.kind;
    setWindowTitle(r.caption);
    Memo1->setPlainText(r.lines.join(QLatin1Char('\n')));
    Label1->clear();
    if (r.kind == PromptRequest::YesNo) {
        Button1->setText(QStringLiteral("Да"));
        Button2->setVisible(true);
    } else {
        Button1->setText(QStringLiteral("Далее"));
        Button2->setVisible(false);
    }
    Countdown = r.countdown;
    resize(r.width, r.height);
}

int TFError::Present(const PromptRequest &r) {
    Prepare(r);
    answered_ = false;
    Timer1->start(1000);
    exec();
    Timer1->stop();
    if (!answered_)  // the program is quitting: a question is answered "Нет"
        Answer = r.kind == PromptRequest::YesNo ? AnswerNo : AnswerYes;
    Countdown = 0;
    return Answer;
}

void TFError::Timer1Timer() {
    QString line = Label1->text();
    const bool close = PromptCountdown::tick(Countdown, Answer, line);
    Label1->setText(line);
    if (Countdown == 0 && !close)
        Timer1->stop();
    if (close) {
        Timer1->stop();
        answered_ = true;
        done(QDialog::Rejected);
    }
}

void TFError::Button1Click() {
    Answer = AnswerYes;
    Countdown = 0;
    answered_ = true;
    done(QDialog::Accepted);
}

void TFError::Button2Click() {
    Answer = AnswerNo;
    Countdown = 0;
    answered_ = true;
    done(QDialog::Rejected);
}

// The close box (or Escape) answers a question with "Нет" and a notice with "Далее",
// so a closed question never continues on the answer of an earlier one.
void TFError::closeEvent(QCloseEvent *e) {
    if (!answered_) {
        Answer = kind_ == PromptRequest::YesNo ? AnswerNo : AnswerYes;
        Countdown = 0;
        answered_ = true;
    }
    QDialog::closeEvent(e);
}

void TFError::reject() {
    if (!answered_) {
        Answer = kind_ == PromptRequest::YesNo ? AnswerNo : AnswerYes;
        Countdown = 0;
        answered_ = true;
    }
    QDialog::reject();
}

}  // namespace torv
