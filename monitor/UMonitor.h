// Monitoring window: live values and trend charts.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TFMonitor : public QDialog {
    Q_OBJECT
public:
    explicit TFMonitor(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
