// Report window: the channels, archive kind, period and output of a report.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
