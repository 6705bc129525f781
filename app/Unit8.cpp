#include "app/Unit8.h"

namespace torv {

TForm8::TForm8(App &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TForm8"));
    setWindowTitle(QStringLiteral("Выбор прибора"));
    resize(640, 480);
}

}  // namespace torv
