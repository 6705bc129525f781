// Reads 64 KiB of flash from torv2-sim over a pseudo-terminal in real time, byte pacing at
// 9600 baud, and compares the elapsed time with the wire-time bound: every request and reply
// byte at 10 bits per byte. Last line: "flash-read ratio=<elapsed/bound> target=1.10".
#include "app/App.h"
#include "base/Formats.h"
#include "bench/common/PtyBench.h"
#include "link/Link.h"
#include "link/PortMap.h"
#include "link/SerialPortLine.h"
#include "protocol/BlockRead.h"
#include "sim/Scenario.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace torv;

namespace {

constexpr int kBaud = 9600;
constexpr int kSector = 6;  // seeded bytes that do not follow the device clock
constexpr int kBlocks = 256;
constexpr double kTarget = 1.10;

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication qapp(argc, argv);
    FixProcessFormats();
    PtyBench bench({QStringLiteral("--baud"), QString::number(kBaud)}, "flash-read");
    if (!bench.ok())
        return 1;
    App &app = bench.app;

    OpenLink(app);
    if (!app.link.linkOpen || !bench.opened) {
        std::fprintf(stderr, "flash-read: the port did not open\n");
        return 1;
    }
    QByteArray flash;
    QElapsedTimer timer;
    timer.start();
    for (int k = 0; k < kBlocks && app.abortState == AbortRunning; ++k) {
        QByteArray block(256, '\0');
        ReadFLASH(app, block, kSector, k * 256, 256);
        flash += block;
    }
    const double elapsed = timer.nsecsElapsed() / 1e9;
    const qint64 bytes = bench.counted.bytesIn + bench.counted.bytesOut;
    CloseLink(app);
    bench.StopSim();

    QByteArray expected;
    BuildScenario(QString::fromLatin1(kDefaultScenario), 1)->fillFlashSector(kSector, expected, QDateTime());
    if (app.abortState != AbortRunning || flash != expected) {
        std::fprintf(stderr, "flash-read: the bytes read differ from the device's\n");
        return 1;
    }
    const double bound = bytes * 10.0 / kBaud;
    std::printf("read %d bytes of flash at %d baud: %lld bytes on the wire, %.3f s, bound %.3f s\n", int(flash.size()),
                kBaud, static_cast<long long>(bytes), elapsed, bound);
    std::printf("flash-read ratio=%.3f target=%.2f\n", elapsed / bound, kTarget);
    return 0;
}
