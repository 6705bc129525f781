// torv2-sim: the simulated "Торв-2" flow computer on a pseudo-terminal or a TCP port.
//   torv2-sim --pty /tmp/ttyTORV            prints the slave path, links /tmp/ttyTORV to it
//   torv2-sim --tcp 127.0.0.1:7001          a raw TCP serial server
// Options choose the scenario, the seed, the baud rate, the modem front end, the faults and the
// archives (history, start of work, contract hour, a clock moved back, a full parameter log,
// damaged records).
#include "sim/ImageBuilder.h"
#include "sim/SimServer.h"
#include "sim/Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSaveFile>
#include <cstdio>

using namespace torv;

namespace {

// The command line of torv2-sim.
struct CommandLine {
    const QCommandLineOption pty{QStringLiteral("pty"), QStringLiteral("Serve on a pseudo-terminal linked at <link>."),
                                 QStringLiteral("link")};
    const QCommandLineOption tcp{QStringLiteral("tcp"), QStringLiteral("Serve on TCP <host:port>."),
                                 QStringLiteral("host:port")};
    const QCommandLineOption scenario{QStringLiteral("scenario"), QStringLiteral("Device scenario."),
                                      QStringLiteral("name"), QString::fromLatin1(kDefaultScenario)};
    const QCommandLineOption list{QStringLiteral("list-scenarios"), QStringLiteral("List the scenarios.")};
    const QCommandLineOption seed{QStringLiteral("seed"), QStringLiteral("Seed of memory contents and faults."),
                                  QStringLiteral("n"), QStringLiteral("1")};
    const QCommandLineOption baud{QStringLiteral("baud"), QStringLiteral("Byte pacing."), QStringLiteral("rate"),
                                  QStringLiteral("9600")};
    const QCommandLineOption modem{QStringLiteral("modem"), QStringLiteral("Put a Hayes modem in front.")};
    const QCommandLineOption answer{QStringLiteral("modem-answer"), QStringLiteral("connect, busy, nocarrier or none."),
                                    QStringLiteral("word"), QStringLiteral("connect")};
    const QCommandLineOption dial{QStringLiteral("dial-ms"), QStringLiteral("Time from ATD to the result."),
                                  QStringLiteral("ms"), QStringLiteral("4000")};
    const QCommandLineOption corrupt{QStringLiteral("corrupt"), QStringLiteral("Share of corrupted reply bytes."),
                                     QStringLiteral("rate"), QStringLiteral("0")};
    const QCommandLineOption drop{QStringLiteral("drop"), QStringLiteral("Share of dropped reply bytes."),
                                  QStringLiteral("rate"), QStringLiteral("0")};
    const QCommandLineOption stall{QStringLiteral("stall"), QStringLiteral("Share of stalled reply bytes."),
                                   QStringLiteral("rate"), QStringLiteral("0")};
    const QCommandLineOption stallMs{QStringLiteral("stall-ms"), QStringLiteral("Length of a stall."),
                                     QStringLiteral("ms"), QStringLiteral("700")};
    const QCommandLineOption silence{QStringLiteral("silence"), QStringLiteral("Share of unanswered requests."),
                                     QStringLiteral("rate"), QStringLiteral("0")};
    const QCommandLineOption wrong{QStringLiteral("wrong-reply"),
                                   QStringLiteral("Handshakes answered with a wrong first byte."), QStringLiteral("n"),
                                   QStringLiteral("0")};
    const QCommandLineOption offset{QStringLiteral("clock-offset"), QStringLiteral("Device clock minus local time."),
                                    QStringLiteral("seconds"), QStringLiteral("0")};
    const QCommandLineOption history{QStringLiteral("history-days"),
                                     QStringLiteral("Days of archive history before today's metering day; "
                                                    "negative: the start of work of the scenario's image."),
                                     QStringLiteral("days"), QString::number(kDefaultHistoryDays)};
    const QCommandLineOption startOfWork{QStringLiteral("start-of-work"),
                                         QStringLiteral("Start of work on the device clock, yyyy-MM-ddTHH "
                                                        "(replaces --history-days)."),
                                         QStringLiteral("time")};
    const QCommandLineOption contract{QStringLiteral("contract-hour"),
                                      QStringLiteral("Contract hour 0-23 in place of the image's."),
                                      QStringLiteral("hour")};
    const QCommandLineOption clockBack{QStringLiteral("clock-back"),
                                       QStringLiteral("The device clock was moved back by this many hours and the "
                                                      "device has metered them again."),
                                       QStringLiteral("hours"), QStringLiteral("0")};
    const QCommandLineOption fullLog{QStringLiteral("full-param-log"),
                                     QStringLiteral("The parameter log fills its whole sector, with no end record.")};
    const QCommandLineOption damaged{QStringLiteral("damaged-records"),
                                     QStringLiteral("Share of closed hourly and daily records that are all zero or "
                                                    "not a number."),
                                     QStringLiteral("rate"), QStringLiteral("0")};
    const QCommandLineOption closeAfter{QStringLiteral("close-after"),
                                        QStringLiteral("Close the line for good once the device has sent this "
                                                       "many bytes (pseudo-terminal closed, TCP connection reset)."),
                                        QStringLiteral("bytes"), QStringLiteral("-1")};
    const QCommandLineOption replyLog{QStringLiteral("reply-log"),
                                      QStringLiteral("On exit write every reply to <file>, one line each: kind, "
                                                     "length and the positions of dropped, corrupted and stalled "
                                                     "bytes."),
                                      QStringLiteral("file")};

