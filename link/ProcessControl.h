// Process seam: find, stop and start other programs (the bus bridge program).
#pragma once

#include <QString>
#include <QStringList>

namespace torv {

class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    // True when a process whose program file is named `fileName` runs.
    virtual bool isRunning(const QString &fileName) = 0;
    // Stops every process whose program file is named `fileName`; returns how many were stopped.
    virtual int stopAll(const QString &fileName) = 0;
    // Starts a program detached; false when it could not be started.
    virtual bool start(const QString &program, const QStringList &args) = 0;
};

// The operating system's processes. On Linux the program file name of a process is the
// base name of its executable, of its first argument (wine and mono keep "Vondrel.exe" there),
// or its short command name.
class SystemProcessControl final : public ProcessControl {
public:
    bool isRunning(const QString &fileName) override;
    int stopAll(const QString &fileName) override;
    bool start(const QString &program, const QStringList &args) override;
};

// Remembers what was asked; for tests.
class RecordingProcessControl final : public ProcessControl {
public:
    bool isRunning(const QString &fileName) override { return running.contains(fileName, Qt::CaseInsensitive); }
    int stopAll(const QString &fileName) override {
        stopped << fileName;
        return running.removeAll(fileName);
    }
    bool start(const QString &program, const QStringList &) override {
        started << program;
        return true;
    }
    QStringList running, stopped, started;
};

}  // namespace torv
