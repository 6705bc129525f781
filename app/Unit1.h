// The main window TForm1: menu, tool bar, period controls, channel tabs and status bar.
#pragma once

#include <QMainWindow>

class QAction;
class QComboBox;
class QDateEdit;
class QLabel;
class QMenu;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace torv {

class App;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    static const QString kCaption;

    explicit TForm1(App &app, QWidget *parent = nullptr);

    // Create handler: formats, program directory, settings record, period controls.
    void FormCreate();
    // Destruction: tables closed, settings record written, bus bridge program stopped.
    // Returns the settings write error (empty on success).
    QString FormDestroy();

    void SetStatusText(const QString &text);
    QString StatusText() const;
    // Modem menu and modem tool buttons are shown only in the modem link mode.
    void UpdateModemControls();

    // Menu.
    QMenu *Device, *Modem, *Archives;
    QAction *N_ChooseDevice, *N_Connect, *N_DeviceSettings, *N_Monitor, *N_PollingList;
    QAction *N_ModemConnect, *N_ModemHangUp;
    QAction *N_Download, *N_Open, *N_ParamArchive, *N_DeleteAll;
    QAction *N_Print, *N_Graph, *N_Settings, *N_About, *N_Exit;
    // Tool bar.
    QToolBar *ToolBar1;
    QAction *TB_ChooseDevice, *TB_Download, *TB_DeviceSettings, *TB_Print, *TB_Open, *TB_Settings, *TB_ParamArchive,
        *TB_Monitor, *TB_Graph, *TB_ModemConnect, *TB_ModemHangUp, *TB_Exit;
    QAction *ToolButton11, *ToolButton12, *ToolButton6;
    // Period controls.
    QComboBox *Years, *Months, *Days;
    QLabel *Panel1, *Panel2;
    QDateEdit *DateTimeb, *DateTimee;
    // Channel tabs.
    QTabWidget *PageControl1;
    QWidget *TabSheet1, *TabSheet2, *TabSheet9, *TabSheet10;
    QLabel *StatusBar1;

signals:
    // Commands whose handlers come with their subsystems.
    void chooseDeviceRequested();
    void connectRequested();
    void deviceSettingsRequested();
    void monitorRequested();
    void pollingListRequested();
    void modemHangUpRequested();
    void downloadRequested();
    void openArchivesRequested();
    void paramArchiveRequested();
    void deleteAllRequested();
    void printRequested();
    void graphRequested();
    void settingsRequested();
    void currentMonthRequested();
    void wholeArchiveRequested();
    void previousMonthRequested();

public slots:
    void AboutClick();
    void ExitClick();

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void buildMenu();
    void buildToolBar();
    void buildCentral();
    void FillPeriodControls();

    App &app_;
    bool positioned_ = false;
};

}  // namespace torv
