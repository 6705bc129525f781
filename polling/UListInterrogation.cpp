#include "polling/UListInterrogation.h"

namespace torv {

TFListInterrogation::TFListInterrogation(ArchiveContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TFListInterrogation"));
    setWindowTitle(QStringLiteral("Список опрашиваемых приборов"));
    resize(640, 480);
}

}  // namespace torv
