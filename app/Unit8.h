// Device list TForm8: the device registry in a grid; finding, choosing and deleting devices.
// The logic is the Registry beside it; the window only shows its rows and passes the commands on.
#pragma once

#include "app/Registry.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QToolButton;
class QWidget;

namespace torv {

class App;

class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(App &app, QWidget *parent = nullptr);

    Registry &registry() { return registry_; }

    // The start of the run, once the prompts exist: the last chosen device becomes current again.
    void FormCreate();

    // "Выбрать прибор", and a click or double click on a row: the window closes accepted when the
    // device's configuration file was found.
    void ChooseClick();
    void SearchClick();  // "Поиск"
    void DeleteClick();  // "Удалить прибор"

    QLabel *Label1;         // "Расположение базы данных"
    QLineEdit *Edit1;       // the device files directory
    QTableWidget *DBGrid1;  // the registry
    QWidget *DBNavigator1;  // first / previous / next / last
    QToolButton *NavFirst, *NavPrior, *NavNext, *NavLast;
    QLabel *Label2;        // "Поиск прибора по номеру"
    QLineEdit *MaskEdit1;  // four digits
    QPushButton *Button4;  // "Поиск"
    QPushButton *Button1;  // "Выбрать прибор"
    QPushButton *Button2;  // "Отмена"
    QPushButton *Button3;  // "Удалить прибор"

protected:
    void showEvent(QShowEvent *e) override;

private:
    void MakeGrid();
    void MakeNavigator();
    void BindControls();
    void FillGrid();
    void ShowCurrentRow();

    App &app_;
    Registry registry_;
    bool filling_ = false;
};

}  // namespace torv
