// Parameter archive window: the device's log of interventions.
#pragma once

#include <QDialog>

namespace torv {

class ArchiveContext;

class TFArhParam : public QDialog {
    Q_OBJECT
public:
    explicit TFArhParam(ArchiveContext &app, QWidget *parent = nullptr);

private:
    ArchiveContext &app_;
};

}  // namespace torv
