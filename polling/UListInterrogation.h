// Polling list window.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TFListInterrogation : public QDialog {
    Q_OBJECT
public:
    explicit TFListInterrogation(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
