#include "base/Formats.h"

#include <QLocale>
#include <clocale>
#include <locale>

namespace torv {

void FixProcessFormats() {
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_NUMERIC, "C");
    std::setlocale(LC_TIME, "C");
    std::locale::global(std::locale::classic());
}

QString FormatDate(const QDate &d) { return d.toString(QStringLiteral("dd.MM.yyyy")); }
QString FormatTime(const QTime &t) { return t.toString(QStringLiteral("hh:mm:ss")); }
QString FormatDateTime(const QDateTime &dt) { return dt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")); }

QDate ParseDate(const QString &text) { return QDate::fromString(text.trimmed(), QStringLiteral("dd.MM.yyyy")); }

QString FormatFixed(double value, int decimals) { return QString::number(value, 'f', decimals); }
QString FormatGeneral(double value) { return QString::number(value, 'g', 15); }

}  // namespace torv
