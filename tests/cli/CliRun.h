// Running torvmonitor-cli and torv2-sim from the tests.
#pragma once

#include "TestUtil.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <map>

namespace torvtest {

inline QString Bin(const QString &rel) { return BinaryDir() + QLatin1Char('/') + rel; }

struct CliResult {
    int code = -1;
    QString out, err;
};

inline CliResult RunCli(const QStringList &args, int timeoutMs = 60000) {
    QProcess p;
    p.start(Bin(QStringLiteral("cli/torvmonitor-cli")), args);
    CliResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.err = QStringLiteral("<timed out>");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// torv2-sim serving a pseudo-terminal linked at DIR/ttyTORV.
struct SimProcess {
    QProcess p;
    QString link;
    bool Start(const QString &dir, const QStringList &extra) {
        link = dir + QStringLiteral("/ttyTORV");
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(Bin(QStringLiteral("sim/torv2-sim")), QStringList{"--pty", link} + extra);
        if (!p.waitForStarted(10000))
            return false;
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(link) && t.elapsed() < 10000)
            QThread::msleep(20);
        return QFileInfo::exists(link);
    }
    // ports.map of the program directory: COM1 is the simulator.
    bool MapCom1(const QString &dir) const {
        return WriteAll(dir + QStringLiteral("/ports.map"),
                        (QStringLiteral("COM1=") + link + QLatin1Char('\n')).toUtf8());
    }
    ~SimProcess() {
        p.terminate();
        if (!p.waitForFinished(5000))
            p.kill();
    }
};

// "name=value" lines of `settings show` as a map.
inline std::map<QString, QString> SettingsLines(const QString &out) {
    std::map<QString, QString> m;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            m[line.left(eq)] = line.mid(eq + 1);
    }
    return m;
}

}  // namespace torvtest
