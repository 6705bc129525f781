#include "monitor/UMonitor.h"

namespace torv {

TFMonitor::TFMonitor(ArchiveContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TFMonitor"));
    setWindowTitle(QStringLiteral("Мониторинг параметров"));
    resize(640, 480);
}

}  // namespace torv
