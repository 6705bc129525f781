// torvmonitor-cli: the program's core without windows.
//   download         connect and download the device on the configured port
//   devices          the device registry
//   tables           the tables of a device with their row counts
//   settings-report  DEVPROG.REP of a device from its ".usd" file
//   settings         show or set the program settings (Torv2a.ini)
//   set-clock        write the computer's time into the device clock
//   delete-archives  delete a device's archives ("Удалить все")
#include "app/App.h"
#include "app/Commands.h"
#include "app/ExchangeRunner.h"
#include "base/Formats.h"
#include "app/ProgramSettings.h"
#include "app/Registry.h"
#include "app/UnixSignals.h"
#include "archive/ArchiveTables.h"
#include "archive/TQuery.h"
#include "archive/TableError.h"
#include "archive/TableSchema.h"
#include "cli/CliPrompts.h"
#include "cli/CliStatus.h"
#include "link/Link.h"
#include "link/PortMap.h"
#include "sim/SimLineScheme.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <map>
#include <set>

using namespace torv;

namespace {

// Exit statuses.
enum Exit : int { ExitOk = 0, ExitFailed = 1, ExitUsage = 2, ExitLocked = 3, ExitInterrupted = 5 };

void Out(const QString &s) {
    std::printf("%s\n", s.toLocal8Bit().constData());
    std::fflush(stdout);
}
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
    "  tables            the tables of a device and their row counts\n"
    "  settings-report   write DEVPROG.REP of a device from its .usd file and print it\n"
    "  settings show     print the program settings, one name=value a line\n"
    "  settings set      change the settings named by the options (Torv2a.ini is written at once)\n"
    "  set-clock         write the computer's time into the device clock\n"
    "  delete-archives   delete the archives and side files of a device\n"
    "\n"
    "Options of every command:\n"
    "  --program-dir DIR   program directory (Torv2a.ini, Data/, sourse/); default: the executable's\n"
    "  --verbose           print every line of the link status log\n"
    "\n"
    "download (the options change this run only; 'settings set' keeps them):\n"
    "  --port N            COM port number 1..256 (ports.map in the program directory maps it)\n"
    "  --depth DAYS        download depth, 1..60\n"
    "  --kinds SPEC        archive kinds: mdh for every channel, or per channel 1:mdh,2:d,3:,4:h\n"
    "                      (m monthly, d daily, h hourly)\n"
    "  --param-archive [on|off]  also read the device's parameter archive\n"
    "  --answer-time T     answer time unit, in 55 ms units\n"
    "  --link-mode M       direct, modem or rs485\n"
    "  --phone TEXT        telephone number to dial (as typed under \"Использовать телефон, введенный ниже\")\n"
    "  --rs485-address N   bus address of the device, 0..255\n"
    "\n"
    "settings set: --port, --link-mode, --rs485-address, --depth, --kinds, --answer-time, --param-archive on|off,\n"
    "  --modem-wait S (40..150), --dial pulse|tone, --gsm on|off, --data-dir DIR, --dev-dir DIR,\n"
    "  --report-dir DIR, --last-device N (chooses a device of the registry as the device list does),\n"
    "  --phone TEXT (the telephone number stored for the last chosen device, as \"Изменить\" stores it)\n"
    "\n"
    "settings-report, tables, delete-archives:\n"
    "  --device NUMBER     the device (default: the last chosen device)\n"
    "set-clock, delete-archives:\n"
    "  --yes               answer \"Да\" to the command's question (without it the answer is \"Нет\")\n"
    "\n"
    "Questions are answered without the user: a question with a countdown takes its timeout answer\n"
    "(\"Нет\"), any other question \"Нет\". Exit status: 0 done, 1 failed or incomplete, 2 usage,\n"
    "3 another program holds the data directory, 5 interrupted (SIGINT, SIGTERM).\n";

// The options of a command line: "--name value" pairs and flags, checked per command.
struct Options {
    QString command, sub;
    std::map<QString, QString> values;
    std::set<QString> flags;
    QString error;

