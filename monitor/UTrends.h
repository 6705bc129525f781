// Trends window: replays the stored trend files.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TFTrends : public QDialog {
    Q_OBJECT
public:
    explicit TFTrends(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
