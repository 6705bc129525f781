#include "link/Unit5.h"

#include "link/LinkContext.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace torv {

TForm5::TForm5(LinkContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Torv2a"));
    Label1 = new QLabel(this);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setMaximum(100);
    Label2 = new QLabel(QStringLiteral("0%"), this);
    Label2->setAlignment(Qt::AlignCenter);
    auto *l = new QVBoxLayout(this);
    l->addWidget(Label1);
    l->addWidget(ProgressBar1);
    l->addWidget(Label2);
    resize(400, 120);
    resetBar();
}

void TForm5::resetBar() {
    ProgressBar1->setMinimum(0);
    ProgressBar1->setValue(0);
    app_.progressReady = 1;
}

void TForm5::showEvent(QShowEvent *e) {
    resetBar();
    QDialog::showEvent(e);
}

void TForm5::SetStatus(const QString &text) { Label1->setText(text); }

void TForm5::SetPosition(int percent) {
    ProgressBar1->setValue(percent);
    Label2->setText(QString::number(percent) + QLatin1Char('%'));
}

}  // namespace torv
