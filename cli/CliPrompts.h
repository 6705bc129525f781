// Prompts of the command-line front end: every text goes to standard error; questions are answered
// by a fixed policy, since nobody sits at the terminal of an unattended download:
//  - a question with a countdown takes its timeout answer, "Нет", as the window would;
//  - a question without a countdown takes "Нет", the answer that never starts anything new, loses
//    nothing and ends a loop that would otherwise wait for the user ("Повторить попытку?");
//  - notices are printed and continue.
// Every answer given is printed with the question.
#pragma once

#include "link/Prompts.h"

#include <QStringList>
#include <mutex>

namespace torv {

class CliPrompts final : public Prompts {
public:
    // Texts shown so far (notices, questions and boxes), for the caller's summary.
    QStringList shown() const;
    int errorCount() const;
    // The next yes/no question takes `answer` (a command's --yes); later ones the policy above.
    void answerNextQuestion(int answer);

protected:
    int present(const PromptRequest &request) override;
    bool presentBox(const MessageBoxRequest &request) override;

private:
    void print(const QString &line);
    mutable std::mutex mutex_;
    QStringList shown_;
    int errors_ = 0;
    int nextAnswer_ = 0;
};

}  // namespace torv
