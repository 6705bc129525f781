#include "browse/UFArhParam.h"

namespace torv {

TFArhParam::TFArhParam(ArchiveContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TFArhParam"));
    setWindowTitle(QStringLiteral("Архив параметров"));
    resize(640, 480);
}

}  // namespace torv
