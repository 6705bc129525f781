#include "link/UTrans.h"

#include "link/LinkContext.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace torv {

namespace {
QPlainTextEdit *makePane(QWidget *parent) {
    auto *p = new QPlainTextEdit(parent);
    p->setReadOnly(true);
    p->setMaximumBlockCount(LinkStatus::kMaxPaneLines);
    p->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return p;
}
}  // namespace

TFTrans::TFTrans(LinkContext &app, QWidget *parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("TFTrans"));
    setWindowTitle(QStringLiteral("Окно статуса передачи данных"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(MakeCompactView());
    diag_ = MakeDiagnosticView();
    layout->addWidget(diag_, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Button2, 0, Qt::AlignBottom);
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    layout->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &TFTrans::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFTrans::Button2Click);
    FollowStatus();

    // Creation: the download is not running; progress and percent start at 0.
    app_.downloadRunning = 0;
    LinkStatus &s = app_.status();
    s.reset();
    for (int i = 0; i < int(Role::Count); ++i) {
        if (IsPane(Role(i)))
            paneFor(i)->setPlainText(s.lines(Role(i)).join(QLatin1Char('\n')));
        else
            onText(i, s.text(Role(i)));
    }
    ProgressBar1->setValue(s.progress());
    setCompact();
}

// The compact view: current action, speed, activity mark, progress, duration and error lines,
// and the two buttons.
QGridLayout *TFTrans::MakeCompactView() {
    StaticText2 = new QLabel(this);
    StaticText3 = new QLabel(this);
    StaticText1 = new QLabel(this);
    Label9 = new QLabel(this);
    Label15 = new QLabel(this);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    Button1 = new QPushButton(QStringLiteral("Прервать связь"), this);
    Button2 = new QPushButton(this);
    Button2->setFixedSize(5, 5);
    Button2->setFlat(true);
    Label4 = new QLabel(this);
    Label4->setStyleSheet(QStringLiteral("color: red"));

    auto *top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Текущее действие:"), this), 0, 0);
    top->addWidget(StaticText2, 0, 1, 1, 2);
    top->addWidget(new QLabel(QStringLiteral("Скорость:"), this), 1, 0);
    top->addWidget(StaticText3, 1, 1);
    top->addWidget(Label9, 1, 2, Qt::AlignRight);
    top->addWidget(ProgressBar1, 2, 0, 1, 2);
    top->addWidget(StaticText1, 2, 2);
    top->addWidget(Label15, 3, 0, 1, 3);
    top->addWidget(Label4, 4, 0, 1, 3);
    top->setColumnStretch(1, 1);
    return top;
}

// The diagnostic view: the log, sent and received byte panes, the modem reply field and the
// detail lines.
QWidget *TFTrans::MakeDiagnosticView() {
    auto *diag = new QWidget(this);
    RichEdit1 = makePane(diag);
    RichEdit2 = makePane(diag);
    RichEdit3 = makePane(diag);
    Label7 = new QLabel(QStringLiteral("Out"), diag);
    Label8 = new QLabel(QStringLiteral("In"), diag);
    Edit1 = new QLineEdit(diag);
    Edit1->setReadOnly(true);
    for (QLabel **l : {&Label3, &Label5, &Label6, &Label10, &Label11, &Label12, &Label13, &Label14})
        *l = new QLabel(diag);
    auto *dl = new QGridLayout(diag);
    dl->setContentsMargins(0, 0, 0, 0);
    dl->addWidget(RichEdit1, 0, 0, 10, 1);
    dl->addWidget(Label7, 0, 1);
    dl->addWidget(RichEdit2, 1, 1);
    dl->addWidget(Label8, 2, 1);
    dl->addWidget(RichEdit3, 3, 1);
    dl->addWidget(Edit1, 4, 1);
    auto *lines = new QVBoxLayout;
    for (QLabel *l : {Label3, Label6, Label10, Label11, Label12, Label13, Label14, Label5})
        lines->addWidget(l);
    dl->addLayout(lines, 5, 1, 5, 1);
    dl->setColumnStretch(0, 1);
    dl->setColumnStretch(1, 1);
    return diag;
}

