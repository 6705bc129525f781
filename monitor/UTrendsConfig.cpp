#include "monitor/UTrendsConfig.h"

namespace torv {

TFTrendsConfig::TFTrendsConfig(ArchiveContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TFTrendsConfig"));
    setWindowTitle(QStringLiteral("Настройка графика"));
    resize(640, 480);
}

}  // namespace torv
