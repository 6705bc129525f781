// The main window's device commands as plain logic: connect, download, delete archives, modem
// hang-up and the preparation of the settings view and of printing. The window (or the command-line
// front end) supplies a CommandView for what it shows around a command.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace torv {

class App;
class ExchangeRunner;

// What a front end does around a command; every operation may be left empty.
class CommandView {
public:
    virtual ~CommandView() = default;
    virtual void SetMainEnabled(bool) {}
    virtual void ShowStatusWindow() {}
    virtual void HideStatusWindow() {}
    virtual void RefreshArchiveView() {}
    virtual void AppendStatusText(const QString &) {}
    virtual void Maximise() {}
    virtual void ShowSettingsView() {}
};

// "Скачать": the whole download of the current device. True when it was complete.
bool DownloadCommand(App &app, ExchangeRunner &runner, CommandView &view, QStringList *report);
// "Подключиться": the link and the configuration read.
void ConnectCommand(App &app, ExchangeRunner &runner, CommandView &view, QStringList *report);
// "Отключиться": hangs up the modem; the port is released.
void ModemHangUpCommand(App &app, ExchangeRunner &runner);
// "Удалить все": the archives of the last chosen device, after the question. `remove` deletes one
// file (the file system's own by default).
void DeleteArchivesCommand(App &app, CommandView &view,
                           const std::function<bool(const QString &)> &remove = nullptr);

// The preparation shared by "Настройка прибора" and "Печать": totals file, ".usd", settings report.
// Returns true when the settings report was written into `report`.
bool PrepareSettingsView(App &app, QStringList *report);

}  // namespace torv
