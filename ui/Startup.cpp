#include "ui/Startup.h"

#include "base/Formats.h"
#include "app/MainCommands.h"
#include "app/ProgramSettings.h"
#include "archive/TableSchema.h"
#include "app/Unit1.h"
#include "app/Unit6.h"
#include "app/Unit7.h"
#include "app/Unit8.h"
#include "app/Unit9.h"
#include "app/UnixSignals.h"
#include "browse/UFArhParam.h"
#include "link/UError.h"
#include "link/UTrans.h"
#include "link/Unit5.h"
#include "monitor/UMonitor.h"
#include "monitor/UMonitorConfig.h"
#include "monitor/UTrends.h"
#include "monitor/UTrendsConfig.h"
#include "polling/UEditDataListInterr.h"
#include "polling/UListInterrogation.h"
#include "reports/UGraph.h"
#include "reports/UMessBox.h"
#include "reports/Unit4.h"
#include "sim/SimLineScheme.h"
#include "ui/GuiPrompts.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace torv {

StartOptions ParseStartOptions(int argc, char **argv) {
    StartOptions o;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        auto value = [&](QString &target) {
            if (i + 1 >= argc) {
                o.error = QStringLiteral("Не задано значение параметра ") + a;
                return;
            }
            target = QString::fromLocal8Bit(argv[++i]);
        };
        if (a == QLatin1String("--program-dir"))
            value(o.programDir);
        else if (a.startsWith(QLatin1String("--program-dir=")))
            o.programDir = a.mid(14);
        else if (a == QLatin1String("--screenshots"))
            value(o.screenshotDir);
        else if (a.startsWith(QLatin1String("--screenshots=")))
            o.screenshotDir = a.mid(14);
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            o.showHelp = true;
        else if (a.startsWith(QLatin1String("-platform")) || a == QLatin1String("-style"))
            ++i;  // Qt's own options
        else if (!a.startsWith(QLatin1Char('-')))
            continue;
        else
            o.error = QStringLiteral("Неизвестный параметр ") + a;
    }
    return o;
}

Program::Program(const QString &programDir) {
    FixProcessFormats();
    app_ = std::make_unique<App>(programDir, Seams{&clock_, nullptr, &status_, &processes_});
    RegisterSimulatorScheme(app_->link);  // "sim:<scenario>" in ports.map: the simulator inside the program
    runner_ = std::make_unique<ThreadExchangeRunner>();
    runner_->setInterruptHook([this] { app_->abortState = AbortWindowClosed; });

    // The windows, in the order the program has always created them.
    auto add = [this](QWidget *w) {
        windows_.push_back(w);
        return w;
    };
    form1_ = static_cast<TForm1 *>(add(new TForm1(*app_)));
    form1_->FormCreate();
    add(new TForm4(*app_));
    add(new TForm5(*app_));
    add(new TForm6(*app_));
    add(new TForm7(*app_));
    CreateSettingsControls(*app_);  // the settings window's creation: link type and bus address
    add(new TForm8(*app_));
    add(new TForm9(*app_));
    fTrans_ = static_cast<TFTrans *>(add(new TFTrans(*app_)));
    add(new TFGraph(*app_));
    add(new TFArhParam(*app_));
    add(new TFMonitor(*app_));
    add(new TFMonitorConfig(*app_));
    add(new TFMessBox(*app_));
    add(new TFTrends(*app_));
    add(new TFTrendsConfig(*app_));
    add(new TFListInterrogation(*app_));
    fError_ = static_cast<TFError *>(add(new TFError(clock_)));
    add(new TFEditDataListInterr(*app_));

    prompts_ = std::make_unique<GuiPrompts>(fError_, form1_);
    app_->setPrompts(prompts_.get());
    QApplication::setApplicationName(QStringLiteral("Torv2a"));

    MainWindows w;
    w.form1 = form1_;
    w.trans = fTrans_;
    w.report = static_cast<QDialog *>(windows_[1]);
    w.settingsView = static_cast<TForm6 *>(windows_[3]);
    w.settings = static_cast<QDialog *>(windows_[4]);
    w.deviceList = static_cast<TForm8 *>(windows_[5]);
    w.paramArchive = static_cast<QDialog *>(windows_[9]);
    w.monitor = static_cast<QDialog *>(windows_[10]);
    w.graphChoice = static_cast<QDialog *>(windows_[12]);
    w.polling = static_cast<QDialog *>(windows_[15]);
    commands_ = std::make_unique<TMainCommands>(*app_, *runner_, w);
    w.deviceList->registry().setStatusSink([this](const QString &t) { app_->status().setMainStatus(t); });

    // The table templates and the device registry are the program's own: made when missing.
    try {
        EnsureTemplates(app_->settings.settingsReportDir());
        EnsureRegistryTable(app_->settings.devDir());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "torvmonitor: %s\n", e.what());
    }
    // The device list's start: the last chosen device becomes current again; a settings record that
    // asks to connect at start does so once every window exists.
    w.deviceList->FormCreate();
}

