#include "link/PortMap.h"

#include "link/LinkContext.h"
#include "link/SerialPortLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace torv {

QString PortMap::Path(const QString &programDir) { return QDir(programDir).filePath(QString::fromLatin1(kFileName)); }

QString PortMap::DefaultTarget(int portNumber) { return QStringLiteral("/dev/ttyS") + QString::number(portNumber - 1); }

QString PortMap::Lookup(const QString &mapText, int portNumber) {
    static const QRegularExpression entry(QStringLiteral("^\\s*COM(\\d+)\\s*=\\s*(.*?)\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QStringList lines = mapText.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        const auto m = entry.match(line);
        if (m.hasMatch() && m.captured(1).toInt() == portNumber && !m.captured(2).isEmpty())
            return m.captured(2);
    }
    return {};
}

QString PortMap::Resolve(const QString &programDir, int portNumber, QString *problem) {
    const QString path = Path(programDir);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return DefaultTarget(portNumber);
    QFile f(path);
    QString why;
    if (info.isDir())
        why = QStringLiteral("это каталог, а не файл");
    else if (!f.open(QIODevice::ReadOnly))
        why = f.errorString();
    if (!why.isEmpty()) {
        if (problem)
            *problem = path + QStringLiteral(" не читается (") + why + QLatin1Char(')');
        return QString();
    }
    const QString target = Lookup(QString::fromUtf8(f.readAll()), portNumber);
    return target.isEmpty() ? DefaultTarget(portNumber) : target;
}

namespace {

// The line of a port that ports.map could not name: it never opens, and says why.
class UnmappedLine final : public SerialLine {
public:
    UnmappedLine(const QString &target, const QString &why) : target_(target), why_(why) {}
    QString target() const override { return target_; }
    bool open() override { return false; }
    QString errorText() const override { return why_; }
    bool configure(const LineFormat &) override { return false; }
    Switch setDtr(bool) override { return Switch::Failed; }
    Switch setRts(bool) override { return Switch::Failed; }
    ModemLines modemLines() override { return {}; }
    int bytesWaiting() override { return -1; }
    bool outputEmpty() override { return true; }
    int takeReceiveErrors() override { return kNoErrorCounters; }
    bool waitForData(qint64) override { return false; }
    bool readByte(uint8_t &) override { return false; }
    bool writeByte(uint8_t) override { return false; }
    bool waitForWritten(qint64) override { return false; }

private:
    QString target_;
    QString why_;
};

}  // namespace

std::unique_ptr<SerialLine> CreateLineForTarget(LinkContext &app, const QString &target) {
    if (target.startsWith(QStringLiteral("tcp:"), Qt::CaseInsensitive)) {
        const QString rest = target.mid(4);
        const int colon = rest.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        const uint port = colon > 0 ? rest.mid(colon + 1).toUInt(&ok) : 0;
        QString host = colon > 0 ? rest.left(colon) : rest;
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        return std::make_unique<TcpSerialLine>(host, ok && port <= 65535 ? quint16(port) : quint16(0));
    }
    // "<scheme>:<rest>" of a scheme the program registered (a device path has no colon before
    // its first slash).
    const int colon = target.indexOf(QLatin1Char(':'));
    if (colon > 0 && !target.left(colon).contains(QLatin1Char('/'))) {
        const QString scheme = target.left(colon).toLower();
        const auto it = app.link.schemes.find(scheme);
        if (it != app.link.schemes.end())
            return it->second->CreateLine(target.mid(colon + 1), app.clock());
        if (scheme == QLatin1String("sim"))
            return std::make_unique<UnmappedLine>(
                target, target + QStringLiteral(" — симулятор прибора в этой программе не подключен"));
    }
    return std::make_unique<SerialPortLine>(target);
}

std::unique_ptr<SerialLine> CreateLine(LinkContext &app, int portNumber) {
    QString problem;
    const QString target = PortMap::Resolve(app.programDir(), portNumber, &problem);
    if (!problem.isEmpty())
        return std::make_unique<UnmappedLine>(PortMap::Path(app.programDir()), problem);
    return CreateLineForTarget(app, target);
}

}  // namespace torv
