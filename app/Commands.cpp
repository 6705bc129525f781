#include "app/Commands.h"

#include "app/App.h"
#include "app/DataLock.h"
#include "base/Formats.h"
#include "app/ExchangeRunner.h"
#include "app/Registry.h"
#include "archive/ArchiveDownload.h"
#include "archive/ArchiveTables.h"
#include "archive/GasTotals.h"
#include "app/DeviceSettings.h"
#include "link/Link.h"
#include "link/Modem.h"
#include "protocol/ClockWrite.h"
#include "settingsreport/Progprn.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace torv {

namespace {

// Shows an error that ended a command the way the program shows unexpected errors.
void ShowCommandError(App &app, const std::exception &e) {
    if (const auto *d = dynamic_cast<const DownloadError *>(&e))
        app.prompts().ErrorBox(d->text());
    else
        app.prompts().ErrorBox(QString::fromUtf8(e.what()));
}

// Commands that write tables or side files hold the data directory's lock while they run; a command
// the lock refuses shows why and does nothing.
bool Refused(App &app, const DataDirLock &lock, CommandResult &result) {
    if (lock.locked())
        return false;
    result.refused = lock.error();
    app.prompts().ShowNotice(result.refused);
    return true;
}

}  // namespace

CommandResult DownloadCommand(App &app, ExchangeRunner &runner, CommandView &view, QStringList *report) {
    CommandResult result;
    const DataDirLock lock(app.settings.dataDir(), app.dataLockWaitMs);
    if (Refused(app, lock, result))
        return result;
    bool complete = false;
    app.downloadRunning = 1;
    app.abortState = AbortRunning;
    app.userAbort = 0;
    app.repeatCounter = 0;
    // The commands are off before the link opens: dialling takes a minute, and a second command
    // started meanwhile would open the port again.
    view.SetMainEnabled(false);
    try {
        runner.run([&] { OpenLink(app); });
        view.ShowStatusWindow();
        runner.run([&] { complete = DowArch(app, report); });
        view.HideStatusWindow();
        view.SetMainEnabled(true);
        runner.run([&] { result.registryError = Registry(app).UpdateRegistry(); });
        if (app.abortState == AbortRunning)
            view.RefreshArchiveView();
        if (app.link.quiet == 1) {
            view.AppendStatusText(QStringLiteral(" Опрос завершен"));
            runner.run([&] { HangUp(app); });
        } else if (app.settings.linkMode() == LinkModeModem) {
            runner.run([&] { HangUp(app); });
        }
        view.Maximise();
    } catch (const std::exception &e) {
        view.SetMainEnabled(true);
        view.HideStatusWindow();
        ShowCommandError(app, e);
        complete = false;
    }
    result.complete = complete && app.abortState == AbortRunning;
    return result;
}

CommandResult ConnectCommand(App &app, ExchangeRunner &runner, CommandView &view, QStringList *report) {
    CommandResult result;
    const DataDirLock lock(app.settings.dataDir(), app.dataLockWaitMs);
    if (Refused(app, lock, result))
        return result;
    view.SetMainEnabled(false);
    try {
        bool read = false;
        runner.run([&] {
            OpenLink(app);
            if (app.link.linkOpen == 1) {
                Settings(app, report);
                read = true;
            }
        });
        if (app.link.linkOpen == 1 && app.settings.showSettingsAfterConnect())
            view.ShowSettingsView();
        view.SetMainEnabled(true);
        runner.run([&] { result.registryError = Registry(app).UpdateRegistry(); });
        view.RefreshArchiveView();
        result.complete = read && app.abortState == AbortRunning;
    } catch (const std::exception &e) {
        view.SetMainEnabled(true);
        ShowCommandError(app, e);
    }
    return result;
}

void ModemHangUpCommand(App &app, ExchangeRunner &runner) {
    runner.run([&] { HangUp(app); });
}

