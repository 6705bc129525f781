#include "app/DeviceSettings.h"

#include "app/App.h"
#include "archive/ArchiveDownload.h"
#include "archive/ArchiveTables.h"
#include "archive/ParamArchive.h"
#include "archive/TableError.h"
#include "archive/TableSchema.h"
#include "base/Formats.h"
#include "link/Link.h"
#include "protocol/BlockRead.h"
#include "protocol/ExchangeTime.h"
#include "reports/ParamSections.h"
#include "settingsreport/Progprn.h"

#include <QDir>

namespace torv {

bool ReadDeviceClock(App &app) {
    if (app.link.linkOpen == 1)
        app.link.linkOpen = 0;
    OpenLink(app);
    app.pump();
    QByteArray regs(kClockRegisters, '\0');
    ReadRTC(app, regs, 0, kClockRegisters);
    if (app.abortState != AbortRunning)
        return false;
    if (!app.device.devObj().SetClockFromRegisters(regs)) {
        app.prompts().ShowNotice(QStringLiteral("Ошибка в дате прибора"), 5);
        app.abortState = AbortModem;
        return false;
    }
    if (app.link.linkType == LinkType::RS232 && (!app.link.port || app.link.port->status != TComPort::StatusClean)) {
        app.prompts().ShowNotice(QStringLiteral("Не удалось получить системное время прибора"));
        return false;
    }
    return true;
}

void ReadConfiguration(App &app) {
    // The bus bridge branches (RS485, RS232L) open and close the bridge's exchange here; the bridge
    // comes with its own module.
    QByteArray image;
    image.reserve(kImageBlocks * kMaxBlock);
    for (int k = 1; k <= kImageBlocks; ++k) {
        app.status().setText(Role::Label12,
                             QStringLiteral("Read Set ") + QString::number(k) + QStringLiteral(" из 16)"));
        ShowExchangeDuration(app);
        if (!CheckExchangeTime(app))
            return;
        app.pump();
        QByteArray block(kMaxBlock, '\0');
        if (app.abortState == AbortRunning)
            ReadFLASH(app, block, 0, kImageFlashAddress + kMaxBlock * (k - 1), kMaxBlock);
        image += block.left(kMaxBlock);
    }
    const QString serial = app.link.port ? app.link.port->serialString : QString();
    app.device.TakeConfigurationImage(image, {app.link.linkType, app.link.linkOpen == 1, serial}, app.deviceNumber);
}

QString WriteDeviceReport(App &app, QStringList *report) {
    TParamSections sections(app);
    QStringList area;
    const QString error = WriteSettingsReport(app.device, {app.settings.settingsReportDir(), &sections, &area});
    if (!error.isEmpty())
        return error;
    if (report) {
        report->clear();
        ReadSettingsReport(app.settings.settingsReportDir(), *report);
    }
    return QString();
}

void Settings(App &app, QStringList *report) {
    try {
        // 1. Fresh channel objects.
        app.device.CreateChannelObjects();
        // 2. The device clock.
        if (app.abortState != AbortRunning || !ReadDeviceClock(app))
            return;
        // 3. The image.
        ReadConfiguration(app);
        // 4. The device directory and its tables. Without a device number (the read was cancelled
        // before any handshake) there is nothing to name them after.
        if (!app.deviceNumber.isEmpty()) {
            QDir().mkpath(DeviceDirectory(app.settings.dataDir(), app.deviceNumber));
            try {
                PrepareArchiveTables(app, app.deviceNumber);
            } catch (const TableError &e) {
                app.status().addLine(Role::RichEdit1, e.text());
            }
        }
        // 5. The parameter archive.
        if (app.settings.paramArchive()) {
            app.status().setText(Role::StaticText2, QStringLiteral("Считывание архива параметров"));
            if (ReadDeviceClock(app))
                ReadParameterArchive(app);
        }
        // 6. The settings report and the ".usd" file.
        if (app.abortState == AbortRunning) {
            if (const QString error = WriteDeviceReport(app, report); !error.isEmpty()) {
                app.prompts().ShowNotice(error, 10);
                return;
            }
            QDir().mkpath(app.settings.devDir());
            const QString err = app.device.SaveUsd(app.settings.devDir());
            if (!err.isEmpty())
                app.prompts().ShowNotice(err);
        }
        // 7. The archive range of the period controls: the start of work of the image just read
        // (also for a device never chosen in the device list) and the device date.
        if (app.abortState == AbortRunning) {
            const QDateTime start = ImageStartOfWork(app.device.KindImage());
            if (start.isValid())
                app.archiveStart = start;
            app.period.ArchiveStart = app.archiveStart;
            app.period.ArchiveEnd = app.device.totalsDate;
        }
    } catch (const std::exception &) {
        app.prompts().ShowNotice(QStringLiteral("Ошибка 23:Исключение в процедуре Ttorv2s.Settings(Report: TMemo)"),
                                 10);
    }
}

bool DowArch(App &app, QStringList *report) {
    app.status().setText(Role::StaticText2, QStringLiteral("Считывание настроек с прибора"));
    if (app.link.linkOpen == 0 && app.link.linkType != LinkType::RS485) {
        const int mode = app.settings.linkMode();
        if (mode == LinkModeModem && app.link.modemConnected == 1)
            app.prompts().ShowNotice(
                QStringLiteral("Ошибка39: Отсутствует связь с прибором. Пожалуйста проверте подключение"));
        else if (mode == LinkModeDirect)
            app.prompts().ShowNotice(
                QStringLiteral("Ошибка31: Отсутствует связь с прибором. Пожалуйста проверте подключение"));
        app.status().requestClose();
        return false;
    }
    Settings(app, report);
    if (app.abortState != AbortRunning)
        app.prompts().ShowNotice(QStringLiteral("Передача данных оборвана"), 5);
    const QString number = app.deviceNumber;
    TArchiveDownload download(app, number);
    const QByteArray &image = app.device.KindImage();
    for (int ch = 1; ch <= 4; ++ch) {
        if (ch == 1 && app.device.kind == KindHeat)
            download.ReadAllData(QStringLiteral("Heat"), 1);
        const QString name = DownloadName(uint8_t(image[img::kChannelRecords + img::kChannelRecordSize * (ch - 1)]));
        if (!name.isEmpty())
            download.ReadAllData(name, ch);
    }
    // Damaged records met in the device's tables are not rows; the user is told which they are.
    for (const QString &text : app.tables.takeDamageReports())
        app.status().addLine(Role::RichEdit1, text);
    if (app.deviceNumber != number) {
        app.status().addLine(Role::RichEdit1, QStringLiteral("Номер прибора ") + app.deviceNumber +
                                                  QStringLiteral(" из повторного соединения не принят: прибор ") +
                                                  number);
        app.deviceNumber = number;
    }
    if (app.link.linkType == LinkType::RS485)
        app.link.linkOpen = 0;  // the bus bridge restarts its exchange for the next command
    return app.abortState == AbortRunning;
}

}  // namespace torv
