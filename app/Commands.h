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

// How a command that writes tables ended.
struct CommandResult {
    bool complete = false;  // every step ran and the exchange was not cut short
    QString refused;        // another program holds the data directory: nothing was done
    QString registryError;  // the device registry could not be updated (the tables are stored)
    bool ok() const { return complete && refused.isEmpty() && registryError.isEmpty(); }
};

// "Скачать": the whole download of the current device.
CommandResult DownloadCommand(App &app, ExchangeRunner &runner, CommandView &view, QStringList *report);
// "Подключиться": the link and the configuration read.
CommandResult ConnectCommand(App &app, ExchangeRunner &runner, CommandView &view, QStringList *report);
// "Отключиться": hangs up the modem; the port is released.
void ModemHangUpCommand(App &app, ExchangeRunner &runner);
// "Удалить все": the archives of the current device (the one the main window shows), after the
// question. `remove` deletes one file (the file system's own by default). Complete when the
// device's archives and side files are gone.
CommandResult DeleteArchivesCommand(App &app, CommandView &view,
                                    const std::function<bool(const QString &)> &remove = nullptr);
// The clock write of the settings window's port group: asks "Вы уверены, что хотите записать в
// прибор время …" and writes the computer's time on "Да". Refused before asking on the bus
// bridge link types, which have no write. True when the write request was sent.
bool SetClockCommand(App &app, ExchangeRunner &runner);

// The preparation shared by "Настройка прибора" and "Печать": totals file, ".usd", settings report.
// Returns true when the settings report was written into `report`.
bool PrepareSettingsView(App &app, QStringList *report);

}  // namespace torv
