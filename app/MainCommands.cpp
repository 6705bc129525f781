#include "app/MainCommands.h"

#include "app/App.h"
#include "app/ExchangeRunner.h"
#include "app/Unit1.h"
#include "app/Unit6.h"
#include "app/Unit8.h"
#include "link/UTrans.h"

#include <QApplication>
#include <QLabel>

namespace torv {

TMainCommands::TMainCommands(App &app, ExchangeRunner &runner, const MainWindows &w, QObject *parent)
    : QObject(parent), app_(app), runner_(runner), w_(w) {
    TForm1 *f = w_.form1;
    connect(f, &TForm1::chooseDeviceRequested, this, &TMainCommands::ChooseDevice);
    connect(f, &TForm1::connectRequested, this, &TMainCommands::Connect);
    connect(f, &TForm1::downloadRequested, this, &TMainCommands::Download);
    connect(f, &TForm1::deviceSettingsRequested, this, &TMainCommands::DeviceSettings);
    connect(f, &TForm1::printRequested, this, &TMainCommands::Print);
    connect(f, &TForm1::paramArchiveRequested, this, &TMainCommands::ParamArchive);
    connect(f, &TForm1::graphRequested, this, &TMainCommands::Graph);
    connect(f, &TForm1::deleteAllRequested, this, &TMainCommands::DeleteAll);
    connect(f, &TForm1::modemHangUpRequested, this, &TMainCommands::ModemHangUp);
    connect(f, &TForm1::settingsRequested, this, &TMainCommands::ProgramSettings);
    connect(f, &TForm1::monitorRequested, this, &TMainCommands::Monitor);
    connect(f, &TForm1::pollingListRequested, this, &TMainCommands::PollingList);
    connect(f, &TForm1::openArchivesRequested, this, &TMainCommands::RefreshArchiveView);
    // The status bar follows the current device and the link's remarks, from whichever thread.
    connect(&app_.status(), &LinkStatus::mainStatusChanged, f, &TForm1::SetStatusText, Qt::QueuedConnection);
    connect(
        &app_.status(), &LinkStatus::closeRequested, this, [this] { HideStatusWindow(); }, Qt::QueuedConnection);
}

void TMainCommands::SetMainEnabled(bool on) {
    w_.form1->setEnabled(on);
    if (!on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
}

void TMainCommands::ShowStatusWindow() {
    w_.trans->setEnabled(true);
    w_.trans->show();
    w_.trans->raise();
}

void TMainCommands::HideStatusWindow() {
    w_.trans->setEnabled(false);
    w_.trans->hide();
}

void TMainCommands::RefreshArchiveView() {
    // The archive grids come with their own window; nothing to refresh yet.
}

void TMainCommands::AppendStatusText(const QString &text) { app_.status().appendMainStatus(text); }

void TMainCommands::Maximise() {
    if (!w_.form1->isMaximized())
        w_.form1->showMaximized();
}

void TMainCommands::ShowSettingsView() {
    w_.settingsView->SetReport(report_);
    w_.settingsView->exec();
}

void TMainCommands::ChooseDevice() {
    w_.deviceList->exec();
    if (!app_.device.devObj().FactoryNumber().isEmpty())
        RefreshArchiveView();
}

void TMainCommands::Connect() {
    app_.abortState = AbortRunning;
    app_.status().setShownAt(app_.clock().monotonicMs());
    ConnectCommand(app_, runner_, *this, &report_);
    w_.settingsView->SetReport(report_);
}

void TMainCommands::Download() {
    DownloadCommand(app_, runner_, *this, &report_);
    w_.settingsView->SetReport(report_);
}

void TMainCommands::DeviceSettings() {
    if (!PrepareSettingsView(app_, &report_))
        return;
    ShowSettingsView();
}

void TMainCommands::Print() {
    if (PrepareSettingsView(app_, &report_))
        w_.settingsView->SetReport(report_);
    if (!app_.deviceNumber.isEmpty() && w_.report)
        w_.report->exec();
    else
        app_.prompts().ShowNotice(QStringLiteral("Для печати надо выбрать вычислитель"));
}

void TMainCommands::ParamArchive() {
    if (app_.deviceNumber.isEmpty()) {
        app_.prompts().ShowNotice(QStringLiteral("Для просмотра нужно выбрать вычислитель"));
        return;
    }
    if (w_.paramArchive)
        w_.paramArchive->exec();
}

void TMainCommands::Graph() {
    if (app_.deviceNumber.isEmpty()) {
        app_.prompts().ShowNotice(QStringLiteral("Для построения графиков нужно выбрать вычислитель"));
        return;
    }
    if (w_.graphChoice)
        w_.graphChoice->exec();
}

void TMainCommands::DeleteAll() { DeleteArchivesCommand(app_, *this); }

void TMainCommands::ModemHangUp() { ModemHangUpCommand(app_, runner_); }

void TMainCommands::ProgramSettings() {
    if (w_.settings)
        w_.settings->exec();
    w_.form1->UpdateModemControls();
}

void TMainCommands::Monitor() {
    if (w_.monitor)
        w_.monitor->exec();
}

void TMainCommands::PollingList() {
    if (w_.polling)
        w_.polling->exec();
}

}  // namespace torv
