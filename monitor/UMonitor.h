// Monitoring window: live values and trend charts.
#pragma once

#include <QDialog>

namespace torv {

class ArchiveContext;

class TFMonitor : public QDialog {
    Q_OBJECT
public:
    explicit TFMonitor(ArchiveContext &app, QWidget *parent = nullptr);

private:
    ArchiveContext &app_;
};

}  // namespace torv
