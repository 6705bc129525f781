// Report window: the channels, archive kind, period and output of a report.
#pragma once

#include <QDialog>

namespace torv {

class ArchiveContext;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(ArchiveContext &app, QWidget *parent = nullptr);

private:
    ArchiveContext &app_;
};

}  // namespace torv
