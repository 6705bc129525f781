// Graph window: charts of the archive grid's columns.
#pragma once

#include <QDialog>

namespace torv {

class App;

class TFGraph : public QDialog {
    Q_OBJECT
public:
    explicit TFGraph(App &app, QWidget *parent = nullptr);

private:
    App &app_;
};

}  // namespace torv
