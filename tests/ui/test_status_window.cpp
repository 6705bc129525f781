#include "app/App.h"
#include "app/ExchangeRunner.h"
#include "link/UTrans.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace torv;

namespace {
struct StatusFixture : ::testing::Test {
    VirtualClock clock;
    LinkStatus status;
    ScriptedPrompts prompts;
    RecordingProcessControl proc;
    App app{QStringLiteral("/tmp"), Seams{&clock, &prompts, &status, &proc}};
};
}  // namespace

TEST_F(StatusFixture, CreationShowAndCompactView) {
    app.downloadRunning = 1;
    TFTrans w(app);
    EXPECT_EQ(app.downloadRunning, 0);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Окно статуса передачи данных"));
    EXPECT_EQ(w.StaticText2->text(), QStringLiteral("Настройка"));
    EXPECT_EQ(w.StaticText1->text(), QStringLiteral("0%"));
    EXPECT_EQ(w.Button1->text(), QStringLiteral("Прервать связь"));
    clock.advance(1234);
    w.show();
    EXPECT_EQ(w.size(), QSize(600, 200));
    EXPECT_FALSE(w.DiagnosticView());
    EXPECT_FALSE(w.RichEdit1->isVisible());
    EXPECT_FALSE(w.Label4->isVisible());
    EXPECT_EQ(status.shownAt(), 1234);
    EXPECT_EQ(w.Label15->text(), QStringLiteral("Длительность опроса: "));
    w.Button2->click();
    EXPECT_TRUE(w.DiagnosticView());
    EXPECT_TRUE(w.RichEdit1->isVisible());
    EXPECT_EQ(w.height(), 612);
    EXPECT_EQ(w.Label15->text(), QString());
    w.hide();
}

TEST_F(StatusFixture, AbortButtonAndCloseBox) {
    TFTrans w(app);
    w.show();
    w.Button1->click();
    EXPECT_EQ(app.abortState, AbortUser);
    EXPECT_EQ(app.userAbort, 1);
    app.abortState = AbortRunning;
    app.downloadRunning = 1;
    w.close();
    EXPECT_EQ(app.abortState, AbortWindowClosed);
    EXPECT_EQ(app.downloadRunning, 0);
}

// The exchange writes the roles from the worker; the window follows and stays live.
TEST_F(StatusFixture, RolesWrittenByTheWorkerReachTheWindow) {
    TFTrans w(app);
    w.show();
    ThreadExchangeRunner runner;
    runner.run([&] {
        status.setText(Role::StaticText3, QStringLiteral("Плохая связь с прибором"));
        status.addLine(Role::RichEdit1, QStringLiteral("SYS2 очистка буфера"));
        status.addToLastLine(Role::RichEdit3, QStringLiteral("53 "));
        status.setProgress(42);
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(w.StaticText3->text(), QStringLiteral("Плохая связь с прибором"));
    EXPECT_EQ(w.RichEdit1->toPlainText(), QStringLiteral("SYS2 очистка буфера"));
    EXPECT_EQ(w.RichEdit3->toPlainText(), QStringLiteral("53 "));
    EXPECT_EQ(w.ProgressBar1->value(), 42);
    EXPECT_EQ(w.StaticText1->text(), QStringLiteral("42%"));
    w.hide();
}
