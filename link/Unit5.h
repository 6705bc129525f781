// The progress window TForm5: a caption, a status line, a bar and a percent text for long
// report and graph work.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace torv {

class LinkContext;

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(LinkContext &app, QWidget *parent = nullptr);

    void SetStatus(const QString &text);
    void SetPosition(int percent);

    QLabel *Label1;  // status line
    QProgressBar *ProgressBar1;
    QLabel *Label2;  // percent text

protected:
    void showEvent(QShowEvent *e) override;

private:
    void resetBar();
    LinkContext &app_;
};

}  // namespace torv
