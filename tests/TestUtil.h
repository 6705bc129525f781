// Small helpers shared by the tests.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace torvtest {

inline QByteArray ReadAll(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool WriteAll(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

inline QString SourceDir() { return qEnvironmentVariable("TORV_SOURCE_DIR"); }
inline QString BinaryDir() { return qEnvironmentVariable("TORV_BINARY_DIR"); }

}  // namespace torvtest
