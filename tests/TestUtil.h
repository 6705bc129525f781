// Small helpers shared by the tests.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include "base/CodePage.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <string>

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

// The first line where two cp1251 texts differ, for a readable golden-file failure.
inline QString FirstDifference(const QByteArray &expected, const QByteArray &actual) {
    const QList<QByteArray> a = expected.split('\n'), b = actual.split('\n');
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const QByteArray x = i < a.size() ? a[i] : QByteArray("<end>");
        const QByteArray y = i < b.size() ? b[i] : QByteArray("<end>");
        if (x != y)
            return QStringLiteral("line %1:\n  golden: %2\n  actual: %3")
                .arg(i + 1)
                .arg(torv::FromCp1251(x), torv::FromCp1251(y));
    }
    return QString();
}

inline QString SourceDir() { return qEnvironmentVariable("TORV_SOURCE_DIR"); }
inline QString BinaryDir() { return qEnvironmentVariable("TORV_BINARY_DIR"); }

// Compares a produced file with its reviewed golden file. With TORV_UPDATE_GOLDEN=1 in the
// environment the golden file is rewritten instead (on purpose only; review the difference).
inline ::testing::AssertionResult MatchesGolden(const QString &goldenPath, const QByteArray &actual) {
    if (qEnvironmentVariable("TORV_UPDATE_GOLDEN") == QLatin1String("1")) {
        QDir().mkpath(QFileInfo(goldenPath).absolutePath());
        if (!WriteAll(goldenPath, actual))
            return ::testing::AssertionFailure() << "cannot write " << goldenPath.toStdString();
        return ::testing::AssertionSuccess() << "rewrote " << goldenPath.toStdString();
    }
    const QByteArray golden = ReadAll(goldenPath);
    if (golden.isEmpty())
        return ::testing::AssertionFailure() << "no golden file " << goldenPath.toStdString();
    if (actual != golden)
        return ::testing::AssertionFailure() << FirstDifference(golden, actual).toStdString();
    return ::testing::AssertionSuccess();
}

// A parameterized test's name from a text parameter ("gas-vdab" → "gas_vdab").
inline std::string ParamName(const ::testing::TestParamInfo<const char *> &info) {
    std::string name = info.param;
    for (char &c : name)
        if (c == '-')
            c = '_';
    return name;
}

}  // namespace torvtest
