// Settings window: link and download settings of the settings record.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TForm7 : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
