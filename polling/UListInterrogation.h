// Polling list window.
#pragma once

#include <QDialog>

namespace torv {

class ArchiveContext;

class TFListInterrogation : public QDialog {
    Q_OBJECT
public:
    explicit TFListInterrogation(ArchiveContext &app, QWidget *parent = nullptr);

private:
    ArchiveContext &app_;
};

}  // namespace torv
