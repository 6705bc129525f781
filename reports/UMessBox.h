// Graph choice window: archive graphs or trends of live values.
#pragma once

#include <QDialog>

namespace torv {

class ArchiveContext;

class TFMessBox : public QDialog {
    Q_OBJECT
public:
    explicit TFMessBox(ArchiveContext &app, QWidget *parent = nullptr);

private:
    ArchiveContext &app_;
};

}  // namespace torv
