// SIGTERM and SIGINT end the program the way "Выход" does, so the settings are written.
#pragma once

#include <QObject>
#include <functional>

namespace torv {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; `onSignal` runs on the thread of this object's event loop.
    explicit QuitSignals(std::function<void()> onSignal, QObject *parent = nullptr);
    ~QuitSignals() override;

private:
    std::function<void()> onSignal_;
};

}  // namespace torv
