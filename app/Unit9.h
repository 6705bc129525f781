// Directory chooser of the report window.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TForm9 : public QDialog {
    Q_OBJECT
public:
    explicit TForm9(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
