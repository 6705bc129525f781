#include "app/Unit9.h"

namespace torv {

TForm9::TForm9(App &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TForm9"));
    setWindowTitle(QStringLiteral("Работа с директориями"));
    resize(640, 480);
}

}  // namespace torv
