// Port numbers to lines. Port n names COM<n>; ports.map in the program directory maps names to
// targets, one "COM<n>=<target>" a line: a device path (/dev/ttyUSB0, /dev/serial/by-id/...),
// "tcp:HOST:PORT" for a raw TCP serial server, or "sim:<scenario>" for the built-in simulator.
// Without an entry COM<n> is /dev/ttyS<n-1>.
#pragma once

#include "link/SerialLine.h"

#include <QString>
#include <memory>

namespace torv {

class LinkContext;

struct PortMap {
    static constexpr const char *kFileName = "ports.map";

    static QString Path(const QString &programDir);
    // The target of COM<n> in a ports.map text; empty when the text has no entry for it.
    static QString Lookup(const QString &mapText, int portNumber);
    // The target of COM<n> for a program directory (the default when unmapped). A ports.map that
    // is there but cannot be read maps nothing: `problem` (when given) then says why, and the
    // port must not open the default in its place.
    static QString Resolve(const QString &programDir, int portNumber, QString *problem = nullptr);
    static QString DefaultTarget(int portNumber);
};

// Makes the (unopened) line for a target text.
std::unique_ptr<SerialLine> CreateLineForTarget(LinkContext &app, const QString &target);
// Makes the line of port n as ports.map says.
std::unique_ptr<SerialLine> CreateLine(LinkContext &app, int portNumber);

}  // namespace torv
