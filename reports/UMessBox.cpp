#include "reports/UMessBox.h"

namespace torv {

TFMessBox::TFMessBox(ArchiveContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TFMessBox"));
    setWindowTitle(QStringLiteral("Построение графиков"));
    resize(640, 480);
}

}  // namespace torv
