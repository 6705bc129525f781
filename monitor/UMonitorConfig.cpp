#include "monitor/UMonitorConfig.h"

namespace torv {

TFMonitorConfig::TFMonitorConfig(ArchiveContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TFMonitorConfig"));
    setWindowTitle(QStringLiteral("Настройка графика"));
    resize(640, 480);
}

}  // namespace torv
