#include "app/ProgramSettings.h"

#include "app/App.h"
#include "app/Registry.h"
#include "archive/TableSchema.h"
#include "link/Link.h"
#include "link/PortMap.h"

#include <QRegularExpression>
#include <algorithm>

namespace torv {

namespace {

const char kKindLetters[] = {'m', 'd', 'h'};

}  // namespace

QString LinkModeName(int linkMode) {
    switch (linkMode) {
    case LinkModeDirect: return QStringLiteral("direct");
    case LinkModeModem: return QStringLiteral("modem");
    case LinkModeRs485: return QStringLiteral("rs485");
    default: return QStringLiteral("none");
    }
}

int LinkModeFromName(const QString &name) {
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("direct") || n == QLatin1String("rs232") || n == QLatin1String("1"))
        return LinkModeDirect;
    if (n == QLatin1String("modem") || n == QLatin1String("2"))
        return LinkModeModem;
    if (n == QLatin1String("rs485") || n == QLatin1String("3"))
        return LinkModeRs485;
    return 0;
}

SettingsControls CreateSettingsControls(App &app) {
    TSettingsRecord &s = app.settings;
    SettingsControls c;
    c.comIndex = std::clamp(s.comPort(), 1, kComPorts) - 1;  // a stored 0 shows as COM1
    s.setByteAt(TSettingsRecord::UpdateStored, 1);
    for (int ch = 1; ch <= 4; ++ch)
        for (int k = 0; k < 3; ++k)
            c.setKind(ch, k, s.archiveKind(ch, k));
    c.linkMode = s.linkMode();
    c.pulseDial = s.pulseDial();
    c.gsm = s.gsmModem();
    c.paramArchive = s.paramArchive();
    // The bus address of the record becomes the device's when it is set.
    app.link.linkType = s.linkMode() == LinkModeRs485 ? LinkType::RS485 : LinkType::RS232;
    if (s.rs485Address() != 0) {
        c.address = QString::number(s.rs485Address());
        app.link.rs485Address = s.rs485Address();
    }
    c.modemWait = std::clamp(s.modemWait(), kMinModemWait, kMaxModemWait);
    c.answerTime = QString::number(s.answerTime());
    c.depth = QString::number(s.depth());
    return c;
}

QStringList ApplySettingsControls(App &app, const SettingsControls &c) {
    TSettingsRecord &s = app.settings;
    LinkState &link = app.link;
    QStringList notes;

    // 1. Port, answer time and depth; a text that is not a number leaves these three as they were.
    bool okT = false, okDepth = false;
    const int t = c.answerTime.trimmed().toInt(&okT);
    int depth = c.depth.trimmed().toInt(&okDepth);
    if (okT && okDepth && t > 0) {
        s.setComPort(std::clamp(c.comIndex + 1, 1, kComPorts));
        s.setInt32At(TSettingsRecord::AnswerTime, t);
        if (depth > kMaxDepth || depth < kMinDepth) {
            const int kept = std::clamp(depth, kMinDepth, kMaxDepth);
            notes << QStringLiteral("Глубина скачивания %1 вне пределов 1…60: записано %2").arg(depth).arg(kept);
            depth = kept;
        }
        s.setInt32At(TSettingsRecord::Depth, depth);
    } else {
        notes << QStringLiteral(
            "Порт, время ожидания ответа и глубина скачивания не изменены: "
            "введено не число");
    }

    // 5 comes before the link type here: the bus address decides between "RS485" and "RS232L".
    int address = s.rs485Address();
    if (c.useAddress) {
        bool ok = false;
        const QString text = c.address.trimmed().isEmpty() ? c.storedAddress : c.address;
        const int a = text.trimmed().toInt(&ok);
        if (ok && a >= 0) {
            address = a;
            s.setInt32At(TSettingsRecord::Rs485Address, a);
            link.rs485Address = a;
        }
    }

    // 2–3. The link type follows the link mode. A link of another type is closed first, while
    // the record still holds the old mode (a modem line is hung up, a port released), so the
    // old and the new link never hold the line at once.
    const int mode = c.linkMode >= LinkModeDirect && c.linkMode <= LinkModeRs485 ? c.linkMode : LinkModeDirect;
    const QString newType = LinkTypeForMode(mode, address);
    const bool modeChanges = s.linkMode() != mode;
    if (newType != link.linkType || modeChanges) {
        if (link.port || link.linkOpen)
            CloseLink(app);
        link.linkType = newType;
        link.linkOpen = 0;
    }

    // 4.
    s.setByteAt(TSettingsRecord::UpdateStored, 1);
    s.setLinkMode(mode);
    s.setByteAt(TSettingsRecord::ParamArchive, c.paramArchive ? 1 : 0);
    for (int ch = 1; ch <= 4; ++ch)
        for (int k = 0; k < 3; ++k)
            s.setArchiveKind(ch, k, c.kind(ch, k));
    s.setByteAt(TSettingsRecord::PulseDial, c.pulseDial ? 1 : 0);
    s.setByteAt(TSettingsRecord::GsmModem, c.gsm ? 1 : 0);
    s.setByteAt(TSettingsRecord::ModemChosen, mode == LinkModeModem ? 1 : 0);

    // 6.
    const int wait = std::clamp(c.modemWait, kMinModemWait, kMaxModemWait);
    if (wait != c.modemWait)
        notes << QStringLiteral("Время ожидания соединения модемов %1 вне пределов 40…150: записано %2")
                     .arg(c.modemWait)
                     .arg(wait);
    s.setInt32At(TSettingsRecord::ModemWait, wait);
    return notes;
}

