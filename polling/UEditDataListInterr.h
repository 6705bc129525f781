// Editor of one polling list entry.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TFEditDataListInterr : public QDialog {
    Q_OBJECT
public:
    explicit TFEditDataListInterr(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
