// The device registry Torv2dev.dbf in the device files directory: one row per device the program
// has read, refreshed after every configuration read. The device list window shows it; choosing a
// row makes that device current without a link (its image and totals come from its side files).
#pragma once

#include "archive/TQuery.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace torv {

class App;
class TTorv2s;

// What the settings window hands the registry: its ticks and the numbers typed there.
struct RegistryInputs {
    bool usePhone = false;    // "Использовать телефон, введенный ниже"
    QString phone;            // the telephone number typed below it
    bool useAddress = false;  // "Использовать адрес, введенный ниже"
    QString address;          // the RS485 address typed below it
    QString storedPhone;      // the telephone field beside the device list (the row's TELEFON)
    QString storedAddress;    // the stored-address field of the RS485 tab (the row's TELEFON)
};

// The telephone number the modem dials: the one typed under "Использовать телефон, введенный
// ниже" when that box is ticked, else the chosen device's stored number.
QString DialNumber(const RegistryInputs &in);

// The current device identity: the registry row taken over by the device list.
struct DeviceIdentity {
    QString object;           // US, up to 18
    QString model;            // IDENT, up to 10
    QString number;           // SERIAL, up to 10
    QString owner;            // OWNER
    QString programmingDate;  // DATA
    QString startOfWork;      // START
    QString firmware;         // PO
    uint8_t chosen = 0;       // 1 once a row was taken over
    QDateTime deviceDate;     // last clock reading of the device; invalid while none is known
    QString telephone;        // TELEFON
};

// The program-wide part of the registry, held by App.
struct RegistryState {
    RegistryInputs inputs;
    DeviceIdentity current;
};

// One registry row as read.
struct RegistryRow {
    QString ID, SERIAL, IDENT, US, OWNER, START, PO, DATA, TELEFON;
};

// The list's columns in grid order with their titles and widths (0: the grid's default width).
struct RegistryColumn {
    const char *name;
    const char *title;
    int width;
    bool visible;
};
constexpr int kRegistryGridColumns = 9;
const std::array<RegistryColumn, kRegistryGridColumns> &RegistryGridColumns();
QString RegistryField(const RegistryRow &row, const QString &column);

// The texts of a registry row, taken from the configuration image of the device's kind.
struct RegistryValues {
    QString serial;  // factory number, first 10 characters
    QString ident;   // device model text, first 10
    QString us;      // object text, first 18
    QString owner;   // owner text, first 18
    QString start;   // start-of-work text of the settings report, first 17
    QString po;      // firmware version text, first 20
    QString data;    // programming date: " DD-MM-YYYY", empty when not set
};
RegistryValues RegistryValuesOf(const TTorv2s &device);
// DATA from the programming date stamp: characters 7…17 of "HH:00  DD-MM-YYYY"; empty for "Нет".
QString ProgrammingDateData(const QByteArray &stamp);

// Statement texts. Values are quoted with their apostrophes doubled; every double quote of a
// statement is replaced by a blank before it is executed.
QString RegistrySelectStatement(const QString &serial);
QString RegistryInsertStatement(int rows, const RegistryValues &v, const QString *telefon);
QString RegistryUpdateStatement(const RegistryValues &v, const QString *telefon);
QString RegistryTelephoneStatement(const QString &serial, const QString &telephone);
inline constexpr int kTelephoneChars = 30;
QString WithoutDoubleQuotes(const QString &statement);

class Registry {
public:
    explicit Registry(App &app);

    // The main window's status bar; StatusLine hands it every new text.
    void setStatusSink(std::function<void(const QString &)> sink) { statusSink_ = std::move(sink); }

    // After a configuration read: inserts or refreshes the device's row (with the questions whether
    // to remember the telephone number or address), then shows the list on that row. Returns why
    // the registry could not be updated (naming its file), empty when it was or nothing was read.
    QString UpdateRegistry();
    // The settings window's "Изменить": the telephone number (or bus address) stored for a device,
    // cut to the column's 30 characters. Returns an error text, empty on success.
    QString StoreTelephone(const QString &serial, const QString &telephone);
    // The current row becomes the current device. 1 when its configuration image file exists.
    int SelectDevice();
    // The status bar text of the current device; also handed to the status sink.
    QString StatusLine();
    // The whole registry on the device files directory, on the last chosen device's row. The table
    // is created when missing. False when it cannot be opened (the list stays empty).
    bool RefreshList();
    // At start and when a device is picked in the settings window: the last chosen device again.
    void RestoreLastDevice();

    // The window's commands.
    int ChooseDevice();                  // "Выбрать прибор", click on a row
    bool Search(const QString &number);  // "Поиск"
    bool DeleteDevice();                 // "Удалить прибор", after "Вы уверенны ?"

    // The list.
    QString DatabaseLocation() const;  // "Расположение базы данных"
    bool isOpen() const { return open_; }
    const std::vector<RegistryRow> &rows() const { return rows_; }
    int currentIndex() const { return current_; }
    const RegistryRow *currentRow() const;
    void setCurrentIndex(int index);
    void First();
    void Prior();
    void Next();
    void Last();

private:
    bool OpenList(const QString &statement);
    bool AskToRemember(const QString &serial, bool quietPhone);
    bool LoadImageFile(const QString &path);

    App &app_;
    TQuery query_;
    bool open_ = false;
    std::vector<RegistryRow> rows_;
    int current_ = -1;
    std::function<void(const QString &)> statusSink_;
};

}  // namespace torv
