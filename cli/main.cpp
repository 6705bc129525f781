// torvmonitor-cli: the program's core without windows.
//   download        connect and download the device on the configured port
//   devices         the device registry
//   settings-report DEVPROG.REP of a device from its ".usd" file
#include "app/App.h"
#include "app/Commands.h"
#include "app/ExchangeRunner.h"
#include "app/Formats.h"
#include "app/Registry.h"
#include "archive/ArchiveTables.h"
#include "archive/TQuery.h"
#include "archive/TableError.h"
#include "archive/TableSchema.h"
#include "cli/CliPrompts.h"
#include "link/Link.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

using namespace torv;

namespace {

void Out(const QString &s) { std::printf("%s\n", s.toLocal8Bit().constData()); }
void Err(const QString &s) {
    std::fprintf(stderr, "%s\n", s.toLocal8Bit().constData());
    std::fflush(stderr);
}

const char *kUsage =
    "torvmonitor-cli COMMAND [options]\n"
    "\n"
    "Commands:\n"
    "  download          connect to the device and download its archives\n"
    "  devices           list the device registry\n"
    "  settings-report   write DEVPROG.REP of a device from its .usd file and print it\n"
    "  tables            the tables of a device and their row counts\n"
    "\n"
    "Options:\n"
    "  --program-dir DIR   program directory (Torv2a.ini, Data/, sourse/); default: the executable's\n"
    "  --port N            COM port number (ports.map in the program directory maps it)\n"
    "  --depth DAYS        download depth, 1..60\n"
    "  --kinds LIST        archive kinds per channel, e.g. mdh or mdh,md,-,h (m monthly, d daily, h hourly)\n"
    "  --param-archive     also read the device's parameter archive\n"
    "  --answer-time T     answer time unit, in 55 ms units\n"
    "  --device NUMBER     settings-report, tables: the device (default: the last chosen device)\n"
    "\n"
    "Questions are answered without the user: a question with a countdown takes its timeout answer\n"
    "(\"Нет\"), any other question \"Нет\". The download exits with 0 only when it was complete.\n";

struct Options {
    QString command, programDir, kinds, device;
    int port = 0, depth = 0, answerTime = 0;
    bool paramArchive = false;
    QString error;
};

Options Parse(const QStringList &args) {
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("не задано значение параметра ") + a;
                return QString();
            }
            return args[++i];
        };
        auto number = [&](int lo, int hi) {
            bool ok = false;
            const int v = value().toInt(&ok);
            if (o.error.isEmpty() && (!ok || v < lo || v > hi))
                o.error = QStringLiteral("недопустимое значение параметра ") + a;
            return v;
        };
        if (a == QLatin1String("--program-dir"))
            o.programDir = value();
        else if (a == QLatin1String("--port"))
            o.port = number(1, 256);
        else if (a == QLatin1String("--depth"))
            o.depth = number(1, 60);
        else if (a == QLatin1String("--answer-time"))
            o.answerTime = number(1, 1000);
        else if (a == QLatin1String("--kinds"))
            o.kinds = value();
        else if (a == QLatin1String("--device"))
            o.device = value();
        else if (a == QLatin1String("--param-archive"))
            o.paramArchive = true;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            o.command = QStringLiteral("help");
        else if (!a.startsWith(QLatin1Char('-')) && o.command.isEmpty())
            o.command = a;
        else
            o.error = QStringLiteral("неизвестный параметр ") + a;
    }
    return o;
}

// "mdh" for every channel, or four comma-separated groups; "-" for none.
bool ApplyKinds(TSettingsRecord &s, const QString &text) {
    QStringList groups = text.split(QLatin1Char(','));
    if (groups.size() == 1)
        groups = QStringList{groups[0], groups[0], groups[0], groups[0]};
    if (groups.size() != 4)
        return false;
    for (int ch = 1; ch <= 4; ++ch) {
        const QString g = groups[ch - 1].trimmed();
        for (QChar c : g)
            if (!QStringLiteral("mdh-").contains(c))
                return false;
        s.setArchiveKind(ch, 0, g.contains(QLatin1Char('m')));
        s.setArchiveKind(ch, 1, g.contains(QLatin1Char('d')));
        s.setArchiveKind(ch, 2, g.contains(QLatin1Char('h')));
    }
    return true;
}

// Current action and progress on standard error.
class StatusPrinter : public QObject {
public:
    explicit StatusPrinter(LinkStatus &s) {
        QObject::connect(&s, &LinkStatus::textChanged, this, [this](int role, const QString &text) {
            if (Role(role) == Role::StaticText2 && text != last_) {
                last_ = text;
                Err(QStringLiteral("  ") + text);
            }
        });
        QObject::connect(&s, &LinkStatus::progressChanged, this, [](int p) {
            static int shown = -1;
            if (p != shown) {
                shown = p;
                Err(QStringLiteral("  выполнено ") + QString::number(p) + QStringLiteral(" %"));
            }
        });
    }

private:
    QString last_;
};

int Download(App &app, CliPrompts &prompts) {
    InlineExchangeRunner runner;
    CommandView view;
    StatusPrinter printer(app.status());
    Err(QStringLiteral("Скачивание: COM") + QString::number(app.settings.comPort()) + QStringLiteral(", глубина ") +
        QString::number(app.settings.depth()) + QStringLiteral(" сут."));
    const qint64 t0 = app.clock().monotonicMs();
    app.status().setShownAt(t0);
    const bool complete = DownloadCommand(app, runner, view, nullptr);
    CloseLink(app);
    const double secs = (app.clock().monotonicMs() - t0) / 1000.0;
    if (complete) {
        Err(QStringLiteral("Скачивание завершено: прибор ") + app.deviceNumber + QStringLiteral(", ") +
            QString::number(secs, 'f', 1) + QStringLiteral(" с"));
        return 0;
    }
    Err(QStringLiteral("Скачивание не завершено (состояние прерывания ") + QString::number(app.abortState) +
        QStringLiteral(", ") + QString::number(secs, 'f', 1) + QStringLiteral(" с)"));
    Q_UNUSED(prompts);
    return 1;
}

