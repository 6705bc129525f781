#include "archive/GasTotals.h"

#include "archive/ArchiveContext.h"
#include "base/FileNames.h"
#include "base/FileWrite.h"
#include "base/Formats.h"
#include "device/DevData.h"
#include "link/ComPort.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace torv {

namespace {

constexpr int kOffsetOrificeTotal = 27;  // media 'A' and 'D'
constexpr int kOffsetOtherTotal = 31;
constexpr int kMaxReplies = 4;
constexpr int kStepMs = 20;
constexpr int kGiveUpMs = 60000;
constexpr int kResendEverySec = 5;

const QDate kDayZero(1899, 12, 30);

float FloatOf(const QByteArray &b, int offset) {
    const quint32 u = qFromLittleEndian<quint32>(b.constData() + offset);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

bool AsksForTotal(uint8_t medium) { return medium == 'V' || medium == 'S' || medium == 'A' || medium == 'B'; }

}  // namespace

double ToDayCount(const QDateTime &dt) {
    if (!dt.isValid())
        return 0.0;
    const qint64 days = kDayZero.daysTo(dt.date());
    return double(days) + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

QDateTime FromDayCount(double days) {
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        return QDateTime();
    const double whole = std::floor(days);
    const qint64 ms = qint64(std::llround((days - whole) * 86400000.0));
    return QDateTime(kDayZero.addDays(qint64(whole)), QTime(0, 0)).addMSecs(ms);
}

QString TotalsPath(const QString &devDir, const QString &factoryNumber) {
    return FindNoCase(devDir, QStringLiteral("T2_") + factoryNumber + QStringLiteral(".vc"));
}

QByteArray EncodeTotals(const std::array<float, 4> &totals, const QDateTime &date) {
    QByteArray b(kTotalsFileSize, '\0');
    for (int i = 0; i < 4; ++i) {
        quint32 u;
        std::memcpy(&u, &totals[i], 4);
        qToLittleEndian(u, b.data() + 4 * i);
    }
    const double d = ToDayCount(date);
    quint64 u;
    std::memcpy(&u, &d, 8);
    qToLittleEndian(u, b.data() + 16);
    return b;
}

bool DecodeTotals(const QByteArray &b, std::array<float, 4> &totals, QDateTime &date) {
    if (b.size() != kTotalsFileSize)
        return false;
    for (int i = 0; i < 4; ++i)
        totals[i] = FloatOf(b, 4 * i);
    const quint64 u = qFromLittleEndian<quint64>(b.constData() + 16);
    double d;
    std::memcpy(&d, &u, 8);
    date = FromDayCount(d);
    return true;
}

bool LoadTotals(ArchiveContext &app, const QString &factoryNumber) {
    QFile f(TotalsPath(app.settings.devDir(), factoryNumber));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    std::array<float, 4> totals{};
    QDateTime date;
    if (!DecodeTotals(f.read(kTotalsFileSize + 1), totals, date))
        return false;
    app.device.gasTotals = totals;
    app.device.totalsDate = date;
    app.device.devObj().totals = totals;
    if (date.isValid())
        app.device.devObj().deviceDate = date.date();
    return true;
}

QString SaveTotals(ArchiveContext &app) {
    TTorv2s &dev = app.device;
    dev.gasTotals = dev.devObj().totals;
    // The factory number of the kind's image copy, the name the ".usd" file carries too.
    const QString number = dev.FactoryNumber();
    const QString path = TotalsPath(app.settings.devDir(), number);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString reason;
    if (!ReplaceFileContents(path, EncodeTotals(dev.gasTotals, dev.totalsDate), &reason))
        return QStringLiteral("Не удалось записать файл итоговых объемов ") + QDir::toNativeSeparators(path) +
               QStringLiteral(": ") + reason;
    return QString();
}

// Waits for the first byte of the reply, repeating the request every five counted seconds.
// Returns false when nothing came within the count limit.
static bool WaitForReply(ArchiveContext &app, TComPort &port) {
    const qint64 asked = app.clock().monotonicMs();
    int countMs = 0;
    int nextResend = kResendEverySec;
    while (true) {
        app.clock().sleepMs(kStepMs);
        app.pump();
        const qint64 seconds = (app.clock().monotonicMs() - asked) / 1000;
        app.status().setText(Role::StaticText2, QStringLiteral("Получение итогового объема Vc Ожидание ответа ") +
                                                    QString::number(seconds) + QStringLiteral(" сек"));
        countMs += kStepMs;
        // Rounded to the nearest second with halves to even: resent at 4520, 9500, 14520, … ms.
        if (std::nearbyint(countMs / 1000.0) >= nextResend) {
            port.WriteByte(kTotalsRequest);
            nextResend += kResendEverySec;
        }
        if (port.QueryStatus() & TComPort::FlagDataWaiting)
            return true;
        if (countMs > kGiveUpMs)
            return false;
    }
}

void RequestGasTotal(ArchiveContext &app, int channel) {
    try {
        TDevObj &obj = app.device.devObj();
        obj.SetChannel(channel);
        const uint8_t medium = obj.Medium();
        if (app.abortState == AbortRunning && app.link.linkType == LinkType::RS232 && app.link.port &&
            AsksForTotal(medium)) {
            TComPort &port = *app.link.port;
            for (int reply = 0; reply < kMaxReplies; ++reply) {
                app.status().setText(Role::StaticText2,
                                     QStringLiteral("Получение итогового объема газа в стандартных условиях Vc (м3)"));
                port.WriteByte(kTotalsRequest);
                if (!WaitForReply(app, port)) {
                    app.status().setText(Role::StaticText2, QStringLiteral("Нет ответа от прибора в течении 20 сек"));
                    return;
                }
                port.longWait = 0;
                QByteArray r(kTotalsReplySize, '\0');
                for (int i = 0; i < kTotalsReplySize; ++i)
                    r[i] = char(port.ReadByte(10));
                const QString now = FormatDateTime(app.clock().now());
                if (uint8_t(r[0]) != kTotalsReplyMark || port.status != TComPort::StatusClean) {
                    app.status().setText(Role::StaticText2, now + QStringLiteral(" Принял некоректные данные"));
                    return;
                }
                app.status().setText(Role::StaticText2, now + QStringLiteral(" Данные приняты успешно"));
                const int about = ((uint8_t(r[4]) >> 4) & 3) + 1;
                if (about == channel) {
                    const bool orifice = medium == 'D' || medium == 'A';
                    obj.totals[channel - 1] = FloatOf(r, orifice ? kOffsetOrificeTotal : kOffsetOtherTotal);
                    break;
                }
            }
        }
        const QString err = SaveTotals(app);
        if (!err.isEmpty())
            app.status().addLine(Role::RichEdit1, err);
    } catch (const std::exception &e) {
        app.status().addLine(Role::RichEdit1, QString::fromUtf8(e.what()));
    }
}

}  // namespace torv
