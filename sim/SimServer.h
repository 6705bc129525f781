// Serving the simulator on a pseudo-terminal or a TCP port in real time: bytes are written when
// the simulator says they are due, so the far end sees the device's pacing. This is the
// simulator's platform layer (POSIX).
#pragma once

#include <QString>
#include <atomic>
#include <functional>

namespace torv {

class Torv2Simulator;

// closeAfterBytes >= 0: once the device has sent that many bytes the far end goes away for good
// (the line of a device switched off mid-reply): the pseudo-terminal is closed, a TCP connection
// reset, and the server ends.

// Creates a pseudo-terminal, links `linkPath` to its slave side, announces the slave path and
// serves until `stop`. Returns a process exit code.
int ServePty(Torv2Simulator &sim, const QString &linkPath, const std::function<void(const QString &)> &announce,
             const std::atomic<bool> &stop, qint64 closeAfterBytes = -1);
// Listens on host:port (one client at a time) and serves until `stop`.
int ServeTcp(Torv2Simulator &sim, const QString &host, quint16 port,
             const std::function<void(const QString &)> &announce, const std::atomic<bool> &stop,
             qint64 closeAfterBytes = -1);
// Stops the servers on SIGINT and SIGTERM.
void StopOnSignals(std::atomic<bool> &stop);

}  // namespace torv
