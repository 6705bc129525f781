#include "link/Prompts.h"

#include <gtest/gtest.h>

using namespace torv;

TEST(Prompts, NoticeCaptionRule) {
    const struct {
        const char *text;
        const char *caption;
    } cases[] = {
        {"Ошибка31: Отсутствует связь с прибором. Пожалуйста проверте подключение", "Ошибка"},
        {"Ошибка 5:", "Ошибка"},
        {"Ошибка", "Ошибка"},
        {"Ошбика 34. С прибора получен некорректный номер: ", "Сообщение"},
        {"Ошиб", "Сообщение"},
        {"Данные успешно удалены", "Сообщение"},
        {" Ошибка", "Сообщение"},
        {"", "Сообщение"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Prompts::NoticeCaption(QString::fromUtf8(c.text)), QString::fromUtf8(c.caption)) << c.text;
}

TEST(Prompts, RequestLayouts) {
    PromptRequest n = Prompts::MakeNotice(QStringLiteral("Прибор не выбран"), 0);
    EXPECT_EQ(n.kind, PromptRequest::Notice);
    EXPECT_EQ(n.lines, (QStringList{QString(), QStringLiteral("Прибор не выбран")}));
    EXPECT_EQ(n.width, 500);
    EXPECT_EQ(n.height, 175);
    PromptRequest t = Prompts::MakeTitled(QStringLiteral("Заголовок"), {"a", "b"}, 0);
    EXPECT_EQ(t.caption, QStringLiteral("Заголовок"));
    EXPECT_EQ(t.lines, (QStringList{"a", "b"}));
    EXPECT_EQ(t.height, 150);
    PromptRequest q = Prompts::MakeYesNo(QStringLiteral("Продолжить?"), QStringLiteral("Подтверждение"), 15);
    EXPECT_EQ(q.caption, QStringLiteral("Подтверждение"));
    EXPECT_EQ(q.countdown, 15);
    EXPECT_EQ(q.height, 137);
}

// The one-second tick: a countdown of N closes after N ticks with "Нет".
TEST(Prompts, CountdownTicks) {
    int countdown = 3, answer = AnswerNone;
    QString line;
    EXPECT_FALSE(PromptCountdown::tick(countdown, answer, line));
    EXPECT_EQ(line, QStringLiteral("Время ожидания вашего выбора:2 сек."));
    EXPECT_FALSE(PromptCountdown::tick(countdown, answer, line));
    EXPECT_EQ(line, QStringLiteral("Время ожидания вашего выбора:1 сек."));
    EXPECT_EQ(answer, AnswerNone);
    EXPECT_TRUE(PromptCountdown::tick(countdown, answer, line));
    EXPECT_EQ(answer, AnswerNo);
    EXPECT_EQ(countdown, 0);
    EXPECT_TRUE(line.isEmpty());

    int none = 0;
    answer = AnswerYes;
    EXPECT_FALSE(PromptCountdown::tick(none, answer, line));
    EXPECT_EQ(answer, AnswerYes);
    int negative = -4;
    EXPECT_FALSE(PromptCountdown::tick(negative, answer, line));
    EXPECT_EQ(negative, 0);
}

TEST(Prompts, ScriptedAnswersAndRecords) {
    ScriptedPrompts p;
    p.push(AnswerNo);
    EXPECT_EQ(p.AskYesNo(QStringLiteral("Повторить?"), QStringLiteral("Ошибка")), AnswerNo);
    EXPECT_EQ(p.lastAnswer(), AnswerNo);
    // With the queue empty a countdown question takes its timeout answer, others the default.
    EXPECT_EQ(
        p.AskYesNo(QStringLiteral("Ошибка 3:Прибор не отвечает. Повторить попытку?"), QStringLiteral("Ошибка"), 15),
        AnswerNo);
    EXPECT_EQ(p.AskYesNo(QStringLiteral("Запомнить?"), QStringLiteral("Подтверждение")), AnswerYes);
    EXPECT_EQ(p.ShowNotice(QStringLiteral("Ошибка31: x")), AnswerYes);
    ASSERT_EQ(p.requests().size(), 4u);
    EXPECT_EQ(p.requests()[3].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(p.texts()[1], QStringLiteral("Ошибка 3:Прибор не отвечает. Повторить попытку?"));
}
