#include "monitor/UTrends.h"

namespace torv {

TFTrends::TFTrends(ArchiveContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TFTrends"));
    setWindowTitle(QStringLiteral("Мониторинг параметров"));
    resize(640, 480);
}

}  // namespace torv
