#include "app/Commands.h"

#include "app/App.h"
#include "app/ExchangeRunner.h"
#include "app/Registry.h"
#include "archive/ArchiveDownload.h"
#include "archive/ArchiveTables.h"
#include "archive/GasTotals.h"
#include "device/DeviceSettings.h"
#include "link/Link.h"
#include "link/Modem.h"
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

}  // namespace

bool DownloadCommand(App &app, ExchangeRunner &runner, CommandView &view, QStringList *report) {
    bool complete = false;
    app.downloadRunning = 1;
    app.abortState = AbortRunning;
    app.userAbort = 0;
    app.repeatCounter = 0;
    try {
        runner.run([&] { OpenLink(app); });
        view.SetMainEnabled(false);
        view.ShowStatusWindow();
        runner.run([&] { complete = DowArch(app, report); });
        view.HideStatusWindow();
        view.SetMainEnabled(true);
        runner.run([&] { Registry(app).UpdateRegistry(); });
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
    return complete && app.abortState == AbortRunning;
}

void ConnectCommand(App &app, ExchangeRunner &runner, CommandView &view, QStringList *report) {
    view.SetMainEnabled(false);
    try {
        runner.run([&] {
            OpenLink(app);
            if (app.link.linkOpen == 1)
                Settings(app, report);
        });
        if (app.link.linkOpen == 1 && app.settings.showSettingsAfterConnect())
            view.ShowSettingsView();
        view.SetMainEnabled(true);
        runner.run([&] { Registry(app).UpdateRegistry(); });
        view.RefreshArchiveView();
    } catch (const std::exception &e) {
        view.SetMainEnabled(true);
        ShowCommandError(app, e);
    }
}

void ModemHangUpCommand(App &app, ExchangeRunner &runner) {
    runner.run([&] { HangUp(app); });
}

void DeleteArchivesCommand(App &app, CommandView &view, const std::function<bool(const QString &)> &remove) {
    const auto removeFile = [&](const QString &path) { return remove ? remove(path) : QFile::remove(path); };
    const QString number = app.settings.lastDevice();
    if (app.prompts().AskYesNo(QStringLiteral("Вы действительно хотите удалить архивы?"),
                               QStringLiteral("Подтверждение")) != AnswerYes) {
        view.RefreshArchiveView();
        return;
    }
    try {
        QString dir = DeviceDirectory(app.settings.dataDir(), number);
        if (!dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        app.tables.forget(dir);
        QDir d(dir);
        while (true) {
            const QStringList files = d.entryList({QStringLiteral("*.dbf")}, QDir::Files, QDir::Name);
            if (files.isEmpty())
                break;
            // A file another program holds open on Windows cannot be deleted; here a file in a
            // directory without write permission cannot.
            if (!removeFile(dir + files.first())) {
                app.prompts().ShowNotice(QStringLiteral("Файл ") + dir + files.first() +
                                         QStringLiteral(" не удалось удалить. Попробуйте перезагрузить программу и "
                                                        "после этого удалить архивы"));
                return;
            }
        }
        const bool dirGone = !d.exists() || QDir().rmdir(dir);
        QFile::remove(TTorv2s::UsdPath(app.settings.devDir(), number));
        QFile::remove(TotalsPath(app.settings.devDir(), number));
        app.prompts().ShowNotice(dirGone ? QStringLiteral("Данные успешно удалены")
                                         : QStringLiteral("Данные не удалось удалить"));
    } catch (const std::exception &) {
        app.prompts().ShowNotice(QStringLiteral("Данные не удалось удалить"));
    }
    view.RefreshArchiveView();
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
        try {
            WriteDeviceReport(app, report);
        } catch (const SettingsReportError &e) {
            app.prompts().ShowNotice(e.text());
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
