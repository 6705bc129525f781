// Device settings view: the settings report of the current device.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