CommandResult DeleteArchivesCommand(App &app, CommandView &view, const std::function<bool(const QString &)> &remove) {
    CommandResult result;
    const auto removeFile = [&](const QString &path) { return remove ? remove(path) : QFile::remove(path); };
    // The device the main window shows; the settings' last chosen device may be another one when a
    // device was read over the link since.
    const QString number = app.deviceNumber;
    if (number.isEmpty()) {
        app.prompts().ShowNotice(QStringLiteral("Прибор не выбран"));
        return result;
    }
    if (app.prompts().AskYesNo(QStringLiteral("Вы действительно хотите удалить архивы?"),
                               QStringLiteral("Подтверждение")) != AnswerYes) {
        view.RefreshArchiveView();
        return result;
    }
    const DataDirLock lock(app.settings.dataDir(), app.dataLockWaitMs);
    if (Refused(app, lock, result))
        return result;
    try {
        QString dir = DeviceDirectory(app.settings.dataDir(), number);
        if (!dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        app.tables.forget(dir);
        QDir d(dir);
        int removed = 0;
        while (d.exists()) {
            const QStringList files = d.entryList({QStringLiteral("*.dbf")}, QDir::Files, QDir::Name);
            if (files.isEmpty())
                break;
            // A file another program holds open on Windows cannot be deleted; here a file in a
            // directory without write permission cannot.
            if (!removeFile(dir + files.first())) {
                app.prompts().ShowNotice(QStringLiteral("Файл ") + dir + files.first() +
                                         QStringLiteral(" не удалось удалить. Попробуйте перезагрузить программу и "
                                                        "после этого удалить архивы"));
                return result;
            }
            ++removed;
        }
        const bool hadDir = d.exists();
        const bool dirGone = !hadDir || QDir().rmdir(dir);
        bool sideFilesGone = true;
        for (const QString &side :
             {TTorv2s::UsdPath(app.settings.devDir(), number), TotalsPath(app.settings.devDir(), number)}) {
            if (!QFileInfo::exists(side))
                continue;
            if (QFile::remove(side))
                ++removed;
            else
                sideFilesGone = false;
        }
        if (!dirGone || !sideFilesGone) {
            app.prompts().ShowNotice(QStringLiteral("Данные не удалось удалить"));
        } else if (removed == 0 && !hadDir) {
            // Nothing was there: say so instead of reporting a deletion that did not happen.
            app.prompts().ShowNotice(QStringLiteral("Архивы прибора ") + number +
                                     QStringLiteral(" отсутствуют: удалять нечего"));
            result.complete = true;
        } else {
            app.prompts().ShowNotice(QStringLiteral("Данные успешно удалены"));
            result.complete = true;
        }
    } catch (const std::exception &) {
        app.prompts().ShowNotice(QStringLiteral("Данные не удалось удалить"));
    }
    view.RefreshArchiveView();
    return result;
}

bool SetClockCommand(App &app, ExchangeRunner &runner) {
    // The bus bridge reads only; a clock write needs the serial line to the device.
    if (LinkType::IsBridge(LinkTypeForMode(app.settings.linkMode(), app.link.rs485Address))) {
        app.prompts().ShowNotice(
            QStringLiteral("Запись времени в прибор по шине RS485 (через программу Vondrel) "
                           "невозможна. Подключите прибор напрямую или через модем"));
        return false;
    }
    if (app.prompts().AskYesNo(
            QStringLiteral("Вы уверены, что хотите записать в прибор время ") + FormatDateTime(app.clock().now()),
            QStringLiteral("Запись системного времени в прибор")) != AnswerYes)
        return false;
    app.abortState = AbortRunning;
    bool sent = false;
    try {
        runner.run([&] { sent = WriteDeviceClock(app); });
    } catch (const std::exception &e) {
        ShowCommandError(app, e);
        return false;
    }
    return sent;
}

bool PrepareSettingsView(App &app, QStringList *report) {
    TTorv2s &dev = app.device;
    const QString number = app.deviceNumber;
    // 1. Totals of a gas device chosen in the device list.
    const char kind = dev.kind;
    if (!number.isEmpty() && kind != KindLiquid && kind != KindPropane && kind != KindSteam && kind != KindHeat)
        LoadTotals(app, number);
    // 2. No device.
    if (number.isEmpty()) {
        app.prompts().ShowNotice(QStringLiteral("Прибор не выбран"));
        return false;
    }
    // 3. The image file and the settings report.
    if (QFileInfo::exists(TTorv2s::UsdPath(app.settings.devDir(), number))) {
        const QString err = dev.LoadUsd(app.settings.devDir(), number);
        if (!err.isEmpty()) {
            app.prompts().ShowNotice(err);
            return false;
        }
        if (const QString error = WriteDeviceReport(app, report); !error.isEmpty()) {
            app.prompts().ShowNotice(error);
            return false;
        }
        return true;
    }
    // 4. No image file.
    app.prompts().ShowNotice(QStringLiteral("Информация о настройке вычислителя отсутствует (номер:") + number +
                             QStringLiteral(")"));
    return false;
}

}  // namespace torv