    void addTo(QCommandLineParser &p) const {
        p.addOptions({pty,     tcp,         scenario, list,      seed,    baud,    modem,      answer,
                      dial,    corrupt,     drop,     stall,     stallMs, silence, wrong,      offset,
                      history, startOfWork, contract, clockBack, fullLog, damaged, closeAfter, replyLog});
    }
};

// The simulator's options from the command line; false, with the reason on standard error, for a
// value it cannot take.
bool ReadOptions(const QCommandLineParser &p, const CommandLine &opt, SimOptions &o) {
    o.scenario = p.value(opt.scenario);
    o.seed = p.value(opt.seed).toUInt();
    o.baud = p.value(opt.baud).toInt();
    o.modem = p.isSet(opt.modem);
    const QString a = p.value(opt.answer).toLower();
    o.modemAnswer = a == QLatin1String("busy")        ? ModemAnswer::Busy
                    : a == QLatin1String("nocarrier") ? ModemAnswer::NoCarrier
                    : a == QLatin1String("none")      ? ModemAnswer::NoAnswer
                                                      : ModemAnswer::Connect;
    o.dialMs = p.value(opt.dial).toInt();
    o.faults.corruptRate = p.value(opt.corrupt).toDouble();
    o.faults.dropRate = p.value(opt.drop).toDouble();
    o.faults.stallRate = p.value(opt.stall).toDouble();
    o.faults.stallMs = p.value(opt.stallMs).toInt();
    o.faults.silenceRate = p.value(opt.silence).toDouble();
    o.faults.wrongReplies = p.value(opt.wrong).toInt();
    o.clockOffsetSec = p.value(opt.offset).toLongLong();
    o.historyDays = p.value(opt.history).toInt();
    if (p.isSet(opt.startOfWork)) {
        o.startOfWork = QDateTime::fromString(p.value(opt.startOfWork), QStringLiteral("yyyy-MM-ddTHH"));
        if (!o.startOfWork.isValid()) {
            std::fprintf(stderr, "torv2-sim: --start-of-work wants yyyy-MM-ddTHH\n");
            return false;
        }
    }
    if (p.isSet(opt.contract)) {
        bool ok = false;
        o.contractHour = p.value(opt.contract).toInt(&ok);
        if (!ok || o.contractHour < 0 || o.contractHour > 23) {
            std::fprintf(stderr, "torv2-sim: --contract-hour wants 0-23\n");
            return false;
        }
    }
    o.clockBackHours = p.value(opt.clockBack).toInt();
    o.fullParameterLog = p.isSet(opt.fullLog);
    o.damagedRecordRate = p.value(opt.damaged).toDouble();
    o.logReplies = p.isSet(opt.replyLog);

    return true;
}

// Serves the device on the pseudo-terminal or TCP port of the command line until a signal or the
// line's end; the exit status.
int Serve(Torv2Simulator &sim, const QCommandLineParser &p, const CommandLine &opt) {
    std::atomic<bool> stop{false};
    StopOnSignals(stop);
    auto announce = [](const QString &where) {
        std::printf("%s\n", qPrintable(where));
        std::fflush(stdout);
    };
    const qint64 closeAfterBytes = p.value(opt.closeAfter).toLongLong();
    int code = 2;
    if (p.isSet(opt.pty)) {
        code = ServePty(sim, p.value(opt.pty), announce, stop, closeAfterBytes);
    } else if (p.isSet(opt.tcp)) {
        const QString t = p.value(opt.tcp);
        const int colon = t.lastIndexOf(QLatin1Char(':'));
        if (colon <= 0) {
            std::fprintf(stderr, "torv2-sim: --tcp wants HOST:PORT\n");
            return 2;
        }
        code = ServeTcp(sim, t.left(colon), quint16(t.mid(colon + 1).toUInt()), announce, stop, closeAfterBytes);
    } else {
        std::fprintf(stderr, "torv2-sim: give --pty LINK or --tcp HOST:PORT\n");
        return 2;
    }
    return code;
}

// Every reply with its faults, one line each (--reply-log).
int WriteReplyLog(const Torv2Simulator &sim, const QString &path) {
    QSaveFile f(path);
    QByteArray text;
    for (const SimFaultRecord &r : sim.faultLog())
        text += r.toText() + '\n';
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit()) {
        std::fprintf(stderr, "torv2-sim: cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("torv2-sim"));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Simulated Torv-2 flow computer"));
    p.addHelpOption();
    const CommandLine opt;
    opt.addTo(p);
    p.process(app);

    if (p.isSet(opt.list)) {
        for (const auto &s : Scenarios())
            std::printf("%s\t%s\n", s.name, s.title);
        for (const QString &name : ImageScenarioNames())
            std::printf("%s\n", qPrintable(name));
        return 0;
    }

    SimOptions o;
    if (!ReadOptions(p, opt, o))
        return 2;
    Torv2Simulator sim(o, [] { return QDateTime::currentDateTime(); });
    if (!sim.valid()) {
        std::fprintf(stderr, "torv2-sim: unknown scenario %s (known: %s)\n", qPrintable(o.scenario),
                     qPrintable(ScenarioNames().join(QStringLiteral(", "))));
        return 2;
    }
    const int code = Serve(sim, p, opt);
    if (p.isSet(opt.replyLog) && WriteReplyLog(sim, p.value(opt.replyLog)) != 0)
        return 1;
    return code;
}
