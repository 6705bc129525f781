#include "reports/UGraph.h"

namespace torv {

TFGraph::TFGraph(ArchiveContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TFGraph"));
    setWindowTitle(QStringLiteral("Построение графиков"));
    resize(640, 480);
}

}  // namespace torv