    bool has(const char *name) const { return values.count(QString::fromLatin1(name)) != 0; }
    QString value(const char *name) const {
        const auto it = values.find(QString::fromLatin1(name));
        return it == values.end() ? QString() : it->second;
    }
    bool flag(const char *name) const { return flags.count(QString::fromLatin1(name)) != 0; }
};

const std::set<QString> kValueOptions{"program-dir", "port",    "depth",         "answer-time", "kinds", "device",
                                      "link-mode",   "phone",   "rs485-address", "modem-wait",  "dial",  "gsm",
                                      "data-dir",    "dev-dir", "report-dir",    "last-device"};
const std::set<QString> kFlagOptions{"yes", "verbose", "help"};

Options Parse(const QStringList &args) {
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            o.flags.insert(QStringLiteral("help"));
            continue;
        }
        if (!a.startsWith(QLatin1String("--"))) {
            if (o.command.isEmpty())
                o.command = a;
            else if (o.command == QLatin1String("settings") && o.sub.isEmpty())
                o.sub = a;
            else if (o.error.isEmpty())
                o.error = QStringLiteral("лишний аргумент ") + a;
            continue;
        }
        QString name = a.mid(2), value;
        bool inlineValue = false;
        if (const int eq = name.indexOf(QLatin1Char('=')); eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            inlineValue = true;
        }
        if (name == QLatin1String("param-archive")) {
            // A flag for the download, on|off for the settings.
            if (!inlineValue && i + 1 < args.size() &&
                (args[i + 1] == QLatin1String("on") || args[i + 1] == QLatin1String("off")))
                value = args[++i];
            o.values[name] = value.isEmpty() ? QStringLiteral("on") : value;
        } else if (kValueOptions.count(name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    if (o.error.isEmpty())
                        o.error = QStringLiteral("не задано значение параметра ") + a;
                    continue;
                }
                value = args[++i];
            }
            o.values[name] = value;
        } else if (kFlagOptions.count(name) && !inlineValue) {
            o.flags.insert(name);
        } else if (o.error.isEmpty()) {
            o.error = QStringLiteral("неизвестный параметр ") + a;
        }
    }
    return o;
}

// The options each command takes.
const std::map<QString, std::set<QString>> kCommandOptions{
    {"download", {"port", "depth", "kinds", "param-archive", "answer-time", "link-mode", "phone", "rs485-address"}},
    {"devices", {}},
    {"tables", {"device"}},
    {"settings-report", {"device"}},
    {"settings show", {}},
    {"settings set",
     {"port", "link-mode", "rs485-address", "depth", "kinds", "answer-time", "param-archive", "modem-wait", "dial",
      "gsm", "data-dir", "dev-dir", "report-dir", "last-device", "phone"}},
    {"set-clock", {"yes"}},
    {"delete-archives", {"device", "yes"}},
};

QString CheckOptionsOf(const Options &o, const QString &command) {
    const auto it = kCommandOptions.find(command);
    if (it == kCommandOptions.end())
        return QStringLiteral("неизвестная команда ") + command;
    auto allowed = [&](const QString &name) {
        return name == QLatin1String("program-dir") || name == QLatin1String("verbose") || it->second.count(name);
    };
    for (const auto &[name, value] : o.values)
        if (!allowed(name))
            return QStringLiteral("параметр --%1 не относится к команде %2").arg(name, command);
    for (const QString &name : o.flags)
        if (!allowed(name))
            return QStringLiteral("параметр --%1 не относится к команде %2").arg(name, command);
    return QString();
}

bool ParseInt(const QString &text, int lo, int hi, int &out) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool ParseOnOff(const QString &text, bool &out) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("on") || t == QLatin1String("yes") || t == QLatin1String("1")) {
        out = true;
        return true;
    }
    if (t == QLatin1String("off") || t == QLatin1String("no") || t == QLatin1String("0")) {
        out = false;
        return true;
    }
    return false;
}

