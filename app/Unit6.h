// Device settings view TForm6: the settings report of the current device, with printing.
#pragma once

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;
class QPrinter;

namespace torv {

class App;

class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(App &app, QWidget *parent = nullptr);

    void SetReport(const QStringList &lines);
    QStringList Report() const;
    // Prints every line in "courier new" 9 on the printer (or a PDF printer).
    void PrintReport(QPrinter &printer);

    QPlainTextEdit *Memo1;
    QPushButton *Button1;  // "Выход"
    QPushButton *Button2;  // "Печать настройки"

public slots:
    void Button2Click();

private:
    App &app_;
};

}  // namespace torv
