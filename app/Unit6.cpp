#include "app/Unit6.h"

namespace torv {

TForm6::TForm6(App &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("Hастройка прибора"));
    resize(640, 480);
}

}  // namespace torv
