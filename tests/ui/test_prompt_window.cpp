#include "app/App.h"
#include "app/ExchangeRunner.h"
#include "link/UError.h"
#include "ui/GuiPrompts.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using namespace torv;

namespace {
struct PromptFixture : ::testing::Test {
    VirtualClock clock;
    TFError window{clock};
    GuiPrompts prompts{&window, nullptr};
};
}  // namespace

TEST_F(PromptFixture, CountdownThreeAnswersNoAfterThreeSeconds) {
    QString lineAfterOne;
    bool visibleAtTwo = false;
    QTimer::singleShot(0, [&] {
        clock.advance(1000);
        lineAfterOne = window.Label1->text();
        clock.advance(1000);
        visibleAtTwo = window.isVisible();
        clock.advance(1000);
    });
    const int answer = prompts.AskYesNo(QStringLiteral("Ошибка 3:Прибор не отвечает. Повторить попытку?"),
                                        QStringLiteral("Ошибка"), 3);
    EXPECT_EQ(answer, AnswerNo);
    EXPECT_EQ(prompts.lastAnswer(), AnswerNo);
    EXPECT_EQ(lineAfterOne, QStringLiteral("Время ожидания вашего выбора:2 сек."));
    EXPECT_TRUE(visibleAtTwo);
    EXPECT_EQ(clock.monotonicMs(), 3000);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.Countdown, 0);
}

TEST_F(PromptFixture, NoCountdownWaitsForTheUser) {
    bool stillOpen = false;
    QTimer::singleShot(0, [&] {
        clock.advance(600 * 1000);
        stillOpen = window.isVisible();
        window.Button1->click();
    });
    EXPECT_EQ(
        prompts.AskYesNo(QStringLiteral("Вы действительно хотите удалить архивы?"), QStringLiteral("Подтверждение")),
        AnswerYes);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Подтверждение"));
    EXPECT_EQ(window.Memo1->toPlainText(), QStringLiteral("\nВы действительно хотите удалить архивы?"));
    EXPECT_EQ(window.width(), 500);
}

TEST_F(PromptFixture, NoticeLayoutAndCaption) {
    struct Case {
        QString text, caption;
    } cases[] = {{QStringLiteral("Ошибка31: Отсутствует связь с прибором. Пожалуйста проверте подключение"),
                  QStringLiteral("Ошибка")},
                 {QStringLiteral("Данные успешно удалены"), QStringLiteral("Сообщение")}};
    for (const Case &c : cases) {
        bool noHidden = false;
        QString button;
        QTimer::singleShot(0, [&] {
            noHidden = !window.Button2->isVisible();
            button = window.Button1->text();
            window.Button1->click();
        });
        EXPECT_EQ(prompts.ShowNotice(c.text), AnswerYes);
        EXPECT_EQ(window.windowTitle(), c.caption);
        EXPECT_TRUE(noHidden);
        EXPECT_EQ(button, QStringLiteral("Далее"));
        EXPECT_EQ(window.height(), 175);
    }
}

TEST_F(PromptFixture, ClosingAQuestionAnswersNo) {
    QTimer::singleShot(0, [&] { window.close(); });
    EXPECT_EQ(prompts.AskYesNo(QStringLiteral("Продолжить опрос?"), QStringLiteral("Ошибка")), AnswerNo);
}

// An exchange on the worker thread asks; the window answers on the GUI thread.
TEST(PromptAcrossThreads, WorkerQuestionIsAnsweredOnTheGuiThread) {
    RealClock clock;
    LinkStatus status;
    RecordingProcessControl proc;
    TFError window(clock);
    GuiPrompts prompts(&window, nullptr);
    App app(QStringLiteral("/tmp"), Seams{&clock, &prompts, &status, &proc});
    ThreadExchangeRunner runner;

    QThread *promptThread = nullptr;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.isVisible()) {
            promptThread = QThread::currentThread();
            window.Button2->click();
        }
    });
    poll.start(5);
    int answer = 0;
    QThread *jobThread = nullptr;
    runner.run([&] {
        jobThread = QThread::currentThread();
        app.status().setText(Role::StaticText2, QStringLiteral("Считывание настроек с прибора"));
        answer = app.prompts().AskYesNo(QStringLiteral("Продолжить опрос?"), QStringLiteral("Ошибка"), 0);
    });
    EXPECT_EQ(answer, AnswerNo);
    EXPECT_NE(jobThread, QThread::currentThread());
    EXPECT_EQ(promptThread, QThread::currentThread());
    EXPECT_EQ(status.text(Role::StaticText2), QStringLiteral("Считывание настроек с прибора"));
}
