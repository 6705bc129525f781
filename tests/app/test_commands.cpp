// Commands of the main window: deleting a device's archives, the data directory lock, the clock
// write's question.
#include "app/App.h"
#include "app/Commands.h"
#include "archive/ArchiveTables.h"
#include "archive/GasTotals.h"
#include "app/DataLock.h"
#include "app/ExchangeRunner.h"
#include "device/torvunit.h"
#include "link/Link.h"
#include "sim/SimFixture.h"
#include "TestUtil.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace torv;

namespace {
struct Bench {
    Bench() : app(dir.path(), Seams{&clock, &prompts, &status, &proc}) {
        app.settings.setValueDefaults();
        app.settings.setDirectoryDefaults(dir.path());
        app.settings.setLastDevice(QStringLiteral("2104517"));
        app.deviceNumber = QStringLiteral("2104517");
        app.dataLockWaitMs = 0;
        tables = DeviceDirectory(app.settings.dataDir(), QStringLiteral("2104517"));
        QDir().mkpath(tables);
        QDir().mkpath(app.settings.devDir());
        for (const char *name : {"T21045171d.dbf", "T21045171h.dbf", "T21045171m.dbf"})
            torvtest::WriteAll(tables + name, "table");
        torvtest::WriteAll(TTorv2s::UsdPath(app.settings.devDir(), "2104517"), QByteArray(4096, 'x'));
        torvtest::WriteAll(TotalsPath(app.settings.devDir(), "2104517"), QByteArray(24, 'x'));
    }
    QTemporaryDir dir;
    VirtualClock clock;
    ScriptedPrompts prompts;
    LinkStatus status;
    RecordingProcessControl proc;
    App app;
    CommandView view;
    QString tables;
};
}  // namespace

TEST(DeleteArchives, EverythingOfTheDeviceGoes) {
    Bench b;
    b.prompts.push(AnswerYes);
    DeleteArchivesCommand(b.app, b.view);
    EXPECT_FALSE(QFileInfo::exists(b.tables));
    EXPECT_FALSE(QFileInfo::exists(TTorv2s::UsdPath(b.app.settings.devDir(), "2104517")));
    EXPECT_FALSE(QFileInfo::exists(TotalsPath(b.app.settings.devDir(), "2104517")));
    EXPECT_EQ(b.prompts.texts().last(), QStringLiteral("Данные успешно удалены"));
    EXPECT_EQ(b.prompts.requests().front().caption, QStringLiteral("Подтверждение"));
}

