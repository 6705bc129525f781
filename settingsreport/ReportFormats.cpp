#include "settingsreport/ReportFormats.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace torv {

DeviceStamp StampAt(const QByteArray &image, int offset) {
    DeviceStamp s{};
    for (int i = 0; i < 4; ++i)
        s[i] = uint8_t(image[offset + i]);
    return s;
}

static QString TwoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

QString DeviceTimeStamp(const DeviceStamp &s) {
    if (s[0] == 0xFF)
        return QStringLiteral("Нет");
    const int yy = BcdToInt(s[3]);
    const int year = yy <= 90 ? 2000 + yy : 1900 + yy;
    return TwoDigits(BcdToInt(s[0])) + QStringLiteral(":00  ") + TwoDigits(BcdToInt(s[1])) + QLatin1Char('-') +
           TwoDigits(BcdToInt(s[2])) + QLatin1Char('-') + QString::number(year);
}

DeviceStamp ShiftedStartOfWork(const DeviceStamp &s, int contractHour) {
    if (contractHour < 1 || contractHour > 23 || s[0] == 0xFF)
        return s;
    const QDate date(2000 + BcdToInt(s[3]), BcdToInt(s[2]), BcdToInt(s[1]));
    const int hour = BcdToInt(s[0]);
    if (!date.isValid() || hour > 23)
        return s;
    const QDateTime shifted = QDateTime(date, QTime(hour, 0), Qt::UTC).addSecs(qint64(contractHour) * 3600);
    return DeviceStamp{IntToBcd(shifted.time().hour()), IntToBcd(shifted.date().day()),
                       IntToBcd(shifted.date().month()), IntToBcd(shifted.date().year() - 2000)};
}

QString FixedCoefficient(double v) {
    if (!std::isfinite(v))
        return QString();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.5e", v);
    const double rounded = std::strtod(buf, nullptr);
    const char *e = std::strchr(buf, 'e');
    const int exponent = e ? std::atoi(e + 1) : 0;
    if (rounded != 0.0 && exponent >= 6) {
        // Six significant digits in the scientific form of the general number.
        QByteArray mantissa(buf, int(e - buf));
        bool negative = mantissa.startsWith('-');
        if (negative)
            mantissa.remove(0, 1);
        while (mantissa.endsWith('0'))
            mantissa.chop(1);
        if (mantissa.endsWith('.'))
            mantissa.chop(1);
        QByteArray exp = QByteArray::number(std::abs(exponent));
        while (exp.size() < 3)
            exp.prepend('0');
        return QString::fromLatin1((negative ? "-" : "") + mantissa + "E" + (exponent < 0 ? "-" : "+") + exp);
    }
    return QString::asprintf("%.6f", rounded);
}

long long HoldSeconds(uint16_t ticks) {
    const double x = ticks / 7.6294;
    const double f = std::floor(x);
    const double diff = x - f;
    long long r = (long long)f;
    if (diff > 0.5 || (diff == 0.5 && (r % 2) != 0))
        ++r;
    return r;
}

QString RightAligned(double v, int decimals, int width) {
    if (!std::isfinite(v))
        return QString(width, QLatin1Char(' '));
    QString text = QString::asprintf("%*.*f", width, decimals, v);
    // A value that rounds to zero prints without a sign, whatever the side it came from.
    const int minus = text.indexOf(QLatin1Char('-'));
    if (minus >= 0 && !text.contains(QRegularExpression(QStringLiteral("[1-9]"))))
        text.replace(minus, 1, QLatin1Char(' '));
    return text;
}

QString RightAlignedText(const QString &text, int width) { return text.rightJustified(width, QLatin1Char(' ')); }

QString Dashes(int n) { return QString(n, QLatin1Char('-')); }

}  // namespace torv
