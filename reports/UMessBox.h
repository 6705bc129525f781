// Graph choice window: archive graphs or trends of live values.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TFMessBox : public QDialog {
    Q_OBJECT
public:
    explicit TFMessBox(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