TEST(DeleteArchives, AnythingButYesKeepsEverything) {
    Bench b;
    b.prompts.push(AnswerNo);
    DeleteArchivesCommand(b.app, b.view);
    EXPECT_EQ(QDir(b.tables).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(b.prompts.texts().size(), 1);
}

// A file held by another program stops the command at that file and leaves the rest.
TEST(DeleteArchives, AFileThatCannotBeRemovedStopsAtIt) {
    Bench b;
    b.prompts.push(AnswerYes);
    DeleteArchivesCommand(b.app, b.view, [](const QString &path) {
        return path.endsWith(QLatin1String("T21045171h.dbf")) ? false : QFile::remove(path);
    });
    EXPECT_FALSE(QFileInfo::exists(b.tables + "T21045171d.dbf"));
    EXPECT_TRUE(QFileInfo::exists(b.tables + "T21045171h.dbf"));
    EXPECT_TRUE(QFileInfo::exists(b.tables + "T21045171m.dbf"));
    EXPECT_TRUE(QFileInfo::exists(TTorv2s::UsdPath(b.app.settings.devDir(), "2104517")));
    EXPECT_EQ(b.prompts.texts().last(), QStringLiteral("Файл ") + b.tables + "T21045171h.dbf" +
                                            QStringLiteral(" не удалось удалить. Попробуйте перезагрузить программу и "
                                                           "после этого удалить архивы"));
}

// The device the window shows is the one deleted, even when the settings name another one.
TEST(DeleteArchives, ActsOnTheCurrentDeviceAndReportsOnlyWhatItRemoved) {
    Bench b;
    b.app.settings.setLastDevice(QStringLiteral("999"));
    b.prompts.push(AnswerYes);
    EXPECT_TRUE(DeleteArchivesCommand(b.app, b.view).complete);
    EXPECT_FALSE(QFileInfo::exists(b.tables));
    EXPECT_EQ(b.prompts.texts().last(), QStringLiteral("Данные успешно удалены"));

    // Nothing left: no report of a deletion.
    b.prompts.push(AnswerYes);
    DeleteArchivesCommand(b.app, b.view);
    EXPECT_EQ(b.prompts.texts().last(), QStringLiteral("Архивы прибора 2104517 отсутствуют: удалять нечего"));

    // No device shown: nothing is asked.
    b.app.deviceNumber.clear();
    b.prompts.clear();
    EXPECT_FALSE(DeleteArchivesCommand(b.app, b.view).complete);
    EXPECT_EQ(b.prompts.texts(), QStringList{QStringLiteral("Прибор не выбран")});
}

TEST(DataDirLock, ASecondHolderIsRefusedWithTheHoldersName) {
    QTemporaryDir dir;
    DataDirLock first(dir.path() + "/Data", 0);
    ASSERT_TRUE(first.locked());
    DataDirLock second(dir.path() + "/Data", 50);
    EXPECT_FALSE(second.locked());
    EXPECT_TRUE(second.error().contains(QStringLiteral("уже работает другая программа")))
        << second.error().toStdString();
    EXPECT_TRUE(second.error().contains(QString::number(QCoreApplication::applicationPid())));

    // A command refused by the lock touches nothing.
    Bench b;
    DataDirLock held(b.app.settings.dataDir(), 0);
    ASSERT_TRUE(held.locked());
    b.prompts.push(AnswerYes);
    const CommandResult r = DeleteArchivesCommand(b.app, b.view);
    EXPECT_FALSE(r.refused.isEmpty());
    EXPECT_EQ(QDir(b.tables).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(b.prompts.texts().last(), r.refused);
}

TEST(SetClock, AsksFirstAndWritesOnlyOnYes) {
    torvtest::SimBench b;
    InlineExchangeRunner runner;
    b.prompts.push(AnswerNo);
    EXPECT_FALSE(SetClockCommand(b.app, runner));
    ASSERT_EQ(b.prompts.requests().size(), 1u);
    EXPECT_EQ(b.prompts.requests()[0].caption, QStringLiteral("Запись системного времени в прибор"));
    EXPECT_EQ(b.prompts.requests()[0].text().trimmed(),
              QStringLiteral("Вы уверены, что хотите записать в прибор время 14.03.2019 09:05:07"));
    EXPECT_EQ(b.sim->counters().writes, 0);

    b.prompts.push(AnswerYes);
    EXPECT_TRUE(SetClockCommand(b.app, runner));
    EXPECT_EQ(b.sim->counters().writes, 1);

    // The bus bridge has no write: refused before the question.
    b.app.settings.setLinkMode(LinkModeRs485);
    b.prompts.clear();
    EXPECT_FALSE(SetClockCommand(b.app, runner));
    ASSERT_EQ(b.prompts.requests().size(), 1u);
    EXPECT_NE(b.prompts.requests()[0].kind, PromptRequest::YesNo);
    EXPECT_EQ(b.sim->counters().writes, 1);
}

// The commands are off before the link opens (dialling a modem takes a minute) and on again after.
TEST(Download, TheWindowIsDisabledBeforeTheLinkOpens) {
    struct View : CommandView {
        bool enabled = true;
        QStringList calls;
        void SetMainEnabled(bool on) override {
            enabled = on;
            calls << (on ? QStringLiteral("on") : QStringLiteral("off"));
        }
    } view;
    torvtest::SimBench b;
    InlineExchangeRunner runner;
    bool openedWhileOff = true;  // every line was opened while the window was off
    b.app.link.lineFactory = [&](int) {
        openedWhileOff = openedWhileOff && !view.enabled;
        view.calls << QStringLiteral("line");
        return std::make_unique<SimLine>(b.sim, b.clock);
    };
    b.app.settings.setDirectoryDefaults(b.dir.path());
    b.app.settings.setInt32At(TSettingsRecord::Depth, 1);
    const CommandResult r = DownloadCommand(b.app, runner, view, nullptr);
    EXPECT_TRUE(r.ok()) << r.registryError.toStdString() << r.refused.toStdString() << b.app.abortState
                        << b.prompts.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(openedWhileOff) << view.calls.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(view.calls.first(), QStringLiteral("off"));
}
