#include "ui/Startup.h"
#include "app/Unit1.h"
#include "link/UTrans.h"
#include "TestUtil.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace torv;

TEST(Startup, WindowsAreCreatedOnceInTheDocumentedOrder) {
    QTemporaryDir pd;
    Program program(pd.path());
    QStringList classes;
    for (QWidget *w : program.windows())
        classes << QString::fromLatin1(w->metaObject()->className()).section("::", -1);
    EXPECT_EQ(classes, (QStringList{"TForm1", "TForm4", "TForm5", "TForm6", "TForm7", "TForm8", "TForm9", "TFTrans",
                                    "TFGraph", "TFArhParam", "TFMonitor", "TFMonitorConfig", "TFMessBox", "TFTrends",
                                    "TFTrendsConfig", "TFListInterrogation", "TFError", "TFEditDataListInterr"}));
    EXPECT_EQ(program.app().settings.comPort(), 1);
    EXPECT_EQ(program.app().settings.dataDir(), pd.path() + "/Data/");
    EXPECT_EQ(program.windows()[3]->windowTitle(), QStringLiteral("Hастройка прибора"));
    EXPECT_EQ(program.windows()[4]->windowTitle(), QStringLiteral("Настройки "));
}

TEST(MainWindow, FrameTextsAndModemControls) {
    QTemporaryDir pd;
    Program program(pd.path());
    TForm1 *f = program.mainWindow();
    EXPECT_EQ(f->windowTitle(),
              QStringLiteral("Торв Монитор v1.15.10 - Программа для съема данных с вычислителей \"Торв-2\" "));
    EXPECT_EQ(f->StatusText(), QStringLiteral("Прибор не выбран"));
    QStringList menus;
    for (QAction *a : f->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus,
              (QStringList{"Прибор", "Модем", "Архивы", "Печать", "График", "Настройки", "О программе", "Выход"}));
    QStringList archive;
    for (QAction *a : f->Archives->actions())
        archive << a->text();
    EXPECT_EQ(archive, (QStringList{"Скачать", "Открыть", "Архив параметров", "Удалить все"}));
    EXPECT_EQ(f->TB_Download->text(), QStringLiteral("Архивы"));
    EXPECT_EQ(f->TB_Download->toolTip(), QStringLiteral("Скачать архивы"));
    EXPECT_EQ(f->Months->count(), 12);
    EXPECT_EQ(f->DateTimeb->displayFormat(), QStringLiteral("dd.MM.yyyy"));

    // Modem menu and buttons only in the modem link mode.
    EXPECT_FALSE(f->Modem->menuAction()->isVisible());
    EXPECT_FALSE(f->TB_ModemConnect->isVisible());
    program.app().settings.setLinkMode(2);
    f->UpdateModemControls();
    EXPECT_TRUE(f->Modem->menuAction()->isVisible());
    EXPECT_TRUE(f->TB_ModemHangUp->isVisible());
}

TEST(MainWindow, DestructionWritesSettingsAndStopsTheBridge) {
    QTemporaryDir pd;
    {
        Program program(pd.path());
        program.app().settings.setComPort(5);
        EXPECT_EQ(program.Shutdown(), QString());
    }
    TSettingsRecord rec;
    ASSERT_EQ(SettingsFile::Load(rec, pd.path()), QString());
    EXPECT_EQ(rec.comPort(), 5);
}
