// Editor of one polling list entry.
#pragma once

#include <QDialog>

namespace torv {

class ArchiveContext;

class TFEditDataListInterr : public QDialog {
    Q_OBJECT
public:
    explicit TFEditDataListInterr(ArchiveContext &app, QWidget *parent = nullptr);

private:
    ArchiveContext &app_;
};

}  // namespace torv
