#include "polling/UEditDataListInterr.h"

namespace torv {

TFEditDataListInterr::TFEditDataListInterr(ArchiveContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TFEditDataListInterr"));
    setWindowTitle(QStringLiteral("Изменение данных выбранного объекта опроса"));
    resize(640, 480);
}

}  // namespace torv
