#include "app/Unit1.h"

#include "app/App.h"
#include "base/Formats.h"
#include "link/Link.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace torv {

const QString TForm1::kCaption =
    QStringLiteral("Торв Монитор v1.15.10 - Программа для съема данных с вычислителей \"Торв-2\" ");

TForm1::TForm1(App &app, QWidget *parent) : QMainWindow(parent), app_(app) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(kCaption);
    buildMenu();
    buildToolBar();
    buildCentral();
    StatusBar1 = new QLabel(QStringLiteral("Прибор не выбран"), this);
    statusBar()->addWidget(StatusBar1, 1);
    resize(1024, 700);
}

void TForm1::buildMenu() {
    QMenuBar *mb = menuBar();
    Device = mb->addMenu(QStringLiteral("Прибор"));
    N_ChooseDevice = Device->addAction(QStringLiteral("Выбрать прибор"), this, &TForm1::chooseDeviceRequested);
    N_Connect = Device->addAction(QStringLiteral("Подключиться"), this, &TForm1::connectRequested);
    N_DeviceSettings = Device->addAction(QStringLiteral("Настройка прибора"), this, &TForm1::deviceSettingsRequested);
    N_Monitor = Device->addAction(QStringLiteral("Мониторинг"), this, &TForm1::monitorRequested);
    N_PollingList =
        Device->addAction(QStringLiteral("Список опрашиваемых приборов"), this, &TForm1::pollingListRequested);

    Modem = mb->addMenu(QStringLiteral("Модем"));
    N_ModemConnect = Modem->addAction(QStringLiteral("Соединиться"), this, &TForm1::connectRequested);
    N_ModemHangUp = Modem->addAction(QStringLiteral("Отключиться"), this, &TForm1::modemHangUpRequested);

    Archives = mb->addMenu(QStringLiteral("Архивы"));
    N_Download = Archives->addAction(QStringLiteral("Скачать"), this, &TForm1::downloadRequested);
    N_Open = Archives->addAction(QStringLiteral("Открыть"), this, &TForm1::openArchivesRequested);
    N_ParamArchive = Archives->addAction(QStringLiteral("Архив параметров"), this, &TForm1::paramArchiveRequested);
    N_DeleteAll = Archives->addAction(QStringLiteral("Удалить все"), this, &TForm1::deleteAllRequested);

    N_Print = mb->addAction(QStringLiteral("Печать"), this, &TForm1::printRequested);
    N_Graph = mb->addAction(QStringLiteral("График"), this, &TForm1::graphRequested);
    N_Settings = mb->addAction(QStringLiteral("Настройки"), this, &TForm1::settingsRequested);
    N_About = mb->addAction(QStringLiteral("О программе"), this, &TForm1::AboutClick);
    N_Exit = mb->addAction(QStringLiteral("Выход"), this, &TForm1::ExitClick);
}

