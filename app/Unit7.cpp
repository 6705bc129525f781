#include "app/Unit7.h"

namespace torv {

TForm7::TForm7(App &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("Настройки "));
    resize(640, 480);
}

}  // namespace torv
