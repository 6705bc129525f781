// Parameter archive window: the device's log of interventions.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TFArhParam : public QDialog {
    Q_OBJECT
public:
    explicit TFArhParam(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
