// Chart settings of the monitoring window.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TFMonitorConfig : public QDialog {
    Q_OBJECT
public:
    explicit TFMonitorConfig(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
