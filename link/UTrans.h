// The link status window TFTrans: what the link is doing, progress, and "Прервать связь".
// It mirrors the link status roles written by the exchange.
#pragma once

#include "link/LinkStatus.h"

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QWidget;

class QGridLayout;

namespace torv {

class LinkContext;

class TFTrans : public QDialog {
    Q_OBJECT
public:
    explicit TFTrans(LinkContext &app, QWidget *parent = nullptr);

    bool DiagnosticView() const { return diagnostic_; }

    // Controls, named as the roles.
    QLabel *StaticText2, *StaticText3, *StaticText1, *Label9, *Label15;
    QLabel *Label3, *Label4, *Label5, *Label6, *Label10, *Label11, *Label12, *Label13, *Label14;
    QLabel *Label7, *Label8;  // "Out", "In"
    QLineEdit *Edit1;
    QPlainTextEdit *RichEdit1, *RichEdit2, *RichEdit3;
    QProgressBar *ProgressBar1;
    QPushButton *Button1;  // "Прервать связь"
    QPushButton *Button2;  // the small button of the diagnostic view

public slots:
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void reject() override;

private:
    void onText(int role, const QString &text);
    void onVisibility(int role, bool visible);
    void onLine(int pane, const QString &line);
    void onExtend(int pane, const QString &piece);
    void onCleared(int pane);
    QWidget *widgetFor(Role r) const;
    QPlainTextEdit *paneFor(int pane) const;
    void setCompact();
    QGridLayout *MakeCompactView();
    QWidget *MakeDiagnosticView();
    void FollowStatus();

    LinkContext &app_;
    QWidget *diag_ = nullptr;
    bool diagnostic_ = false;
};

}  // namespace torv