int Devices(App &app) {
    Registry reg(app);
    if (!reg.RefreshList()) {
        Err(QStringLiteral("Реестр приборов не открывается: ") + reg.DatabaseLocation());
        return 1;
    }
    Out(QStringLiteral("ID  SERIAL      IDENT       OWNER               US                  START              TELEFON"));
    for (const RegistryRow &r : reg.rows())
        Out(QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                .arg(r.ID, -3)
                .arg(r.SERIAL, -11)
                .arg(r.IDENT, -11)
                .arg(r.OWNER, -19)
                .arg(r.US, -19)
                .arg(r.START, -18)
                .arg(r.TELEFON));
    return 0;
}

// The device a command is about: the one named, else the last chosen, else the registry's only one.
QString ChosenDevice(App &app, const QString &named) {
    if (!named.isEmpty())
        return named;
    if (!app.settings.lastDevice().isEmpty())
        return app.settings.lastDevice();
    Registry reg(app);
    if (reg.RefreshList() && reg.rows().size() == 1)
        return reg.rows().front().SERIAL.trimmed();
    return QString();
}

int SettingsReport(App &app, const QString &device) {
    const QString number = ChosenDevice(app, device);
    if (number.isEmpty()) {
        Err(QStringLiteral("Прибор не выбран (укажите --device)"));
        return 1;
    }
    app.deviceNumber = number;
    QStringList lines;
    if (!PrepareSettingsView(app, &lines))
        return 1;
    for (const QString &l : lines)
        Out(l);
    Err(QStringLiteral("Записан ") + QDir(app.settings.settingsReportDir()).filePath(QStringLiteral("DEVPROG.REP")));
    return 0;
}

int Tables(App &app, const QString &device) {
    const QString number = ChosenDevice(app, device);
    if (number.isEmpty()) {
        Err(QStringLiteral("Прибор не выбран (укажите --device)"));
        return 1;
    }
    const QString dir = DeviceDirectory(app.settings.dataDir(), number);
    const QStringList files = QDir(dir).entryList({QStringLiteral("*.dbf")}, QDir::Files, QDir::Name);
    if (files.isEmpty()) {
        Err(QStringLiteral("Нет таблиц прибора в ") + dir);
        return 1;
    }
    Out(QStringLiteral("Таблицы прибора ") + number + QStringLiteral(" (") + dir + QStringLiteral("):"));
    int failed = 0;
    for (const QString &f : files) {
        TQuery q(app.tables);
        q.setDatabaseName(dir);
        q.setSql(QStringLiteral("select * from ") + f);
        try {
            q.open();
            Out(QStringLiteral("  %1 %2 строк").arg(f, -16).arg(q.recordCount(), 7));
            for (const QString &damaged : q.damagedRecords())
                Out(QStringLiteral("    ") + damaged);
        } catch (const TableError &e) {
            Out(QStringLiteral("  %1 ошибка: %2").arg(f, -16).arg(e.text()));
            ++failed;
        }
    }
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication qapp(argc, argv);
    FixProcessFormats();
    const Options o = Parse(QCoreApplication::arguments());
    if (o.command == QLatin1String("help") || o.command.isEmpty()) {
        std::fputs(kUsage, o.command.isEmpty() ? stderr : stdout);
        return o.command.isEmpty() ? 2 : 0;
    }
    if (!o.error.isEmpty()) {
        Err(QStringLiteral("torvmonitor-cli: ") + o.error);
        return 2;
    }
    const QString programDir = o.programDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                                      : QFileInfo(o.programDir).absoluteFilePath();
    if (!QDir().mkpath(programDir)) {
        Err(QStringLiteral("torvmonitor-cli: нет доступа к каталогу ") + programDir);
        return 2;
    }

    RealClock clock;
    CliPrompts prompts;
    LinkStatus status;
    SystemProcessControl processes;
    App app(programDir, Seams{&clock, &prompts, &status, &processes});
    const QString loadError = app.loadSettings();
    if (!loadError.isEmpty())
        Err(loadError);
    // Options change this run only; the settings file keeps what the user set in the program.
    if (o.port)
        app.settings.setComPort(o.port);
    if (o.depth)
        app.settings.setInt32At(TSettingsRecord::Depth, o.depth);
    if (o.answerTime)
        app.settings.setInt32At(TSettingsRecord::AnswerTime, o.answerTime);
    if (o.paramArchive)
        app.settings.setByteAt(TSettingsRecord::ParamArchive, 1);
    if (!o.kinds.isEmpty() && !ApplyKinds(app.settings, o.kinds)) {
        Err(QStringLiteral("torvmonitor-cli: недопустимый список архивов ") + o.kinds);
        return 2;
    }
    try {
        EnsureTemplates(app.settings.settingsReportDir());
        EnsureRegistryTable(app.settings.devDir());
    } catch (const std::exception &e) {
        Err(QString::fromUtf8(e.what()));
        return 1;
    }

    if (o.command == QLatin1String("download"))
        return Download(app, prompts);
    if (o.command == QLatin1String("devices"))
        return Devices(app);
    if (o.command == QLatin1String("settings-report"))
        return SettingsReport(app, o.device);
    if (o.command == QLatin1String("tables"))
        return Tables(app, o.device);
    Err(QStringLiteral("torvmonitor-cli: неизвестная команда ") + o.command);
    return 2;
}
