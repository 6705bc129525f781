#include "base/FileWrite.h"

#include <QSaveFile>

namespace torv {

namespace {

QString Reason(const QSaveFile &f, const QString &fallback) {
    const QString text = f.error() != QFileDevice::NoError ? f.errorString() : QString();
    return text.isEmpty() ? fallback : text;
}

}  // namespace

bool ReplaceFileContents(const QString &path, const QByteArray &bytes, QString *reason) {
    QSaveFile f(path);
    // Unbuffered: with a write buffer the bytes would only reach the disk inside commit(), whose
    // result does not reflect a failed flush, and an empty file would replace the old one.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (reason)
            *reason = Reason(f, QStringLiteral("файл не создается"));
        return false;
    }
    const qint64 put = bytes.isEmpty() ? 0 : f.write(bytes);
    if (put != bytes.size()) {
        if (reason)
            *reason = Reason(f, QStringLiteral("записано %1 байт из %2 (нет места на диске?)")
                                    .arg(qMax<qint64>(put, 0))
                                    .arg(bytes.size()));
        f.cancelWriting();
        f.commit();  // removes the temporary file
        return false;
    }
    if (!f.flush() || !f.commit()) {
        if (reason)
            *reason = Reason(f, QStringLiteral("файл не записан"));
        return false;
    }
    return true;
}

}  // namespace torv