// The options that edit the settings, applied to the controls as the settings window's user
// would set them. Returns an error text for a value the window could not take.
QString EditControls(const Options &o, SettingsControls &c) {
    auto bad = [](const char *name, const QString &v) {
        return QStringLiteral("недопустимое значение параметра --%1: %2").arg(QLatin1String(name), v);
    };
    int n = 0;
    if (o.has("port")) {
        if (!ParseInt(o.value("port"), 1, kComPorts, n))
            return bad("port", o.value("port"));
        c.comIndex = n - 1;
    }
    if (o.has("link-mode")) {
        const int mode = LinkModeFromName(o.value("link-mode").section(QLatin1Char(' '), 0, 0));
        if (!mode)
            return bad("link-mode", o.value("link-mode")) + QStringLiteral(" (direct, modem или rs485)");
        c.linkMode = mode;
    }
    if (o.has("rs485-address")) {
        if (!ParseInt(o.value("rs485-address"), 0, 255, n))
            return bad("rs485-address", o.value("rs485-address")) + QStringLiteral(" (0…255)");
        c.useAddress = true;
        c.address = QString::number(n);
    }
    if (o.has("depth")) {
        // The field takes any number; "Применить" keeps it within 1…60.
        if (!ParseInt(o.value("depth"), -1000000, 1000000, n))
            return bad("depth", o.value("depth"));
        c.depth = QString::number(n);
    }
    if (o.has("answer-time")) {
        if (!ParseInt(o.value("answer-time"), 1, 65535, n))
            return bad("answer-time", o.value("answer-time")) + QStringLiteral(" (1…65535, в единицах 55 мс)");
        c.answerTime = QString::number(n);
    }
    if (o.has("kinds") && !ParseKinds(o.value("kinds"), c))
        return bad("kinds", o.value("kinds")) + QStringLiteral(" (например mdh или 1:mdh,2:d,3:,4:h)");
    if (o.has("param-archive") && !ParseOnOff(o.value("param-archive"), c.paramArchive))
        return bad("param-archive", o.value("param-archive")) + QStringLiteral(" (on или off)");
    if (o.has("modem-wait")) {
        if (!ParseInt(o.value("modem-wait"), -1000000, 1000000, n))
            return bad("modem-wait", o.value("modem-wait"));
        c.modemWait = n;
    }
    if (o.has("dial")) {
        const QString d = o.value("dial").trimmed().toLower();
        if (d != QLatin1String("pulse") && d != QLatin1String("tone"))
            return bad("dial", o.value("dial")) + QStringLiteral(" (pulse или tone)");
        c.pulseDial = d == QLatin1String("pulse");
    }
    if (o.has("gsm") && !ParseOnOff(o.value("gsm"), c.gsm))
        return bad("gsm", o.value("gsm")) + QStringLiteral(" (on или off)");
    return QString();
}

