// Chart settings of the trends window.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TFTrendsConfig : public QDialog {
    Q_OBJECT
public:
    explicit TFTrendsConfig(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
