#include "reports/Unit4.h"

namespace torv {

TForm4::TForm4(ArchiveContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("Печать"));
    resize(640, 480);
}

}  // namespace torv