// A directory option as a settings slot holds it: absolute, "/" separators, trailing separator.
QString DirectorySetting(const QString &path) {
    QString p = QDir::fromNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

struct Cli {
    Cli(const QString &programDir, bool verbose)
        : app(programDir, Seams{&clock, &prompts, &status, &processes}), printer(status, verbose) {
        RegisterSimulatorScheme(app.link);  // "sim:<scenario>" in ports.map: the simulator inside the program
    }
    RealClock clock;
    CliPrompts prompts;
    LinkStatus status;
    SystemProcessControl processes;
    App app;
    CliStatusPrinter printer;
};

int Interrupted(double secs) {
    Err(QStringLiteral("Прервано сигналом: связь закрыта (%1 с), записанные строки таблиц сохранены")
            .arg(secs, 0, 'f', 1));
    return ExitInterrupted;
}

int Download(Cli &cli, const bool &interrupted) {
    App &app = cli.app;
    InlineExchangeRunner runner;
    CommandView view;
    Err(QStringLiteral("Скачивание: %1, COM%2 (%3), глубина %4 сут., архивы %5")
            .arg(LinkModeName(app.settings.linkMode()))
            .arg(app.settings.comPort())
            .arg(PortMap::Resolve(app.programDir(), std::max(1, app.settings.comPort())))
            .arg(app.settings.depth())
            .arg(KindsText(app.settings)));
    const qint64 t0 = app.clock().monotonicMs();
    app.status().setShownAt(t0);
    const CommandResult r = DownloadCommand(app, runner, view, nullptr);
    CloseLink(app);
    const double secs = (app.clock().monotonicMs() - t0) / 1000.0;
    if (!r.refused.isEmpty())
        return ExitLocked;
    if (interrupted)
        return Interrupted(secs);
    if (!r.registryError.isEmpty())
        Err(r.registryError);
    if (r.complete && r.registryError.isEmpty()) {
        Err(QStringLiteral("Скачивание завершено: прибор ") + app.deviceNumber + QStringLiteral(", ") +
            QString::number(secs, 'f', 1) + QStringLiteral(" с"));
        return ExitOk;
    }
    if (r.complete)
        Err(QStringLiteral("Архивы прибора ") + app.deviceNumber +
            QStringLiteral(" скачаны, но реестр приборов не обновлён (") + QString::number(secs, 'f', 1) +
            QStringLiteral(" с)"));
    else
        Err(QStringLiteral("Скачивание не завершено (состояние прерывания ") + QString::number(app.abortState) +
            QStringLiteral(", ") + QString::number(secs, 'f', 1) + QStringLiteral(" с)"));
    return ExitFailed;
}

int SetClock(Cli &cli, bool yes, const bool &interrupted) {
    App &app = cli.app;
    InlineExchangeRunner runner;
    if (yes)
        cli.prompts.answerNextQuestion(AnswerYes);
    const bool sent = SetClockCommand(app, runner);
    CloseLink(app);
    if (interrupted)
        return Interrupted(0);
    if (!sent) {
        Err(yes ? QStringLiteral("Время в прибор не записано")
                : QStringLiteral("Время в прибор не записано (ответ \"Нет\"; "
                                 "для записи укажите --yes)"));
        return ExitFailed;
    }
    Err(QStringLiteral("Время записано в прибор ") + app.deviceNumber);
    return ExitOk;
}

int Devices(App &app) {
    Registry reg(app);
    if (!reg.RefreshList()) {
        Err(QStringLiteral("Реестр приборов не открывается: ") + reg.DatabaseLocation());
        return ExitFailed;
    }
    Out(QStringLiteral(
        "ID  SERIAL      IDENT       OWNER               US                  START              TELEFON"));
    for (const RegistryRow &r : reg.rows())
        Out(QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                .arg(r.ID, -3)
                .arg(r.SERIAL, -11)
                .arg(r.IDENT, -11)
                .arg(r.OWNER, -19)
                .arg(r.US, -19)
                .arg(r.START, -18)
                .arg(r.TELEFON));
    return ExitOk;
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
        return ExitFailed;
    }
    app.deviceNumber = number;
    QStringList lines;
    if (!PrepareSettingsView(app, &lines))
        return ExitFailed;
    for (const QString &l : lines)
        Out(l);
    Err(QStringLiteral("Записан ") + QDir(app.settings.settingsReportDir()).filePath(QStringLiteral("DEVPROG.REP")));
    return ExitOk;
}

