// Commands of the main window that need no device: deleting a device's archives.
#include "app/App.h"
#include "app/Commands.h"
#include "archive/ArchiveTables.h"
#include "archive/GasTotals.h"
#include "device/torvunit.h"
#include "TestUtil.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace torv;

namespace {
struct Bench {
    Bench() : app(dir.path(), Seams{&clock, &prompts, &status, &proc}) {
        app.settings.setValueDefaults();
        app.settings.setDirectoryDefaults(dir.path());
        app.settings.setLastDevice(QStringLiteral("2104517"));
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
