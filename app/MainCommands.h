// The main window's commands: the window's signals on one side, the command logic (Commands) and
// the windows it opens on the other. Exchanges run on the exchange thread; the window is disabled
// meanwhile and the link status window shows what happens.
#pragma once

#include "app/Commands.h"

#include <QDialog>
#include <QObject>
#include <QStringList>

namespace torv {

class App;
class ExchangeRunner;
class TForm1;
class TFTrans;
class TForm6;
class TForm8;

struct MainWindows {
    TForm1 *form1 = nullptr;
    TFTrans *trans = nullptr;
    TForm6 *settingsView = nullptr;
    TForm8 *deviceList = nullptr;
    QDialog *report = nullptr;        // TForm4
    QDialog *settings = nullptr;      // TForm7
    QDialog *paramArchive = nullptr;  // TFArhParam
    QDialog *graphChoice = nullptr;   // TFMessBox
    QDialog *monitor = nullptr;       // TFMonitor
    QDialog *polling = nullptr;       // TFListInterrogation
};

class TMainCommands : public QObject, public CommandView {
    Q_OBJECT
public:
    TMainCommands(App &app, ExchangeRunner &runner, const MainWindows &w, QObject *parent = nullptr);

    // CommandView.
    void SetMainEnabled(bool on) override;
    void ShowStatusWindow() override;
    void HideStatusWindow() override;
    void RefreshArchiveView() override;
    void AppendStatusText(const QString &text) override;
    void Maximise() override;
    void ShowSettingsView() override;

public slots:
    void ChooseDevice();
    void Connect();
    void Download();
    void DeviceSettings();
    void Print();
    void ParamArchive();
    void Graph();
    void DeleteAll();
    void ModemHangUp();
    void ProgramSettings();
    void Monitor();
    void PollingList();

private:
    App &app_;
    ExchangeRunner &runner_;
    MainWindows w_;
    QStringList report_;
};

}  // namespace torv
