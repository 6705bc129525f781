// The 60-day download of a four-channel device (hourly, daily and monthly archives) from torv2-sim
// over a pseudo-terminal in real time at 9600 baud, on a noisy line: 0.1 % of the device's reply
// bytes corrupted and 0.05 % dropped (seeded). The elapsed time is set against the line time of
// every byte exchanged plus the waits the program's rules prescribe for the damage that occurred,
// worked out from the device's reply log (bench/common/PrescribedWaits.h). The same download on a
// clean line runs beside it, on a second pseudo-terminal, for comparison.
// Usage: bench_download-noisy [seed]
// Last line: "download-noisy ratio=<elapsed/(line + waits)> target=1.10".
#include "app/DeviceSettings.h"
#include "app/App.h"
#include "base/Formats.h"
#include "archive/ArchiveDownload.h"
#include "bench/common/PrescribedWaits.h"
#include "bench/common/PtyBench.h"
#include "link/Link.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <QThread>
#include <memory>

using namespace torv;

namespace {
constexpr int kBaud = 9600;
constexpr int kDepth = 60;
constexpr double kTarget = 1.10;
const char *kCorrupt = "0.001";
const char *kDrop = "0.0005";

struct Run {
    bool complete = false;
    double elapsed = 0;
    QString why;
};

// The download command's exchange part, timed.
Run Download(PtyBench &bench) {
    App &app = bench.app;
    app.settings.setInt32At(TSettingsRecord::Depth, kDepth);
    for (int ch = 1; ch <= 4; ++ch)
        for (int k = 0; k < 3; ++k)
            app.settings.setArchiveKind(ch, k, true);
    app.abortState = AbortRunning;
    app.repeatCounter = 0;
    for (int i = 0; i < 10; ++i)
        bench.prompts.push(AnswerYes);  // a download at 9600 baud outlasts five minutes: go on
    QElapsedTimer timer;
    timer.start();
    bench.status.setShownAt(bench.clock.monotonicMs());
    OpenLink(app);
    Run r;
    r.complete = DowArch(app, nullptr) && bench.opened;
    r.elapsed = timer.nsecsElapsed() / 1e9;
    CloseLink(app);
    if (!r.complete)
        r.why = QStringLiteral("abort state %1: %2").arg(int(app.abortState)).arg(bench.prompts.texts().join(" | "));
    return r;
}

std::vector<SimFaultRecord> ReadReplyLog(const QString &path) {
    std::vector<SimFaultRecord> replies;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return replies;
    for (const QByteArray &line : f.readAll().split('\n')) {
        SimFaultRecord r;
        if (SimFaultRecord::fromText(line, r))
            replies.push_back(r);
    }
    return replies;
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication qapp(argc, argv);
    FixProcessFormats();
    const QString seed = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("1");
    QTemporaryDir logDir;
    const QString replyLog = logDir.filePath(QStringLiteral("replies.log"));
    const QStringList common{QStringLiteral("--baud"),   QString::number(kBaud),   QStringLiteral("--scenario"),
                             QStringLiteral("gas-vdab"), QStringLiteral("--seed"), seed};
    PtyBench noisy(
        common + QStringList{QStringLiteral("--corrupt"), QString::fromLatin1(kCorrupt), QStringLiteral("--drop"),
                             QString::fromLatin1(kDrop), QStringLiteral("--reply-log"), replyLog},
        "download-noisy");
    PtyBench clean(common, "download-noisy (clean line)");
    if (!noisy.ok() || !clean.ok())
        return 1;

    // Each download has its own pseudo-terminal, program context and exchange thread.
    Run noisyRun, cleanRun;
    std::unique_ptr<QThread> cleanThread(QThread::create([&] { cleanRun = Download(clean); }));
    std::unique_ptr<QThread> noisyThread(QThread::create([&] { noisyRun = Download(noisy); }));
    cleanThread->start();
    noisyThread->start();
    noisyThread->wait();
    cleanThread->wait();
    noisy.StopSim();  // writes the reply log
    clean.StopSim();
    if (!noisyRun.complete || !cleanRun.complete) {
        std::fprintf(stderr, "download-noisy: not complete: %s%s\n", noisyRun.why.toLocal8Bit().constData(),
                     cleanRun.why.toLocal8Bit().constData());
        return 1;
    }
    const std::vector<SimFaultRecord> replies = ReadReplyLog(replyLog);
    if (replies.empty()) {
        std::fprintf(stderr, "download-noisy: no reply log from torv2-sim\n");
        return 1;
    }
    PrescribedWaits waits;
    waits.answerUnit = noisy.app.settings.answerTime();
    waits.Add(replies);
    int corrupted = 0;
    for (const SimFaultRecord &r : replies)
        corrupted += int(r.corrupted.size());

    const qint64 bytes = noisy.counted.bytesIn + noisy.counted.bytesOut + waits.droppedBytes;
    const double line = bytes * 10.0 / kBaud;
    const double prescribed = waits.totalMs() / 1000.0;
    std::printf(
        "noisy line (seed %s): %lld bytes from the device (%d dropped, %d corrupted), %lld to it, %zu replies\n",
        seed.toLocal8Bit().constData(), static_cast<long long>(noisy.counted.bytesIn + waits.droppedBytes),
        waits.droppedBytes, corrupted, static_cast<long long>(noisy.counted.bytesOut), replies.size());
    std::printf(
        "prescribed waits: %d byte time limits %.1f s, %d port resets %.1f s, purges %.1f s, pauses %.1f s "
        "(%d failed handshake attempts)\n",
        waits.timeouts, waits.timeoutMs / 1000, waits.resets, waits.resetMs / 1000, waits.purgeMs / 1000,
        waits.pauseMs / 1000, waits.failedHandshakeAttempts);
    const double cleanLine = (clean.counted.bytesIn + clean.counted.bytesOut) * 10.0 / kBaud;
    std::printf("time outside the line and those waits: %.1f s (clean line: %.1f s of %.1f s)\n",
                noisyRun.elapsed - line - prescribed, cleanRun.elapsed - cleanLine, cleanRun.elapsed);
    std::printf("download-noisy elapsed=%.1f s line=%.1f s waits=%.1f s clean-line elapsed=%.1f s\n", noisyRun.elapsed,
                line, prescribed, cleanRun.elapsed);
    std::printf("download-noisy ratio=%.3f target=%.2f\n", noisyRun.elapsed / (line + prescribed), kTarget);
    return 0;
}
