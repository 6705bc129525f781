// The main window's download commands in the program: the exchange runs on the exchange thread
// against the in-process simulator (virtual clock), the main window is disabled meanwhile and
// enabled again on every path, the link status window is hidden at the end.
#include "app/MainCommands.h"
#include "ui/Startup.h"
#include "app/Unit1.h"
#include "archive/ArchiveTables.h"
#include "archive/TableSchema.h"
#include "link/Link.h"
#include "link/UError.h"
#include "link/UTrans.h"
#include "sim/ImageBuilder.h"
#include "sim/SimLine.h"
#include "sim/Simulator.h"
#include "TestUtil.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace torv;

namespace {

struct ProgramBench {
    explicit ProgramBench(const QString &scenario)
        : clock(QDateTime(QDate(2019, 4, 20), QTime(12, 30))), program(dir.path()) {
        App &app = program.app();
        app.setClock(&clock);
        SimOptions o;
        o.scenario = scenario;
        sim = std::make_shared<Torv2Simulator>(o, [this] { return clock.now(); });
        app.link.lineFactory = [this](int) { return std::make_unique<SimLine>(sim, clock); };
        app.settings.setInt32At(TSettingsRecord::Depth, 3);
        for (int ch = 1; ch <= 4; ++ch)
            for (int k = 0; k < 3; ++k)
                app.settings.setArchiveKind(ch, k, ch == 1 && k != 2);
    }
    // Answers whatever the prompt window or a message box asks, and remembers what was shown.
    void AnswerEverything() {
        QObject::connect(&answerer, &QTimer::timeout, [this] {
            if (program.promptWindow()->isVisible()) {
                shown << program.promptWindow()->windowTitle() + ": " +
                             program.promptWindow()->findChild<QPlainTextEdit *>()->toPlainText().trimmed();
                program.promptWindow()->Button1->click();
            }
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shown << box->text();
                box->accept();
            }
        });
        answerer.start(5);
    }
    QTemporaryDir dir;
    VirtualClock clock;
    Program program;
    std::shared_ptr<Torv2Simulator> sim;
    QTimer answerer;
    QStringList shown;
};

}  // namespace

TEST(MainCommands, DownloadFromTheWindow) {
    ProgramBench b(QStringLiteral("gas-vdab"));
    TForm1 *f = b.program.mainWindow();
    bool disabledDuring = false, statusShownDuring = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        disabledDuring |= !f->isEnabled();
        statusShownDuring |= b.program.statusWindow()->isVisible();
    });
    probe.start(1);
    b.AnswerEverything();
    b.program.commands().Download();
    probe.stop();
    QCoreApplication::processEvents();
    EXPECT_TRUE(b.shown.isEmpty()) << b.shown.join(" | ").toStdString();
    EXPECT_TRUE(disabledDuring);
    EXPECT_TRUE(statusShownDuring);
    EXPECT_TRUE(f->isEnabled());
    EXPECT_FALSE(b.program.statusWindow()->isVisible());
    App &app = b.program.app();
    EXPECT_EQ(app.deviceNumber, QStringLiteral("2104517"));
    const QString table =
        JoinPath(DeviceDirectory(app.settings.dataDir(), app.deviceNumber), ArchiveTableName(app.deviceNumber, 1, 'd'));
    EXPECT_TRUE(QFileInfo::exists(table));
}

TEST(MainCommands, NoDeviceOnTheLineShowsError31AndEnablesTheWindow) {
    ProgramBench b(QStringLiteral("gas-vdab"));
    SimFaults mute;
    mute.mute = true;
    b.sim->setFaults(mute);
    b.AnswerEverything();
    // Nobody answers: the block reads' no-link question is answered by the box handler ("OK" = yes);
    // stop the retries by pressing "Прервать связь" once the link status window shows.
    QTimer abort;
    QObject::connect(&abort, &QTimer::timeout, [&] {
        if (b.program.statusWindow()->isVisible())
            b.program.statusWindow()->Button1->click();
    });
    abort.start(5);
    b.program.commands().Download();
    abort.stop();
    EXPECT_TRUE(b.program.mainWindow()->isEnabled());
    EXPECT_FALSE(b.program.statusWindow()->isVisible());
    EXPECT_NE(b.program.app().abortState, AbortRunning);
}

namespace {
// A device whose start of work was never set: the download cannot say where its archive begins.
class NoStartDevice final : public SimDeviceModel {
public:
    NoStartDevice() : SimDeviceModel(1), image_(ScenarioImage(QStringLiteral("gas-vdab"))) {
        image_.replace(1257, 4, QByteArray(4, char(0xFF)));
    }
    QString name() const override { return QStringLiteral("no-start"); }
    QByteArray configurationImage() const override { return image_; }
    QByteArray serialText() const override { return QByteArrayLiteral("2104517"); }

private:
    QByteArray image_;
};
}  // namespace

// An error the download does not handle itself ends the command: its text in an error box, the
// main window enabled again, the link status window hidden.
TEST(MainCommands, AnErrorInsideTheDownloadIsShownAndTheWindowComesBack) {
    ProgramBench b(QStringLiteral("gas-vdab"));
    SimOptions keep;
    keep.historyDays = -1;  // the image's own (unset) start of work
    b.sim = std::make_shared<Torv2Simulator>(keep, std::make_unique<NoStartDevice>(), [&b] { return b.clock.now(); });
    b.AnswerEverything();
    b.program.commands().Download();
    EXPECT_TRUE(b.program.mainWindow()->isEnabled());
    EXPECT_FALSE(b.program.statusWindow()->isVisible());
    ASSERT_FALSE(b.shown.isEmpty()) << b.program.app().abortState << " "
                                    << b.program.app().status().lines(Role::RichEdit1).join(" | ").toStdString();
    EXPECT_TRUE(b.shown.last().contains(QStringLiteral("неверная дата начала работы прибора")))
        << b.shown.join(" | ").toStdString();
}