Program::~Program() {
    Shutdown();
    commands_.reset();
    app_->setPrompts(nullptr);
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
        delete *it;
    windows_.clear();
    runner_.reset();
}

QString Program::Shutdown() {
    if (shutDown_)
        return QString();
    shutDown_ = true;
    return form1_->FormDestroy();
}

namespace {
// The window's picture under a title bar carrying its caption, as a desktop would frame it.
QImage WithCaption(const QPixmap &body, const QString &caption) {
    const int bar = 26;
    QImage img(body.width(), body.height() + bar, QImage::Format_RGB32);
    img.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter p(&img);
    p.fillRect(0, 0, img.width(), bar, QColor(0x2B, 0x57, 0x97));
    p.setPen(Qt::white);
    QFont f = QApplication::font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(8, 0, img.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft, caption);
    p.drawPixmap(0, bar, body);
    return img;
}
}  // namespace

bool Program::WriteScreenshots(const QString &dir) {
    if (!QDir().mkpath(dir))
        return false;
    // The prompt and link status windows are shown as an exchange would show them.
    fError_->Prepare(Prompts::MakeYesNo(QStringLiteral("Вы действительно хотите удалить архивы?"),
                                        QStringLiteral("Подтверждение"), 0));
    app_->status().setText(Role::StaticText2, QStringLiteral("Считывание настроек с прибора"));
    app_->status().setProgress(35);
    form1_->show();
    bool ok = true;
    for (QWidget *w : windows_) {
        w->ensurePolished();
        if (w != form1_) {
            w->setAttribute(Qt::WA_DontShowOnScreen, true);
            w->show();
        }
        QCoreApplication::processEvents();
        const QImage pix = WithCaption(w->grab(), w->windowTitle());
        const QString name =
            QDir(dir).filePath(QString::fromLatin1(w->metaObject()->className()).section(QLatin1String("::"), -1) +
                               QStringLiteral(".png"));
        if (pix.isNull() || !pix.save(name, "PNG")) {
            std::fprintf(stderr, "torvmonitor: не удалось записать %s\n", qPrintable(name));
            ok = false;
        }
        if (w != form1_)
            w->hide();
    }
    return ok;
}

int RunProgram(int argc, char **argv) {
    const StartOptions opts = ParseStartOptions(argc, argv);
    if (opts.showHelp) {
        std::printf(
            "torvmonitor [--program-dir DIR] [--screenshots DIR]\n"
            "  --program-dir DIR   use DIR instead of the executable's directory\n"
            "  --screenshots DIR   write one PNG per window into DIR and exit\n");
        return 0;
    }
    if (!opts.error.isEmpty()) {
        std::fprintf(stderr, "torvmonitor: %s\n", opts.error.toLocal8Bit().constData());
        return 2;
    }
    if (!opts.screenshotDir.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // Relative directories are taken from where the program was started: the main window later
    // makes the program directory the current one.
    const QString screenshotDir =
        opts.screenshotDir.isEmpty() ? QString() : QFileInfo(opts.screenshotDir).absoluteFilePath();

    QApplication qapp(argc, argv);
    QString programDir = QDir::cleanPath(opts.programDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                                                   : QFileInfo(opts.programDir).absoluteFilePath());
    // Every path of the settings file is Windows-1251 text of at most 250 bytes: a program
    // directory that does not fit would be mangled or cut in it, so it is refused.
    if (const QString bad = TSettingsRecord::CheckProgramDir(programDir); !bad.isEmpty()) {
        std::fprintf(stderr, "torvmonitor: %s\n", bad.toLocal8Bit().constData());
        if (screenshotDir.isEmpty())
            QMessageBox::critical(nullptr, QStringLiteral("Torv2a"), bad);
        return 2;
    }
    if (!QDir().mkpath(programDir)) {
        std::fprintf(stderr, "torvmonitor: нет доступа к каталогу %s\n", programDir.toLocal8Bit().constData());
        return 2;
    }
    int rc = 0;
    {
        Program program(programDir);
        QuitSignals quitSignals([&program] { program.mainWindow()->close(); });
        if (program.app().settings.connectAtStart() && screenshotDir.isEmpty())
            QTimer::singleShot(0, &program.commands(), &TMainCommands::Connect);
        if (!screenshotDir.isEmpty()) {
            rc = program.WriteScreenshots(screenshotDir) ? 0 : 1;
        } else {
            program.mainWindow()->show();
            rc = qapp.exec();
        }
        const QString err = program.Shutdown();
        if (!err.isEmpty()) {
            std::fprintf(stderr, "torvmonitor: %s\n", err.toLocal8Bit().constData());
            if (rc == 0)
                rc = 1;
        }
    }
    return rc;
}

}  // namespace torv