// The window shows what the exchange writes into the link status, from whichever thread.
void TFTrans::FollowStatus() {
    LinkStatus &s = app_.status();
    connect(&s, &LinkStatus::textChanged, this, &TFTrans::onText);
    connect(&s, &LinkStatus::visibilityChanged, this, &TFTrans::onVisibility);
    connect(&s, &LinkStatus::lineAdded, this, &TFTrans::onLine);
    connect(&s, &LinkStatus::lastLineExtended, this, &TFTrans::onExtend);
    connect(&s, &LinkStatus::paneCleared, this, &TFTrans::onCleared);
    connect(&s, &LinkStatus::progressChanged, ProgressBar1, &QProgressBar::setValue);
    connect(&s, &LinkStatus::showRequested, this, [this] {
        setEnabled(true);
        show();
    });
    connect(&s, &LinkStatus::closeRequested, this, &QWidget::close);
}

void TFTrans::setCompact() {
    diagnostic_ = false;
    diag_->hide();
    Label4->hide();
    setMinimumSize(0, 0);
    setGeometry(100, 100, 600, 200);
}

QWidget *TFTrans::widgetFor(Role r) const {
    switch (r) {
    case Role::StaticText2: return StaticText2;
    case Role::StaticText3: return StaticText3;
    case Role::StaticText1: return StaticText1;
    case Role::Label9: return Label9;
    case Role::Label15: return Label15;
    case Role::Label3: return Label3;
    case Role::Label4: return Label4;
    case Role::Label5: return Label5;
    case Role::Label6: return Label6;
    case Role::Label10: return Label10;
    case Role::Label11: return Label11;
    case Role::Label12: return Label12;
    case Role::Label13: return Label13;
    case Role::Label14: return Label14;
    case Role::Edit1: return Edit1;
    case Role::RichEdit1: return RichEdit1;
    case Role::RichEdit2: return RichEdit2;
    case Role::RichEdit3: return RichEdit3;
    default: return nullptr;
    }
}

QPlainTextEdit *TFTrans::paneFor(int pane) const { return qobject_cast<QPlainTextEdit *>(widgetFor(Role(pane))); }

void TFTrans::onText(int role, const QString &text) {
    QWidget *w = widgetFor(Role(role));
    if (auto *l = qobject_cast<QLabel *>(w))
        l->setText(text);
    else if (auto *e = qobject_cast<QLineEdit *>(w))
        e->setText(text);
}

void TFTrans::onVisibility(int role, bool visible) {
    // The error line is the one role an exchange shows on purpose (parameter archive write error).
    if (Role(role) == Role::Label4)
        Label4->setVisible(visible);
}

void TFTrans::onLine(int pane, const QString &line) {
    if (auto *p = paneFor(pane))
        p->appendPlainText(line);
}

void TFTrans::onExtend(int pane, const QString &piece) {
    if (auto *p = paneFor(pane)) {
        QTextCursor c(p->document());
        c.movePosition(QTextCursor::End);
        c.insertText(piece);
    }
}

void TFTrans::onCleared(int pane) {
    if (auto *p = paneFor(pane))
        p->clear();
}

void TFTrans::showEvent(QShowEvent *e) {
    setCompact();
    app_.status().setShownAt(app_.clock().monotonicMs());
    app_.status().setText(Role::Label15, QStringLiteral("Длительность опроса: "));
    app_.status().setRoleVisible(Role::Label4, false);
    QDialog::showEvent(e);
}

void TFTrans::Button1Click() {
    app_.abortState = AbortUser;
    app_.userAbort = 1;
}

void TFTrans::Button2Click() {
    diagnostic_ = true;
    diag_->show();
    app_.status().setText(Role::Label15, QString());
    resize(width(), 612);
}

void TFTrans::closeEvent(QCloseEvent *e) {
    app_.downloadRunning = 0;
    app_.abortState = AbortWindowClosed;
    QDialog::closeEvent(e);
}

// Escape closes the window like its close box.
void TFTrans::reject() {
    app_.downloadRunning = 0;
    app_.abortState = AbortWindowClosed;
    QDialog::reject();
}

}  // namespace torv
