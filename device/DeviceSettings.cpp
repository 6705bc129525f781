#include "device/DeviceSettings.h"

#include "app/App.h"
#include "app/Formats.h"
#include "archive/ArchiveTables.h"
#include "archive/ParamArchive.h"
#include "archive/TableError.h"
#include "archive/TableSchema.h"
#include "link/Link.h"
#include "protocol/BlockRead.h"
#include "reports/ParamSections.h"
#include "settingsreport/Progprn.h"

#include <QDir>

namespace torv {

namespace {

const QString kOverTimeQuestion = QStringLiteral(
    "Ошибка 23:Превышено время опроса прибора 5 минуты. Уменьшите глубину скачивания ахрива и повторите "
    "попытку. При продолжении опроса в приборе возникает нештатная ситуация. Продолжить опрос?");

QString ElapsedText(qint64 ms) {
    if (ms < 0)
        ms = 0;
    const qint64 s = ms / 1000;
    return QString::asprintf("%02lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
}

// The template of a channel's table: by the medium's table family (a heat device keeps tables for
// its heat and liquid channels only; a heat channel of any other device kind gets none).
QString TemplateFor(char kind, uint8_t medium) {
    if (medium == 'H' && kind != KindHeat)
        return QString();
    return TemplateFileName(FamilyForMedium(char(medium), kind == KindHeat));
}

}  // namespace

QDateTime ImageStartOfWork(const QByteArray &image) {
    if (image.size() < img::kStartOfWork + 4 || uint8_t(image[img::kStartOfWork]) == 0xFF)
        return QDateTime();
    const int hour = BcdToInt(uint8_t(image[img::kStartOfWork]));
    const QDate date(2000 + BcdToInt(uint8_t(image[img::kStartOfWork + 3])),
                     BcdToInt(uint8_t(image[img::kStartOfWork + 2])), BcdToInt(uint8_t(image[img::kStartOfWork + 1])));
    if (!date.isValid() || hour > 23)
        return QDateTime();
    return QDateTime(date, QTime(hour, 0));
}

void ShowExchangeDuration(App &app) {
    app.status().setText(Role::Label15, QStringLiteral("Длительность опроса: ") +
                                            ElapsedText(app.clock().monotonicMs() - app.status().shownAt()));
}

bool CheckExchangeTime(App &app) {
    if (app.clock().monotonicMs() - app.status().shownAt() <= kExchangeTimeLimitMs)
        return true;
    if (app.prompts().AskYesNo(kOverTimeQuestion, QStringLiteral("Ошибка"), 20) != AnswerYes) {
        app.abortState = AbortDeclined;
        return false;
    }
    app.status().setShownAt(app.clock().monotonicMs());
    return true;
}

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
        app.status().setText(Role::Label12, QStringLiteral("Read Set ") + QString::number(k) + QStringLiteral(" из 16)"));
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

void PrepareArchiveTables(App &app, const QString &deviceNumber) {
    const QString templates = TemplateDirectory(app.settings.settingsReportDir());
    const QString dir = DeviceDirectory(app.settings.dataDir(), deviceNumber);
    const QByteArray &image = app.device.KindImage();
    for (int n = 1; n <= 4; ++n) {
        const QString tmpl = TemplateFor(app.device.kind, uint8_t(image[img::kChannelRecords + img::kChannelRecordSize * (n - 1)]));
        if (tmpl.isEmpty())
            continue;
        for (char kind : {'h', 'd', 'm'})
            CreateTableFromTemplate(JoinPath(templates, tmpl), JoinPath(dir, ArchiveTableName(deviceNumber, n, kind)));
    }
    CreateTableFromTemplate(JoinPath(templates, QString::fromLatin1(kParamTemplateName)),
                            JoinPath(dir, ParamArchiveTableName(deviceNumber)));
}

void WriteDeviceReport(App &app, QStringList *report) {
    TParamSections sections(app);
    QStringList area;
    WriteSettingsReport(app.device, {app.settings.settingsReportDir(), &sections, &area});
    if (report) {
        report->clear();
        ReadSettingsReport(app.settings.settingsReportDir(), *report);
    }
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
            WriteDeviceReport(app, report);
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
    } catch (const SettingsReportError &e) {
        app.prompts().ShowNotice(e.text(), 10);
    } catch (const std::exception &) {
        app.prompts().ShowNotice(QStringLiteral("Ошибка 23:Исключение в процедуре Ttorv2s.Settings(Report: TMemo)"), 10);
    }
}

}  // namespace torv
