// Chart settings of the trends window.
#pragma once

#include <QDialog>

namespace torv {

class ArchiveContext;

class TFTrendsConfig : public QDialog {
    Q_OBJECT
public:
    explicit TFTrendsConfig(ArchiveContext &app, QWidget *parent = nullptr);

private:
    ArchiveContext &app_;
};

}  // namespace torv
