#include "app/Unit6.h"

#include <QFont>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace torv {

TForm6::TForm6(App &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("Hастройка прибора"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    Memo1->setFont(mono);
    Button1 = new QPushButton(QStringLiteral("Выход"), this);
    Button2 = new QPushButton(QStringLiteral("Печать настройки"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button1);
    auto *l = new QVBoxLayout(this);
    l->addWidget(Memo1, 1);
    l->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &TForm6::Button2Click);
    resize(760, 640);
}

void TForm6::SetReport(const QStringList &lines) { Memo1->setPlainText(lines.join(QLatin1Char('\n'))); }

QStringList TForm6::Report() const { return Memo1->toPlainText().split(QLatin1Char('\n')); }

void TForm6::Button2Click() {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    PrintReport(printer);
}

void TForm6::PrintReport(QPrinter &printer) {
    QPainter p;
    if (!p.begin(&printer))
        return;
    QFont font(QStringLiteral("courier new"), 9);
    font.setStyleHint(QFont::Courier);
    p.setFont(font);
    const QFontMetrics fm(font, &printer);
    const int lineHeight = fm.lineSpacing();
    const int pageHeight = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    int y = lineHeight;
    for (const QString &line : Report()) {
        if (y > pageHeight - lineHeight) {
            printer.newPage();
            y = lineHeight;
        }
        p.drawText(0, y, line);
        y += lineHeight;
    }
    p.end();
}

}  // namespace torv
