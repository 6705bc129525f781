#include "link/LinkStatus.h"

#include <gtest/gtest.h>

using namespace torv;

TEST(LinkStatus, InitialTextsAndReadBack) {
    LinkStatus s;
    EXPECT_EQ(s.text(Role::StaticText2), QStringLiteral("Настройка"));
    EXPECT_EQ(s.text(Role::StaticText3), QStringLiteral("0"));
    EXPECT_EQ(s.text(Role::StaticText1), QStringLiteral("0%"));
    EXPECT_EQ(s.text(Role::Label9), QStringLiteral("-"));
    EXPECT_EQ(s.text(Role::Label4), QStringLiteral("--------"));
    EXPECT_FALSE(s.roleVisible(Role::Label4));
    s.setText(Role::Label14, QStringLiteral("Чист"));
    EXPECT_EQ(s.text(Role::Label14), QStringLiteral("Чист"));
    s.setProgress(140);
    EXPECT_EQ(s.progress(), 100);
    EXPECT_EQ(s.text(Role::StaticText1), QStringLiteral("100%"));
}

TEST(LinkStatus, PanesKeepABoundedTail) {
    LinkStatus s;
    int signalled = 0;
    QObject::connect(&s, &LinkStatus::lineAdded, [&](int pane, const QString &) {
        EXPECT_EQ(pane, int(Role::RichEdit1));
        ++signalled;
    });
    for (int i = 0; i < LinkStatus::kMaxPaneLines + 10; ++i)
        s.addLine(Role::RichEdit1, QString::number(i));
    EXPECT_EQ(signalled, LinkStatus::kMaxPaneLines + 10);
    const QStringList lines = s.lines(Role::RichEdit1);
    ASSERT_EQ(lines.size(), LinkStatus::kMaxPaneLines);
    EXPECT_EQ(lines.first(), QStringLiteral("10"));
    s.addToLastLine(Role::RichEdit3, QStringLiteral("53 "));
    s.addToLastLine(Role::RichEdit3, QStringLiteral("59"));
    EXPECT_EQ(s.lines(Role::RichEdit3), QStringList{QStringLiteral("53 59")});
    s.clearPane(Role::RichEdit3);
    EXPECT_TRUE(s.lines(Role::RichEdit3).isEmpty());
}
