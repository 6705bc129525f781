// A 60-day download of a four-channel device (hourly, daily and monthly archives) from torv2-sim
// over a pseudo-terminal in real time, byte pacing at 9600 baud. Prints the elapsed time against
// the wire-time bound (every request and reply byte at 10 bits per byte) and the share of the time
// spent outside the line (tables, decoding, the rest of the program).
// Last line: "download ratio=<elapsed/bound> target=1.15".
#include "app/App.h"
#include "app/Formats.h"
#include "archive/ArchiveDownload.h"
#include "bench/common/CountingLine.h"
#include "bench/common/SimPty.h"
#include "link/Link.h"
#include "link/SerialPortLine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace torv;

namespace {
constexpr int kBaud = 9600;
constexpr int kDepth = 60;
constexpr double kTarget = 1.15;
}  // namespace

int main(int argc, char **argv) {
    QCoreApplication qapp(argc, argv);
    FixProcessFormats();
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyBENCH"));

    QProcess sim;
    if (!StartSimOnPty(sim, link, {QStringLiteral("--baud"), QString::number(kBaud), QStringLiteral("--scenario"), QStringLiteral("gas-vdab")}, "download"))
        return 1;

    RealClock clock;
    ScriptedPrompts prompts;
    for (int i = 0; i < 4; ++i)
        prompts.push(AnswerYes);  // a long download at 9600 baud outlasts five minutes: go on
    LinkStatus status;
    RecordingProcessControl processes;
    App app(dir.path(), Seams{&clock, &prompts, &status, &processes});
    app.settings.setValueDefaults();
    app.settings.setDirectoryDefaults(dir.path());
    app.settings.setComPort(1);
    app.settings.setLinkMode(LinkModeDirect);
    app.settings.setInt32At(TSettingsRecord::Depth, kDepth);
    for (int ch = 1; ch <= 4; ++ch)
        for (int k = 0; k < 3; ++k)
            app.settings.setArchiveKind(ch, k, true);
    LineCounters counted;
    bool opened = false;
    app.link.lineFactory = [&](int) {
        opened = true;
        return std::make_unique<CountingLine>(std::make_unique<SerialPortLine>(link), &counted);
    };

    QElapsedTimer timer;
    timer.start();
    status.setShownAt(clock.monotonicMs());
    OpenLink(app);
    const bool complete = DowArch(app, nullptr);
    const double elapsed = timer.nsecsElapsed() / 1e9;
    CloseLink(app);
    sim.terminate();
    sim.waitForFinished(5000);
    if (!complete || !opened) {
        std::fprintf(stderr, "download: not complete (abort state %d): %s\n", int(app.abortState),
                     prompts.texts().join(QStringLiteral(" | ")).toLocal8Bit().constData());
        return 1;
    }
    const qint64 bytes = counted.bytesIn + counted.bytesOut;
    const double bound = bytes * 10.0 / kBaud;
    const double outside = elapsed - counted.lineNs / 1e9;
    std::printf("downloaded device %s: %lld bytes on the wire, %.1f s, bound %.1f s\n",
                app.deviceNumber.toLocal8Bit().constData(), static_cast<long long>(bytes), elapsed, bound);
    std::printf("time outside the line (tables, decoding, program): %.2f s = %.1f %% of the download\n", outside,
                100.0 * outside / elapsed);
    std::printf("download ratio=%.3f target=%.2f\n", elapsed / bound, kTarget);
    return 0;
}