void TForm1::buildToolBar() {
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QStyle *st = style();
    auto add = [&](QStyle::StandardPixmap icon, const QString &text, const QString &hint, auto signal) {
        QAction *a = ToolBar1->addAction(st->standardIcon(icon), text);
        a->setToolTip(hint.isEmpty() ? text : hint);
        if (hint.isEmpty())
            a->setToolTip(QString());
        connect(a, &QAction::triggered, this, signal);
        return a;
    };
    TB_ChooseDevice = add(QStyle::SP_DirHomeIcon, QStringLiteral("Прибор"), QStringLiteral("Выбор прибора"),
                          &TForm1::chooseDeviceRequested);
    TB_Download = add(QStyle::SP_ArrowDown, QStringLiteral("Архивы"), QStringLiteral("Скачать архивы"),
                      &TForm1::downloadRequested);
    TB_DeviceSettings = add(QStyle::SP_FileDialogDetailedView, QStringLiteral("Настройка"),
                            QStringLiteral("Настройка прибора"), &TForm1::deviceSettingsRequested);
    TB_Print = add(QStyle::SP_DialogSaveButton, QStringLiteral("Печать"), QStringLiteral("Печать архивов прибора"),
                   &TForm1::printRequested);
    // The "open" button does nothing, as in the original program; the menu item "Открыть" refreshes.
    TB_Open = ToolBar1->addAction(st->standardIcon(QStyle::SP_DialogOpenButton), QStringLiteral("Открыть"));
    TB_Open->setToolTip(QStringLiteral("Открыть архивы прибора"));
    ToolBar1->addSeparator();
    TB_Settings = add(QStyle::SP_FileDialogContentsView, QStringLiteral("Настройки"),
                      QStringLiteral("Настройки программы"), &TForm1::settingsRequested);
    TB_ParamArchive = add(QStyle::SP_FileDialogInfoView, QStringLiteral("Параметры"),
                          QStringLiteral("Архив параметров"), &TForm1::paramArchiveRequested);
    TB_Monitor = add(QStyle::SP_ComputerIcon, QStringLiteral("Мониторинг"), QStringLiteral("Мониторинг"),
                     &TForm1::monitorRequested);
    TB_Graph = add(QStyle::SP_FileDialogListView, QStringLiteral("График"), QString(), &TForm1::graphRequested);
    TB_ModemConnect = add(QStyle::SP_DriveNetIcon, QStringLiteral("Связь"),
                          QStringLiteral("Дозвониться до удаленного модема"), &TForm1::connectRequested);
    TB_ModemHangUp = add(QStyle::SP_BrowserStop, QStringLiteral("Отбой"),
                         QStringLiteral("Прекратить связь с удаленным модемом"), &TForm1::modemHangUpRequested);
    ToolBar1->addSeparator();
    TB_Exit = ToolBar1->addAction(st->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Выход"));
    TB_Exit->setToolTip(QStringLiteral("Выход из программы"));
    connect(TB_Exit, &QAction::triggered, this, &TForm1::ExitClick);
    ToolBar1->addSeparator();
    ToolButton11 = add(QStyle::SP_MediaSeekForward, QStringLiteral("Месяц"), QStringLiteral("Показать текущий месяц"),
                       &TForm1::currentMonthRequested);
    ToolButton12 = add(QStyle::SP_MediaPlay, QStringLiteral("Весь"), QStringLiteral("Показать весь архив"),
                       &TForm1::wholeArchiveRequested);
    ToolButton6 = add(QStyle::SP_MediaSeekBackward, QStringLiteral("Пред."),
                      QStringLiteral("Показать предыдущий месяц"), &TForm1::previousMonthRequested);
}

void TForm1::buildCentral() {
    auto *central = new QWidget(this);
    auto *v = new QVBoxLayout(central);
    auto *period = new QHBoxLayout;
    Years = new QComboBox(central);
    Years->setEditable(true);
    Years->setToolTip(QStringLiteral("Выбор года архива для отображения"));
    Months = new QComboBox(central);
    Months->setEditable(true);
    Months->setMaxVisibleItems(13);
    Months->setToolTip(QStringLiteral("Выбор месяца для отображения"));
    Days = new QComboBox(central);
    Days->setEditable(true);
    Days->setToolTip(QStringLiteral("Выбор дня для отображения"));
    Panel1 = new QLabel(QStringLiteral("c"), central);
    Panel2 = new QLabel(QStringLiteral("по"), central);
    DateTimeb = new QDateEdit(central);
    DateTimeb->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    DateTimeb->setCalendarPopup(true);
    DateTimeb->setToolTip(QStringLiteral("Выбор архива с данной даты"));
    DateTimee = new QDateEdit(central);
    DateTimee->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    DateTimee->setCalendarPopup(true);
    DateTimee->setToolTip(QStringLiteral("Выбор архива по данную дату"));
    for (QWidget *w : std::initializer_list<QWidget *>{Years, Months, Days, Panel1, DateTimeb, Panel2, DateTimee})
        period->addWidget(w);
    period->addStretch(1);
    v->addLayout(period);

    PageControl1 = new QTabWidget(central);
    TabSheet1 = new QWidget;
    TabSheet2 = new QWidget;
    TabSheet9 = new QWidget;
    TabSheet10 = new QWidget;
    PageControl1->addTab(TabSheet1, QStringLiteral("Канал1"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Канал2"));
    PageControl1->addTab(TabSheet9, QStringLiteral("Канал3"));
    PageControl1->addTab(TabSheet10, QStringLiteral("Канал4"));
    v->addWidget(PageControl1, 1);
    setCentralWidget(central);
}

void TForm1::FormCreate() {
    // 1. Dates dd.mm.yyyy and "." decimals for the whole process.
    FixProcessFormats();
    // 2.–3. The program directory is the context's; load the settings record.
    const QString err = app_.loadSettings();
    if (!err.isEmpty())
        qWarning("%s", qPrintable(err));
    // 4. Period controls.
    FillPeriodControls();
    // 5. The period object and the device object come with their subsystems.
    // 6. Directory defaults again.
    app_.settings.fillEmptyDirectories(app_.programDir());
    UpdateModemControls();
}

void TForm1::FillPeriodControls() {
    const QDate today = app_.clock().now().date();
    Years->clear();
    Years->addItem(QString::number(today.year()));
    Years->setCurrentIndex(0);
    Months->clear();
    for (int m = 1; m <= 12; ++m)
        Months->addItem(QString::number(m));
    Months->setCurrentIndex(today.month() - 1);
    Days->clear();
    for (int d = 1; d <= 31; ++d)
        Days->addItem(QString::number(d));
    Days->setCurrentIndex(today.day() - 1);
    DateTimeb->setDate(today);
    DateTimee->setDate(today);
}

void TForm1::UpdateModemControls() {
    const bool modem = app_.settings.linkMode() == LinkModeModem;
    Modem->menuAction()->setVisible(modem);
    TB_ModemConnect->setVisible(modem);
    TB_ModemHangUp->setVisible(modem);
}

void TForm1::SetStatusText(const QString &text) { StatusBar1->setText(text); }
QString TForm1::StatusText() const { return StatusBar1->text(); }

void TForm1::showEvent(QShowEvent *e) {
    QDir::setCurrent(app_.programDir());
    if (!positioned_) {
        move(1, 1);
        positioned_ = true;
    }
    QMainWindow::showEvent(e);
}

void TForm1::closeEvent(QCloseEvent *e) {
    e->accept();
    qApp->quit();
}

QString TForm1::FormDestroy() {
    // Tables are opened and closed inside each operation, so none is open here.
    const QString err = app_.saveSettings();
    app_.processes().stopAll(QStringLiteral("Vondrel.exe"));
    return err;
}

void TForm1::AboutClick() {
    QMessageBox::about(this, QStringLiteral("О программе"),
                       QStringLiteral("Торв Монитор v1.15.10\nПрограмма для съема данных с вычислителей \"Торв-2\""));
}

void TForm1::ExitClick() { close(); }

}  // namespace torv
