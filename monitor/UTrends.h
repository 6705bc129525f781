// Trends window: replays the stored trend files.
#pragma once

#include <QDialog>

namespace torv {

class ArchiveContext;

class TFTrends : public QDialog {
    Q_OBJECT
public:
    explicit TFTrends(ArchiveContext &app, QWidget *parent = nullptr);

private:
    ArchiveContext &app_;
};

}  // namespace torv
