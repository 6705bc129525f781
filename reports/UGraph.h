// Graph window: charts of the archive grid's columns.
#pragma once

#include <QDialog>

namespace torv {

class ArchiveContext;

class TFGraph : public QDialog {
    Q_OBJECT
public:
    explicit TFGraph(ArchiveContext &app, QWidget *parent = nullptr);

private:
    ArchiveContext &app_;
};

}  // namespace torv