QString KindsText(const TSettingsRecord &s) {
    QStringList groups;
    for (int ch = 1; ch <= 4; ++ch) {
        QString g = QString::number(ch) + QLatin1Char(':');
        for (int k = 0; k < 3; ++k)
            if (s.archiveKind(ch, k))
                g += QLatin1Char(kKindLetters[k]);
        groups << g;
    }
    return groups.join(QLatin1Char(','));
}

bool ParseKinds(const QString &text, SettingsControls &c) {
    static const QRegularExpression letters(QStringLiteral("^[mdh]*$"));
    auto apply = [&](int ch, QString g) {
        if (g == QLatin1String("-"))
            g.clear();
        if (!letters.match(g).hasMatch())
            return false;
        for (int k = 0; k < 3; ++k)
            c.setKind(ch, k, g.contains(QLatin1Char(kKindLetters[k])));
        return true;
    };
    const QString t = text.trimmed().toLower();
    if (t.isEmpty())
        return false;
    const QStringList groups = t.split(QLatin1Char(','));
    if (groups.size() == 1 && !groups[0].contains(QLatin1Char(':'))) {
        for (int ch = 1; ch <= 4; ++ch)
            if (!apply(ch, groups[0].trimmed()))
                return false;
        return true;
    }
    if (groups.size() == 4 && !t.contains(QLatin1Char(':'))) {
        for (int ch = 1; ch <= 4; ++ch)
            if (!apply(ch, groups[ch - 1].trimmed()))
                return false;
        return true;
    }
    // Channel by channel: "1:mdh,2:d,3:,4:h"; a channel named twice is an error.
    bool seen[5] = {};
    for (const QString &raw : groups) {
        const QString g = raw.trimmed();
        const int colon = g.indexOf(QLatin1Char(':'));
        bool ok = false;
        const int ch = colon > 0 ? g.left(colon).toInt(&ok) : 0;
        if (!ok || ch < 1 || ch > 4 || seen[ch] || !apply(ch, g.mid(colon + 1).trimmed()))
            return false;
        seen[ch] = true;
    }
    return true;
}

QStringList DescribeSettings(App &app) {
    const TSettingsRecord &s = app.settings;
    auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
    QStringList out;
    out << QStringLiteral("link-mode=%1 (%2)").arg(LinkModeName(s.linkMode())).arg(s.linkMode())
        << QStringLiteral("link-type=") + LinkTypeForMode(s.linkMode(), s.rs485Address())
        << QStringLiteral("port=%1").arg(s.comPort())
        << QStringLiteral("port-target=") + PortMap::Resolve(app.programDir(), std::max(1, s.comPort()))
        << QStringLiteral("rs485-address=%1").arg(s.rs485Address())
        << QStringLiteral("answer-time=%1").arg(s.answerTime()) << QStringLiteral("depth=%1").arg(s.depth())
        << QStringLiteral("kinds=") + KindsText(s) << QStringLiteral("param-archive=") + onOff(s.paramArchive())
        << QStringLiteral("modem-wait=%1").arg(s.modemWait())
        << QStringLiteral("dial=") + (s.pulseDial() ? QStringLiteral("pulse") : QStringLiteral("tone"))
        << QStringLiteral("gsm=") + onOff(s.gsmModem()) << QStringLiteral("data-dir=") + s.dataDir()
        << QStringLiteral("dev-dir=") + s.devDir() << QStringLiteral("report-dir=") + s.reportDir()
        << QStringLiteral("settings-report-dir=") + s.settingsReportDir()
        << QStringLiteral("last-device=") + s.lastDevice();
    // The telephone number (or bus address) stored for the last chosen device: the number the
    // modem dials unless another is typed for the run. Read only when the registry exists.
    QString phone;
    bool exists = false;
    TableEngine::ResolveTable(s.devDir(), QLatin1String(kRegistryTableName), &exists);
    if (exists && !s.lastDevice().isEmpty()) {
        Registry reg(app);
        if (reg.RefreshList() && reg.currentRow() && reg.currentRow()->SERIAL == s.lastDevice())
            phone = reg.currentRow()->TELEFON;
    }
    out << QStringLiteral("phone=") + phone;
    return out;
}

}  // namespace torv
