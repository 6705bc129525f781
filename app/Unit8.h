// Device list: the device registry; choosing a device makes it current.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
