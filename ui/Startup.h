// Program entry: seams, context and every window, created once in the documented order.
#pragma once

#include "app/App.h"
#include "app/ExchangeRunner.h"

#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

namespace torv {

class TForm1;
class TFError;
class TFTrans;
class TForm5;
class GuiPrompts;
class TMainCommands;

struct StartOptions {
    QString programDir;     // empty: the executable's directory
    QString screenshotDir;  // non-empty: write a PNG per window and exit
    bool showHelp = false;
    QString error;
};

// Parses the program's options (before the QApplication exists).
StartOptions ParseStartOptions(int argc, char **argv);

class Program {
public:
    explicit Program(const QString &programDir);
    ~Program();

    App &app() { return *app_; }
    TForm1 *mainWindow() const { return form1_; }
    TFError *promptWindow() const { return fError_; }
    TFTrans *statusWindow() const { return fTrans_; }
    ExchangeRunner &runner() { return *runner_; }
    TMainCommands &commands() { return *commands_; }
    // Every window in creation order.
    const std::vector<QWidget *> &windows() const { return windows_; }

    // Writes one PNG per window, named after its class; returns false when one could not be written.
    bool WriteScreenshots(const QString &dir);
    // The main window's destruction steps; returns the settings write error or empty.
    QString Shutdown();

private:
    RealClock clock_;
    LinkStatus status_;
    SystemProcessControl processes_;
    std::unique_ptr<App> app_;
    std::unique_ptr<GuiPrompts> prompts_;
    std::unique_ptr<ThreadExchangeRunner> runner_;
    std::unique_ptr<TMainCommands> commands_;
    std::vector<QWidget *> windows_;
    TForm1 *form1_ = nullptr;
    TFError *fError_ = nullptr;
    TFTrans *fTrans_ = nullptr;
    bool shutDown_ = false;
};

int RunProgram(int argc, char **argv);

}  // namespace torv
