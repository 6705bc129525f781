// A 60-day download of a four-channel device (hourly, daily and monthly archives) from torv2-sim
// over a pseudo-terminal in real time, byte pacing at 9600 baud. Prints the elapsed time against
// the wire-time bound (every request and reply byte at 10 bits per byte) and the share of the time
// spent outside the line (tables, decoding, the rest of the program).
// Last line: "download ratio=<elapsed/bound> target=1.15".
#include "app/DeviceSettings.h"
#include "app/App.h"
#include "base/Formats.h"
#include "archive/ArchiveDownload.h"
#include "bench/common/PtyBench.h"
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
    PtyBench bench(
        {QStringLiteral("--baud"), QString::number(kBaud), QStringLiteral("--scenario"), QStringLiteral("gas-vdab")},
        "download");
    if (!bench.ok())
        return 1;
    App &app = bench.app;
    for (int i = 0; i < 4; ++i)
        bench.prompts.push(AnswerYes);  // a long download at 9600 baud outlasts five minutes: go on
    app.settings.setInt32At(TSettingsRecord::Depth, kDepth);
    for (int ch = 1; ch <= 4; ++ch)
        for (int k = 0; k < 3; ++k)
            app.settings.setArchiveKind(ch, k, true);
    QElapsedTimer timer;
    timer.start();
    bench.status.setShownAt(bench.clock.monotonicMs());
    OpenLink(app);
    const bool complete = DowArch(app, nullptr);
    const double elapsed = timer.nsecsElapsed() / 1e9;
    CloseLink(app);
    bench.StopSim();
    if (!complete || !bench.opened) {
        std::fprintf(stderr, "download: not complete (abort state %d): %s\n", int(app.abortState),
                     bench.prompts.texts().join(QStringLiteral(" | ")).toLocal8Bit().constData());
        return 1;
    }
    const qint64 bytes = bench.counted.bytesIn + bench.counted.bytesOut;
    const double bound = bytes * 10.0 / kBaud;
    const double outside = elapsed - bench.counted.lineNs / 1e9;
    std::printf("downloaded device %s: %lld bytes on the wire, %.1f s, bound %.1f s\n",
                app.deviceNumber.toLocal8Bit().constData(), static_cast<long long>(bytes), elapsed, bound);
    std::printf("time outside the line (tables, decoding, program): %.2f s = %.1f %% of the download\n", outside,
                100.0 * outside / elapsed);
    std::printf("download ratio=%.3f target=%.2f\n", elapsed / bound, kTarget);
    return 0;
}
