// Chart settings of the monitoring window.
#pragma once

#include <QDialog>

namespace torv {

class ArchiveContext;

class TFMonitorConfig : public QDialog {
    Q_OBJECT
public:
    explicit TFMonitorConfig(ArchiveContext &app, QWidget *parent = nullptr);

private:
    ArchiveContext &app_;
};

}  // namespace torv