int Tables(App &app, const QString &device) {
    const QString number = ChosenDevice(app, device);
    if (number.isEmpty()) {
        Err(QStringLiteral("Прибор не выбран (укажите --device)"));
        return ExitFailed;
    }
    const QString dir = DeviceDirectory(app.settings.dataDir(), number);
    const QStringList files = QDir(dir).entryList({QStringLiteral("*.dbf")}, QDir::Files, QDir::Name);
    if (files.isEmpty()) {
        Err(QStringLiteral("Нет таблиц прибора в ") + dir);
        return ExitFailed;
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
    return failed ? ExitFailed : ExitOk;
}

int DeleteArchives(Cli &cli, const QString &device, bool yes) {
    App &app = cli.app;
    const QString number = ChosenDevice(app, device);
    if (number.isEmpty()) {
        Err(QStringLiteral("Прибор не выбран (укажите --device)"));
        return ExitFailed;
    }
    app.deviceNumber = number;
    if (yes)
        cli.prompts.answerNextQuestion(AnswerYes);
    CommandView view;
    const CommandResult r = DeleteArchivesCommand(app, view);
    if (!r.refused.isEmpty())
        return ExitLocked;
    return r.complete ? ExitOk : ExitFailed;
}

int SettingsShow(App &app) {
    for (const QString &line : DescribeSettings(app))
        Out(line);
    return ExitOk;
}

int SettingsSet(App &app, const Options &o) {
    SettingsControls c = CreateSettingsControls(app);
    const QString err = EditControls(o, c);
    if (!err.isEmpty()) {
        Err(QStringLiteral("torvmonitor-cli: ") + err);
        return ExitUsage;
    }
    // Directories: checked before anything changes.
    struct Dir {
        const char *option;
        void (TSettingsRecord::*set)(const QString &);
        const char *what;
    };
    const Dir dirs[] = {{"data-dir", &TSettingsRecord::setDataDir, "Каталог данных"},
                        {"dev-dir", &TSettingsRecord::setDevDir, "Каталог файлов приборов"},
                        {"report-dir", &TSettingsRecord::setReportDir, "Каталог отчётов"}};
    std::vector<std::pair<const Dir *, QString>> newDirs;
    for (const Dir &d : dirs) {
        if (!o.has(d.option))
            continue;
        if (o.value(d.option).trimmed().isEmpty()) {
            Err(QStringLiteral("torvmonitor-cli: пустое значение параметра --") + QLatin1String(d.option));
            return ExitUsage;
        }
        const QString path = DirectorySetting(o.value(d.option));
        const QString bad = TSettingsRecord::CheckDirectoryText(path, QString::fromUtf8(d.what));
        if (!bad.isEmpty()) {
            Err(QStringLiteral("torvmonitor-cli: ") + bad);
            return ExitUsage;
        }
        newDirs.emplace_back(&d, path);
    }
    // The device list's choice: only a device of the registry can be chosen.
    Registry reg(app);
    if (o.has("last-device")) {
        const QString number = o.value("last-device").trimmed();
        if (!reg.RefreshList()) {
            Err(QStringLiteral("Реестр приборов не открывается: ") + reg.DatabaseLocation());
            return ExitFailed;
        }
        if (number.isEmpty() || !reg.Search(number)) {
            Err(QStringLiteral("Прибор ") + number + QStringLiteral(" не найден в реестре приборов ") +
                reg.DatabaseLocation());
            return ExitFailed;
        }
    }

    for (const QString &note : ApplySettingsControls(app, c))
        Err(note);
    for (const auto &[d, path] : newDirs)
        (app.settings.*(d->set))(path);
    int rc = ExitOk;
    if (o.has("last-device") && reg.ChooseDevice() != 1)
        rc = ExitFailed;  // chosen, but its configuration image is missing (the message says so)
    if (o.has("phone")) {
        const QString serial = app.settings.lastDevice();
        const QString e = serial.isEmpty() ? QStringLiteral(
                                                 "Прибор не выбран: номер телефона хранится за прибором "
                                                 "(укажите --last-device)")
                                           : reg.StoreTelephone(serial, o.value("phone").trimmed());
        if (!e.isEmpty()) {
            Err(e);
            rc = ExitFailed;
        }
    }
    const QString saveError = app.saveSettings();
    if (!saveError.isEmpty()) {
        Err(saveError);
        return ExitFailed;
    }
    Err(QStringLiteral("Настройки записаны в ") + SettingsFile::Path(app.programDir()));
    return rc;
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication qapp(argc, argv);
    FixProcessFormats();
    const Options o = Parse(QCoreApplication::arguments());
    if (o.flag("help")) {
        std::fputs(kUsage, stdout);
        return ExitOk;
    }
    if (o.command.isEmpty()) {
        std::fputs(kUsage, stderr);
        return ExitUsage;
    }
    if (!o.error.isEmpty()) {
        Err(QStringLiteral("torvmonitor-cli: ") + o.error);
        return ExitUsage;
    }
    QString command = o.command;
    if (command == QLatin1String("settings")) {
        if (o.sub != QLatin1String("show") && o.sub != QLatin1String("set")) {
            Err(QStringLiteral("torvmonitor-cli: settings show | settings set [параметры]"));
            return ExitUsage;
        }
        command += QLatin1Char(' ') + o.sub;
    }
    if (const QString bad = CheckOptionsOf(o, command); !bad.isEmpty()) {
        Err(QStringLiteral("torvmonitor-cli: ") + bad);
        return ExitUsage;
    }

    const QString programDir =
        QDir::cleanPath(o.has("program-dir") ? QFileInfo(o.value("program-dir")).absoluteFilePath()
                                             : QCoreApplication::applicationDirPath());
    if (const QString bad = TSettingsRecord::CheckProgramDir(programDir); !bad.isEmpty()) {
        Err(QStringLiteral("torvmonitor-cli: ") + bad);
        return ExitUsage;
    }
    if (!QDir().mkpath(programDir)) {
        Err(QStringLiteral("torvmonitor-cli: нет доступа к каталогу ") + programDir);
        return ExitUsage;
    }

    Cli cli(programDir, o.flag("verbose"));
    App &app = cli.app;
    const bool newSettings = !QFileInfo::exists(SettingsFile::Path(programDir));
    const QString loadError = app.loadSettings();
    if (!loadError.isEmpty())
        Err(loadError);
    // A settings file made just now holds the defaults at once (the window writes them at its exit),
    // so the next run, and the window, find a port, a depth, a link mode and archive kinds.
    if (newSettings && loadError.isEmpty()) {
        if (const QString e = app.saveSettings(); !e.isEmpty())
            Err(e);
    }
    // The settings window's creation: link type and bus address from the record.
    SettingsControls controls = CreateSettingsControls(app);

    if (command == QLatin1String("settings show"))
        return SettingsShow(app);

    try {
        EnsureTemplates(app.settings.settingsReportDir());
        EnsureRegistryTable(app.settings.devDir());
    } catch (const std::exception &e) {
        Err(QString::fromUtf8(e.what()));
        if (command != QLatin1String("settings set"))
            return ExitFailed;
    }
    if (command == QLatin1String("settings set"))
        return SettingsSet(app, o);
    if (command == QLatin1String("devices"))
        return Devices(app);
    if (command == QLatin1String("settings-report"))
        return SettingsReport(app, o.value("device"));
    if (command == QLatin1String("tables"))
        return Tables(app, o.value("device"));
    if (command == QLatin1String("delete-archives"))
        return DeleteArchives(cli, o.value("device"), o.flag("yes"));

    // Commands that talk to the device. The device list's start chooses the last device again
    // (its stored telephone number is the one the modem dials).
    Registry(app).RestoreLastDevice();
    if (command == QLatin1String("download")) {
        // The options change this run only; the settings file keeps what the user set.
        const QString err = EditControls(o, controls);
        if (!err.isEmpty()) {
            Err(QStringLiteral("torvmonitor-cli: ") + err);
            return ExitUsage;
        }
        const bool edits = o.has("port") || o.has("depth") || o.has("kinds") || o.has("param-archive") ||
                           o.has("answer-time") || o.has("link-mode") || o.has("rs485-address");
        if (edits)
            for (const QString &note : ApplySettingsControls(app, controls))
                Err(note);
        if (o.has("phone")) {
            app.registry.inputs.usePhone = true;
            app.registry.inputs.phone = o.value("phone").trimmed();
        }
    }
    // SIGINT and SIGTERM act as "Прервать связь": the exchange stops at its next step, the link is
    // closed (a modem hung up) and the tables keep every row written so far.
    bool interrupted = false;
    QuitSignals quitSignals([&] {
        interrupted = true;
        app.abortState = AbortUser;
        app.userAbort = 1;
        Err(QStringLiteral("Получен сигнал завершения: связь прерывается"));
    });
    app.setPumpHook([] { QCoreApplication::processEvents(); });

    if (command == QLatin1String("download"))
        return Download(cli, interrupted);
    if (command == QLatin1String("set-clock"))
        return SetClock(cli, o.flag("yes"), interrupted);
    Err(QStringLiteral("torvmonitor-cli: неизвестная команда ") + command);
    return ExitUsage;
}
