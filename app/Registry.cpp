#include "app/Registry.h"

#include "app/App.h"
#include "base/Formats.h"
#include "archive/GasTotals.h"
#include "archive/TableSchema.h"
#include "device/DevData.h"
#include "device/torvunit.h"
#include "base/CodePage.h"
#include "app/DeviceSettings.h"
#include "settingsreport/ReportFormats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace torv {

namespace {

// Widths the registry writes.
constexpr int kSerialChars = 10;
constexpr int kIdentChars = 10;
constexpr int kObjectChars = 18;
constexpr int kOwnerChars = 18;
constexpr int kStartChars = 17;
constexpr int kFirmwareChars = 20;
// DATA: characters 7…17 of the formatted programming date.
constexpr int kDataFrom = 6;
constexpr int kDataChars = 11;

const QString kQuestionCaption = QStringLiteral("Подтверждение");

QString Quoted(const QString &value) {
    QString v = value;
    v.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

// A text field of the image as the program shows it (Cp866ToWin mode 1).
QString DisplayText(const QByteArray &image, int offset, int capacity) {
    return FromCp1251(Cp866ToWin(TextFieldBytes(image, offset, capacity), 1));
}

RegistryRow RowOf(const TQuery &q) {
    // A registry made elsewhere may lack a column: it reads as empty.
    auto f = [&q](const char *name) {
        const QString column = QLatin1String(name);
        return q.hasField(column) ? q.fieldByName(column).asString() : QString();
    };
    return RegistryRow{f("ID"),    f("SERIAL"), f("IDENT"), f("US"),     f("OWNER"),
                       f("START"), f("PO"),     f("DATA"),  f("TELEFON")};
}

}  // namespace

const std::array<RegistryColumn, kRegistryGridColumns> &RegistryGridColumns() {
    static const std::array<RegistryColumn, kRegistryGridColumns> columns{{
        {"ID", "№", 24, true},
        {"SERIAL", "Заводской №", 50, true},
        {"IDENT", "Тип прибора", 70, false},
        {"OWNER", "Владелец", 146, true},
        {"US", "Объект", 100, true},
        {"START", "Начало работы", 146, true},
        {"PO", "Версия ПО", 0, true},
        {"DATA", "Дата программирования", 0, true},
        {"TELEFON", "Номер телефона (адрес)", 0, true},
    }};
    return columns;
}

QString RegistryField(const RegistryRow &row, const QString &column) {
    const QString c = column.toUpper();
    if (c == QLatin1String("ID"))
        return row.ID;
    if (c == QLatin1String("SERIAL"))
        return row.SERIAL;
    if (c == QLatin1String("IDENT"))
        return row.IDENT;
    if (c == QLatin1String("US"))
        return row.US;
    if (c == QLatin1String("OWNER"))
        return row.OWNER;
    if (c == QLatin1String("START"))
        return row.START;
    if (c == QLatin1String("PO"))
        return row.PO;
    if (c == QLatin1String("DATA"))
        return row.DATA;
    if (c == QLatin1String("TELEFON"))
        return row.TELEFON;
    return QString();
}

QString ProgrammingDateData(const QByteArray &stamp) {
    if (stamp.size() < 4)
        return QString();
    const QString text = DeviceTimeStamp(StampAt(stamp, 0));
    if (uint8_t(stamp[0]) == 0xFF)
        return QString();  // "Нет"
    return text.mid(kDataFrom, kDataChars);
}

RegistryValues RegistryValuesOf(const TTorv2s &device) {
    const QByteArray &image = device.KindImage();
    RegistryValues v;
    v.serial = device.FactoryNumber().left(kSerialChars);
    v.ident = device.modelText.left(kIdentChars);
    v.us = device.objectText.left(kObjectChars);
    v.owner = device.ownerText.left(kOwnerChars);
    v.start = device.startOfWork.left(kStartChars);
    v.po = DisplayText(image, img::kFirmwareVersion, img::kLongTextCapacity).left(kFirmwareChars);
    v.data = ProgrammingDateData(image.mid(img::kProgrammingDate, 4));
    return v;
}

QString RegistrySelectStatement(const QString &serial) {
    return QStringLiteral("select * from ") + QLatin1String(kRegistryTableName) + QStringLiteral(" WHERE SERIAL=") +
           Quoted(serial);
}

QString RegistryInsertStatement(int rows, const RegistryValues &v, const QString *telefon) {
    QString s = QStringLiteral("INSERT Into Torv2dev (ID, SERIAL, IDENT, US, OWNER, START,");
    s += telefon ? QStringLiteral(" PO, DATA, TELEFON") : QStringLiteral(" PO, DATA");
    s += QStringLiteral(") Values (");
    const QStringList values{Quoted(QString::number(rows + 1)),
                             Quoted(v.serial),
                             Quoted(v.ident),
                             Quoted(v.us),
                             Quoted(v.owner),
                             Quoted(v.start),
                             Quoted(v.po),
                             Quoted(v.data)};
    s += values.join(QStringLiteral(", "));
    if (telefon)
        s += QLatin1Char(',') + Quoted(*telefon);
    return s + QLatin1Char(')');
}

QString RegistryUpdateStatement(const RegistryValues &v, const QString *telefon) {
    QString s = QStringLiteral("UPDATE ") + QLatin1String(kRegistryTableName) + QStringLiteral(" SET ") +
                QStringLiteral("US = ") + Quoted(v.us) + QStringLiteral(", START = ") + Quoted(v.start) +
                QStringLiteral(", PO = ") + Quoted(v.po) + QStringLiteral(", DATA = ") + Quoted(v.data);
    if (telefon)
        s += QStringLiteral(", TELEFON = ") + Quoted(*telefon);
    return s + QStringLiteral(" Where SERIAL = ") + Quoted(v.serial);
}

QString RegistryTelephoneStatement(const QString &serial, const QString &telephone) {
    return QStringLiteral("update ") + QLatin1String(kRegistryTableName) + QStringLiteral(" set telefon=") +
           Quoted(telephone.left(kTelephoneChars)) + QStringLiteral(" where serial=") + Quoted(serial);
}

QString WithoutDoubleQuotes(const QString &statement) {
    QString s = statement;
    s.replace(QLatin1Char('"'), QLatin1Char(' '));
    return s;
}

// --- Registry ------------------------------------------------------------------------------------

Registry::Registry(App &app) : app_(app), query_(app.tables) {}

QString Registry::DatabaseLocation() const { return QDir::toNativeSeparators(app_.settings.devDir()); }

const RegistryRow *Registry::currentRow() const {
    if (current_ < 0 || current_ >= int(rows_.size()))
        return nullptr;
    return &rows_[current_];
}

void Registry::setCurrentIndex(int index) {
    if (rows_.empty())
        current_ = -1;
    else
        current_ = std::clamp(index, 0, int(rows_.size()) - 1);
}

void Registry::First() { setCurrentIndex(0); }
void Registry::Prior() { setCurrentIndex(current_ - 1); }
void Registry::Next() { setCurrentIndex(current_ + 1); }
void Registry::Last() { setCurrentIndex(int(rows_.size()) - 1); }

bool Registry::OpenList(const QString &statement) {
    query_.close();
    rows_.clear();
    current_ = -1;
    open_ = false;
    try {
        query_.setDatabaseName(app_.settings.devDir());
        query_.setSql(statement);
        query_.open();
        for (query_.first(); !query_.eof(); query_.next())
            rows_.push_back(RowOf(query_));
    } catch (const TableError &e) {
        app_.status().addLine(Role::RichEdit1, e.text());
        query_.close();
        rows_.clear();
        return false;
    }
    open_ = true;
    setCurrentIndex(0);
    return true;
}

QString DialNumber(const RegistryInputs &in) { return in.usePhone ? in.phone : in.storedPhone; }

bool Registry::AskToRemember(const QString &serial, bool quietPhone) {
    RegistryInputs &in = app_.registry.inputs;
    bool remember = false;
    if (in.usePhone) {
        // Unattended polling remembers the number without asking.
        if (quietPhone)
            remember = true;
        else if (app_.prompts().AskYesNo(QStringLiteral("Запомнить телефонный номер ") + in.phone +
                                             QStringLiteral(" за прибором ") + serial + QLatin1Char('?'),
                                         kQuestionCaption, 10) == AnswerYes)
            remember = true;
    }
    if (in.useAddress && app_.prompts().AskYesNo(QStringLiteral("Запомнить адрес ") + in.address +
                                                     QStringLiteral(" за прибором ") + serial + QLatin1Char('?'),
                                                 kQuestionCaption, 0) == AnswerYes)
        remember = true;
    if (remember) {
        in.usePhone = false;
        in.useAddress = false;
    }
    return remember;
}

QString Registry::UpdateRegistry() {
    const QString devDir = app_.settings.devDir();
    const QString file = QDir::toNativeSeparators(TableEngine::ResolveTable(devDir, QLatin1String(kRegistryTableName)));
    auto failed = [&](const QString &why) {
        return QStringLiteral("Реестр приборов ") + file + QStringLiteral(" не обновлён: ") + why;
    };
    try {
        EnsureRegistryTable(devDir);
    } catch (const TableError &e) {
        // Without a registry table the list and its updates stay off.
        app_.status().addLine(Role::RichEdit1, e.text());
        return failed(e.text());
    }
    const RegistryValues v = RegistryValuesOf(app_.device);
    // Without a factory number nothing names the device (no configuration was read).
    if (v.serial.isEmpty())
        return QString();
    QString error;
    try {
        TQuery q(app_.tables);
        q.setDatabaseName(devDir);
        // 1.
        q.setSql(WithoutDoubleQuotes(RegistrySelectStatement(v.serial)));
        q.open();
        const bool present = !q.isEmpty();
        q.close();
        const RegistryInputs &in = app_.registry.inputs;
        const bool rs485 = app_.link.linkType == LinkType::RS485;
        if (!present) {
            // 2.
            q.setSql(QStringLiteral("select * from Torv2dev"));
            q.open();
            const int rows = q.recordCount();
            q.close();
            const QString telefon = rs485 ? in.address : in.phone;
            const bool remember = AskToRemember(v.serial, false);
            q.setSql(WithoutDoubleQuotes(RegistryInsertStatement(rows, v, remember ? &telefon : nullptr)));
            q.execSql();
        } else {
            // 3. Only an RS485 address is stored again for a known device.
            const QString address = in.address;
            const bool remember = AskToRemember(v.serial, app_.link.quiet == 1);
            q.setSql(WithoutDoubleQuotes(RegistryUpdateStatement(v, rs485 && remember ? &address : nullptr)));
            try {
                q.execSql();
            } catch (const TableError &e) {
                app_.prompts().AskYesNo(QStringLiteral("Ошбика SetDataDev ") + e.text(), QStringLiteral("Ошибка"), 0);
                error = failed(e.text());
            }
        }
        // 4.
        OpenList(WithoutDoubleQuotes(RegistrySelectStatement(v.serial)));
    } catch (const TableError &e) {
        // 5.
        app_.status().addLine(Role::RichEdit1, e.text());
        app_.prompts().ShowNotice(QStringLiteral("При выполнении программы произошла ошибка"));
        error = failed(e.text());
    } catch (const std::exception &e) {
        app_.status().addLine(Role::RichEdit1, QString::fromUtf8(e.what()));
        app_.prompts().ShowNotice(QStringLiteral("При выполнении программы произошла ошибка"));
        error = failed(QString::fromUtf8(e.what()));
    }
    return error;
}

QString Registry::StoreTelephone(const QString &serial, const QString &telephone) {
    const QString devDir = app_.settings.devDir();
    try {
        EnsureRegistryTable(devDir);
        TQuery q(app_.tables);
        q.setDatabaseName(devDir);
        q.setSql(WithoutDoubleQuotes(RegistrySelectStatement(serial)));
        q.open();
        const bool present = !q.isEmpty();
        q.close();
        if (!present)
            return QStringLiteral("Прибор ") + serial + QStringLiteral(" не найден в реестре приборов");
        q.setSql(WithoutDoubleQuotes(RegistryTelephoneStatement(serial, telephone)));
        q.execSql();
    } catch (const TableError &e) {
        return QStringLiteral("Реестр приборов не обновлён: ") + e.text();
    }
    if (app_.settings.lastDevice() == serial) {
        app_.registry.inputs.storedPhone = telephone.left(kTelephoneChars);
        app_.registry.inputs.storedAddress = telephone.left(kTelephoneChars);
    }
    return QString();
}

QString Registry::StatusLine() {
    const DeviceIdentity &id = app_.registry.current;
    // Owner and object come afresh from the image when it is the current device's; an image left
    // from another device (no ".usd" for this one) must not lend its texts.
    QString owner = id.owner, object = id.object;
    const QByteArray &image = app_.device.KindImage();
    if (!id.number.isEmpty() && TextField(image, img::kFactoryNumber, img::kFactoryNumberCapacity) == id.number) {
        owner = DisplayText(image, img::kOwnerText, img::kLongTextCapacity);
        object = DisplayText(image, img::kObjectText, img::kLongTextCapacity);
    }
    QString text = id.model + QStringLiteral("  З/н:") + id.number + QStringLiteral("  Владелец:") + owner +
                   QStringLiteral("  Объект:") + object;
    text += id.deviceDate.isValid() ? QStringLiteral("  Сист.время:") + FormatDateTime(id.deviceDate)
                                    : QStringLiteral("  Сист.время: ------");
    text += QStringLiteral("  Начало раб.:") + id.startOfWork;
    if (statusSink_)
        statusSink_(text);
    return text;
}

bool Registry::LoadImageFile(const QString &path) {
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.read(img::kSize + 1);
    if (bytes.size() != img::kSize) {
        app_.prompts().ErrorBox(QStringLiteral("Файл настройки прибора ") + QDir::toNativeSeparators(path) +
                                QStringLiteral(" поврежден: ") + QString::number(file.size()) +
                                QStringLiteral(" байт вместо 4096"));
        return false;
    }
    QString unused;
    app_.device.TakeConfigurationImage(bytes, ConfigurationLink{}, unused);
    return true;
}

int Registry::SelectDevice() {
    const RegistryRow *row = currentRow();
    if (!row)
        return 0;
    // 1.
    DeviceIdentity &id = app_.registry.current;
    id.object = row->US;
    id.owner = row->OWNER;
    id.model = row->IDENT;
    id.number = row->SERIAL;
    id.programmingDate = row->DATA;
    id.startOfWork = row->START;
    id.telephone = row->TELEFON;
    id.firmware = row->PO;
    id.chosen = 1;
    id.deviceDate = QDateTime();  // the new device's clock is not known yet
    app_.settings.setLastDevice(row->SERIAL);
    app_.deviceNumber = row->SERIAL;
    // 2.
    StatusLine();
    // 3.
    const QString usd = TTorv2s::UsdPath(app_.settings.devDir(), id.number);
    if (!QFileInfo::exists(usd)) {
        // 4.
        app_.prompts().InfoBox(QStringLiteral("Информация о настройке прибора з/н ") + id.number +
                               QStringLiteral(" отсутствует"));
        return 0;
    }
    if (!LoadImageFile(usd))
        return 0;
    const QDateTime now = app_.clock().now();
    id.deviceDate = now;
    const QDateTime start = ImageStartOfWork(app_.device.KindImage());
    bool dateFault = !start.isValid();
    if (!dateFault)
        app_.archiveStart = start;
    if (LoadTotals(app_, id.number)) {
        id.deviceDate = app_.device.totalsDate;
        if (!id.deviceDate.isValid())
            dateFault = true;
    }
    if (dateFault) {
        app_.prompts().ShowNotice(QStringLiteral("Ошибка системного времени прибора"));
        app_.archiveStart = now;
        id.deviceDate = now;
    }
    StatusLine();
    return 1;
}

bool Registry::RefreshList() {
    const QString devDir = app_.settings.devDir();
    try {
        EnsureRegistryTable(devDir);
    } catch (const TableError &e) {
        app_.status().addLine(Role::RichEdit1, e.text());
    }
    if (!QFileInfo::exists(TableEngine::ResolveTable(devDir, QLatin1String(kRegistryTableName)))) {
        query_.close();
        rows_.clear();
        current_ = -1;
        open_ = false;
        return false;
    }
    if (!OpenList(QStringLiteral("select * from Torv2dev.dbf")))
        return false;
    const QString last = app_.settings.lastDevice();
    if (!last.isEmpty())
        for (int i = 0; i < int(rows_.size()); ++i)
            if (rows_[i].SERIAL == last) {
                current_ = i;
                break;
            }
    return true;
}

void Registry::RestoreLastDevice() {
    const QString last = app_.settings.lastDevice();
    if (last.isEmpty())
        return;
    RefreshList();
    // Only the last device's own row is taken over: a registry without it chooses nothing.
    const RegistryRow *row = currentRow();
    if (!row || row->SERIAL != last)
        return;
    SelectDevice();
    app_.registry.inputs.storedPhone = row->TELEFON;
    app_.registry.inputs.storedAddress = row->TELEFON;
}

int Registry::ChooseDevice() {
    const int result = SelectDevice();
    const RegistryRow *row = currentRow();
    if (row && !app_.settings.lastDevice().isEmpty()) {
        app_.registry.inputs.storedPhone = row->TELEFON;
        app_.registry.inputs.storedAddress = row->TELEFON;
    }
    return result;
}

bool Registry::Search(const QString &number) {
    const QString wanted = number.trimmed();
    if (open_)
        for (int i = 0; i < int(rows_.size()); ++i)
            if (rows_[i].SERIAL.compare(wanted, Qt::CaseInsensitive) == 0) {
                current_ = i;
                return true;
            }
    app_.prompts().ShowNotice(QStringLiteral("Ощибка 26: Ощибка при поиске прибора"));
    return false;
}

bool Registry::DeleteDevice() {
    if (!open_ || rows_.empty() || current_ < 0)
        return false;
    if (!app_.prompts().ConfirmOkCancel(QStringLiteral("Вы уверенны ?")))
        return false;
    const int index = current_;
    const QString statement = query_.sql();
    try {
        query_.first();
        for (int i = 0; i < index && !query_.eof(); ++i)
            query_.next();
        query_.deleteCurrent();
    } catch (const TableError &e) {
        app_.prompts().ErrorBox(e.text());
        return false;
    }
    OpenList(statement);
    setCurrentIndex(index);
    return true;
}

}  // namespace torv
