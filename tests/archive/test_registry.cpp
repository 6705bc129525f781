// The device registry Torv2dev.dbf: the rows written after a configuration read, choosing a
// device offline, the status line, the list's search and delete.
#include "ParamLogFixture.h"
#include "app/App.h"
#include "app/Registry.h"
#include "archive/TQuery.h"
#include "archive/TableSchema.h"
#include "link/Clock.h"
#include "link/ProcessControl.h"
#include "base/CodePage.h"
#include "TestUtil.h"

#include <gtest/gtest.h>
#include <cstring>

using namespace torv;
using namespace torvtest;

namespace {

struct DeviceTexts {
    QString serial = QStringLiteral("12345");
    QString model = QStringLiteral("Торв-2");
    QString owner = QStringLiteral("ООО \"Газ\"");
    QString object = QStringLiteral("Котельная 'Север'");
    QString firmware = QStringLiteral("v1.15 'b'");
    Stamp programmed{0, 9, 14, 3, 19};  // minute unused
    bool programmedSet = true;
    Stamp started{0, 10, 1, 2, 18};
};

QByteArray DeviceImage(const DeviceTexts &t) {
    QByteArray image = GasImage();
    PutTextField(image, img::kModelText, img::kModelCapacity, ToCp866(t.model));
    PutTextField(image, img::kFactoryNumber, img::kFactoryNumberCapacity, t.serial.toLatin1());
    PutTextField(image, img::kOwnerText, img::kLongTextCapacity, ToCp866(t.owner));
    PutTextField(image, img::kObjectText, img::kLongTextCapacity, ToCp866(t.object));
    PutTextField(image, img::kFirmwareVersion, img::kLongTextCapacity, ToCp866(t.firmware));
    if (t.programmedSet)
        image::PutStamp(image, img::kProgrammingDate, t.programmed.hour, t.programmed.day, t.programmed.month,
                        t.programmed.year);
    image::PutStamp(image, img::kStartOfWork, t.started.hour, t.started.day, t.started.month, t.started.year);
    return image;
}

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest()
        : clock(QDateTime(QDate(2019, 3, 20), QTime(11, 30, 15))),
          app(tmp.path(), Seams{&clock, &prompts, &status, &processes}) {
        app.settings.setDirectoryDefaults(tmp.path());
        app.settings.setValueDefaults();
    }

    // A configuration read of the device as the download leaves it.
    void readDevice(const DeviceTexts &t = {}) {
        QString number;
        app.device.TakeConfigurationImage(DeviceImage(t), ConfigurationLink{}, number);
        app.device.startOfWork = QStringLiteral("10:00  01-02-2018");
    }

    QString devDir() const { return app.settings.devDir(); }

    std::vector<RegistryRow> stored() {
        TQuery q(app.tables);
        q.setDatabaseName(devDir());
        q.setSql(QStringLiteral("select * from Torv2dev.dbf"));
        q.open();
        std::vector<RegistryRow> rows;
        for (q.first(); !q.eof(); q.next()) {
            auto f = [&q](const char *c) { return q.fieldByName(QLatin1String(c)).asString(); };
            rows.push_back(
                {f("ID"), f("SERIAL"), f("IDENT"), f("US"), f("OWNER"), f("START"), f("PO"), f("DATA"), f("TELEFON")});
        }
        return rows;
    }

    void exec(const QString &sql) {
        TQuery q(app.tables);
        q.setDatabaseName(devDir());
        q.setSql(sql);
        q.execSql();
    }

    // A registry row of another device, written directly.
    void addRow(const QString &id, const QString &serial, const QString &telefon = QString()) {
        EnsureRegistryTable(devDir());
        exec(QStringLiteral("INSERT Into Torv2dev (ID, SERIAL, IDENT, US, OWNER, START, PO, DATA, TELEFON) Values ('") +
             id + "', '" + serial + "', 'Торв-2', 'Объект " + serial + "', 'Вл " + serial +
             "', '08:00  01-01-2018', 'v1', ' 01-01-2018', '" + telefon + "')");
    }

    QTemporaryDir tmp;
    VirtualClock clock;
    ScriptedPrompts prompts;
    LinkStatus status;
    RecordingProcessControl processes;
    App app;
};

}  // namespace

TEST_F(RegistryTest, FirstReadInsertsRowOneWithTheDeviceTexts) {
    readDevice();
    Registry r(app);
    r.UpdateRegistry();  // the table is created first
    const std::vector<RegistryRow> rows = stored();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].ID, QStringLiteral("1"));
    EXPECT_EQ(rows[0].SERIAL, QStringLiteral("12345"));
    EXPECT_EQ(rows[0].IDENT, QStringLiteral("Торв-2"));
    EXPECT_EQ(rows[0].US, QStringLiteral("Котельная 'Север'"));  // apostrophes intact
    EXPECT_EQ(rows[0].OWNER, QStringLiteral("ООО  Газ"));        // double quotes become blanks
    EXPECT_EQ(rows[0].START, QStringLiteral("10:00  01-02-2018"));
    EXPECT_EQ(rows[0].PO, QStringLiteral("v1.15 'b'"));
    EXPECT_EQ(rows[0].DATA, QStringLiteral(" 14-03-2019"));
    EXPECT_EQ(rows[0].TELEFON, QString());
    EXPECT_TRUE(prompts.requests().empty());
    // The list shows the device's row.
    ASSERT_EQ(r.rows().size(), 1u);
    EXPECT_EQ(r.currentRow()->SERIAL, QStringLiteral("12345"));

    // A second device gets the next number.
    DeviceTexts other;
    other.serial = QStringLiteral("777");
    readDevice(other);
    r.UpdateRegistry();
    ASSERT_EQ(stored().size(), 2u);
    EXPECT_EQ(stored()[1].ID, QStringLiteral("2"));
    EXPECT_EQ(r.rows().size(), 1u);
    EXPECT_EQ(r.currentRow()->SERIAL, QStringLiteral("777"));
}

TEST_F(RegistryTest, RereadUpdatesOnlyObjectStartFirmwareAndDate) {
    addRow(QStringLiteral("1"), QStringLiteral("500"));
    addRow(QStringLiteral("2"), QStringLiteral("12345"), QStringLiteral("8-800"));
    DeviceTexts t;
    t.model = QStringLiteral("Другой");
    t.owner = QStringLiteral("Новый владелец");
    t.object = QStringLiteral("Цех \"7\" 'А'");
    t.firmware = QStringLiteral("v2.0");
    t.programmedSet = false;  // 0xFF: not set
    readDevice(t);
    Registry(app).UpdateRegistry();
    const std::vector<RegistryRow> rows = stored();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].US, QStringLiteral("Объект 500"));  // the other device is untouched
    const RegistryRow &row = rows[1];
    EXPECT_EQ(row.ID, QStringLiteral("2"));
    EXPECT_EQ(row.IDENT, QStringLiteral("Торв-2"));
    EXPECT_EQ(row.OWNER, QStringLiteral("Вл 12345"));
    EXPECT_EQ(row.US, QStringLiteral("Цех  7  'А'"));
    EXPECT_EQ(row.START, QStringLiteral("10:00  01-02-2018"));
    EXPECT_EQ(row.PO, QStringLiteral("v2.0"));
    EXPECT_EQ(row.DATA, QString());
    EXPECT_EQ(row.TELEFON, QStringLiteral("8-800"));
}

TEST_F(RegistryTest, TelephoneAndAddressAreRememberedAsTheRulesSay) {
    struct Case {
        const char *what;
        bool known;  // the device has a row already
        QString linkType;
        bool usePhone, useAddress;
        uint8_t quiet;
        QList<int> answers;
        QString telefon;  // TELEFON afterwards
        int questions;
        bool ticksCleared;
    };
    const QString old = QStringLiteral("old");
    const Case cases[] = {
        {"new, telephone yes", false, LinkType::RS232, true, false, 0, {AnswerYes}, "8-912-555", 1, true},
        {"new, telephone no", false, LinkType::RS232, true, false, 0, {AnswerNo}, "", 1, false},
        {"new, telephone unanswered", false, LinkType::RS232, true, false, 0, {}, "", 1, false},
        {"new RS485, address yes", false, LinkType::RS485, false, true, 0, {AnswerYes}, "17", 1, true},
        {"new RS485, telephone yes stores the address",
         false,
         LinkType::RS485,
         true,
         false,
         0,
         {AnswerYes},
         "17",
         1,
         true},
        {"known RS485, address yes", true, LinkType::RS485, false, true, 0, {AnswerYes}, "17", 1, true},
        {"known RS485, address no", true, LinkType::RS485, false, true, 0, {AnswerNo}, old, 1, false},
        {"known modem link, telephone yes", true, LinkType::RS232, true, false, 0, {AnswerYes}, old, 1, true},
        {"known, polling remembers without asking", true, LinkType::RS232, true, false, 1, {}, old, 0, true},
        {"known RS485 polling, both ticks", true, LinkType::RS485, true, true, 1, {AnswerNo}, "17", 1, true},
        {"no ticks, no questions", true, LinkType::RS485, false, false, 0, {}, old, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(JoinPath(devDir(), QStringLiteral("Torv2dev.dbf")));
        app.tables.forget(devDir());
        prompts.clear();
        if (c.known)
            addRow(QStringLiteral("1"), QStringLiteral("12345"), old);
        readDevice();
        app.link.linkType = c.linkType;
        app.link.quiet = c.quiet;
        app.registry.inputs = RegistryInputs{
            c.usePhone, QStringLiteral("8-912-555"), c.useAddress, QStringLiteral("17"), QString(), QString()};
        for (int a : c.answers)
            prompts.push(a);
        Registry(app).UpdateRegistry();
        ASSERT_EQ(stored().size(), 1u);
        EXPECT_EQ(stored()[0].TELEFON, c.telefon);
        EXPECT_EQ(int(prompts.requests().size()), c.questions);
        EXPECT_EQ(!app.registry.inputs.usePhone && !app.registry.inputs.useAddress,
                  c.ticksCleared || (!c.usePhone && !c.useAddress));
    }
}

TEST_F(RegistryTest, QuestionsCarryTheirTextsAndCountdowns) {
    readDevice();
    app.registry.inputs = RegistryInputs{true, QStringLiteral("8-912-555"), true, QStringLiteral("17"), {}, {}};
    prompts.push(AnswerNo);
    prompts.push(AnswerNo);
    Registry(app).UpdateRegistry();
    const std::vector<PromptRequest> q = prompts.requests();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0].kind, PromptRequest::YesNo);
    EXPECT_EQ(q[0].caption, QStringLiteral("Подтверждение"));
    EXPECT_EQ(q[0].countdown, 10);
    EXPECT_EQ(q[0].text().trimmed(), QStringLiteral("Запомнить телефонный номер 8-912-555 за прибором 12345?"));
    EXPECT_EQ(q[1].countdown, 0);
    EXPECT_EQ(q[1].text().trimmed(), QStringLiteral("Запомнить адрес 17 за прибором 12345?"));
}

TEST_F(RegistryTest, StatementsAreBuiltSafely) {
    RegistryValues v{"123", "Т'2", "It's \"X\"", "O", "S", "P", " 01-01-2019"};
    const QString tel = QStringLiteral("8'9");
    EXPECT_EQ(WithoutDoubleQuotes(RegistryInsertStatement(4, v, &tel)),
              QStringLiteral("INSERT Into Torv2dev (ID, SERIAL, IDENT, US, OWNER, START, PO, DATA, TELEFON) Values "
                             "('5', '123', 'Т''2', 'It''s  X ', 'O', 'S', 'P', ' 01-01-2019','8''9')"));
    EXPECT_TRUE(RegistryInsertStatement(0, v, nullptr)
                    .endsWith(QStringLiteral(
                        " PO, DATA) Values ('1', '123', 'Т''2', 'It''s \"X\"', 'O', 'S', 'P', ' 01-01-2019')")));
    EXPECT_EQ(RegistryUpdateStatement(v, nullptr),
              QStringLiteral("UPDATE Torv2dev.dbf SET US = 'It''s \"X\"', START = 'S', PO = 'P', DATA = ' 01-01-2019' "
                             "Where SERIAL = '123'"));
    EXPECT_TRUE(RegistryUpdateStatement(v, &tel).contains(QStringLiteral(", TELEFON = '8''9' Where")));
    EXPECT_EQ(ProgrammingDateData(QByteArray::fromHex("09140319")), QStringLiteral(" 14-03-2019"));
    EXPECT_EQ(ProgrammingDateData(QByteArray::fromHex("23311295")), QStringLiteral(" 31-12-1995"));
    EXPECT_EQ(ProgrammingDateData(QByteArray::fromHex("FF140319")), QString());
}

TEST_F(RegistryTest, FailingUpdateAsksWithItsErrorAndGoesOn) {
    // A registry without the PO column: the row is found, the update fails.
    QDir().mkpath(devDir());
    QVector<DbfColumn> columns = RegistryColumns();
    columns.removeAt(6);
    DbfFile::Create(JoinPath(devDir(), QStringLiteral("Torv2dev.dbf")), columns);
    exec(QStringLiteral("INSERT Into Torv2dev (ID, SERIAL) Values ('1', '12345')"));
    readDevice();
    Registry r(app);
    const QString error = r.UpdateRegistry();
    ASSERT_EQ(prompts.requests().size(), 1u);
    EXPECT_EQ(prompts.requests()[0].caption, QStringLiteral("Ошибка"));
    EXPECT_TRUE(prompts.requests()[0].text().trimmed().startsWith(QStringLiteral("Ошбика SetDataDev ")));
    EXPECT_EQ(r.rows().size(), 1u);  // the list is still reopened on the row
    // The caller learns that the registry was not updated, and which file it is.
    EXPECT_TRUE(error.contains(QStringLiteral("не обновлён"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("Torv2dev.dbf")));
}

TEST_F(RegistryTest, AnEmptiedRegistryFileIsReportedNotPassedOver) {
    QDir().mkpath(devDir());
    ASSERT_TRUE(WriteAll(JoinPath(devDir(), QStringLiteral("Torv2dev.dbf")), QByteArray()));
    readDevice();
    const QString error = Registry(app).UpdateRegistry();
    EXPECT_TRUE(error.startsWith(QStringLiteral("Реестр приборов "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("Torv2dev.dbf")));
    EXPECT_EQ(ReadAll(JoinPath(devDir(), QStringLiteral("Torv2dev.dbf"))), QByteArray());  // never rewritten
}

TEST_F(RegistryTest, TheStoredTelephoneIsCutToItsColumnAndQuoted) {
    addRow("1", "12345");
    app.settings.setLastDevice(QStringLiteral("12345"));
    const QString phone = QStringLiteral("8 (495) 123-45-67 доб. 'O''Hara' 1234567890");
    EXPECT_EQ(Registry(app).StoreTelephone(QStringLiteral("12345"), phone), QString());
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored()[0].TELEFON, phone.left(30));
    EXPECT_EQ(app.registry.inputs.storedPhone, phone.left(30));
    EXPECT_FALSE(Registry(app).StoreTelephone(QStringLiteral("999"), phone).isEmpty());
}

TEST_F(RegistryTest, NoFactoryNumberNoRow) {
    DeviceTexts t;
    t.serial = QStringLiteral("AB12");  // cut to its leading digits: empty
    readDevice(t);
    Registry(app).UpdateRegistry();
    EXPECT_TRUE(stored().empty());
}

TEST_F(RegistryTest, SelectingADeviceTakesItsImageAndTotals) {
    readDevice();
    Registry(app).UpdateRegistry();
    ASSERT_TRUE(app.device.SaveUsd(devDir()).isEmpty());
    // Totals file: 1.5, 2, 0, 0 and 19.03.2019 08:00.
    QByteArray vc(24, '\0');
    PutFloat(vc, 0, 1.5f);
    PutFloat(vc, 4, 2.0f);
    const double days = QDate(1899, 12, 30).daysTo(QDate(2019, 3, 19)) + 8.0 / 24;
    std::memcpy(vc.data() + 16, &days, 8);
    ASSERT_TRUE(WriteAll(JoinPath(devDir(), QStringLiteral("T2_12345.vc")), vc));
    // Another device becomes current in the meantime.
    DeviceTexts other;
    other.serial = QStringLiteral("999");
    readDevice(other);

    QStringList shown;
    Registry r(app);
    r.setStatusSink([&](const QString &s) { shown << s; });
    ASSERT_TRUE(r.RefreshList());
    EXPECT_EQ(r.SelectDevice(), 1);
    const DeviceIdentity &id = app.registry.current;
    EXPECT_EQ(id.chosen, 1);
    EXPECT_EQ(id.number, QStringLiteral("12345"));
    EXPECT_EQ(id.object, QStringLiteral("Котельная 'Север'"));
    EXPECT_EQ(app.deviceNumber, QStringLiteral("12345"));
    EXPECT_EQ(app.settings.lastDevice(), QStringLiteral("12345"));
    EXPECT_EQ(app.device.FactoryNumber(), QStringLiteral("12345"));
    EXPECT_EQ(app.archiveStart, QDateTime(QDate(2018, 2, 1), QTime(10, 0)));
    EXPECT_EQ(id.deviceDate, QDateTime(QDate(2019, 3, 19), QTime(8, 0)));
    EXPECT_EQ(app.device.devObj().totals[0], 1.5f);
    EXPECT_EQ(app.device.gasTotals[1], 2.0f);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1], QStringLiteral("Торв-2  З/н:12345  Владелец:ООО \"Газ\"  Объект:Котельная 'Север'"
                                       "  Сист.время:19.03.2019 08:00:00  Начало раб.:10:00  01-02-2018"));
    EXPECT_EQ(r.StatusLine(), shown[1]);
    EXPECT_TRUE(prompts.requests().empty());
    EXPECT_TRUE(prompts.boxes().empty());
}

TEST_F(RegistryTest, SelectingWithoutTotalsTakesNowAndAnUnsetStartIsReported) {
    readDevice();
    // An unset start of work: 0xFF bytes.
    QByteArray image = app.device.KindImage();
    image.replace(img::kStartOfWork, 4, QByteArray(4, char(0xFF)));
    QString number;
    app.device.TakeConfigurationImage(image, ConfigurationLink{}, number);
    Registry(app).UpdateRegistry();
    ASSERT_TRUE(app.device.SaveUsd(devDir()).isEmpty());
    Registry r(app);
    r.RefreshList();
    EXPECT_EQ(r.SelectDevice(), 1);
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Ошибка системного времени прибора")});
    EXPECT_EQ(app.archiveStart, clock.now());
    EXPECT_EQ(app.registry.current.deviceDate, clock.now());
}

TEST_F(RegistryTest, SelectingADeviceWithoutItsImageFileKeepsTheOldImage) {
    readDevice();  // the previous device's image stays in the device object
    addRow(QStringLiteral("1"), QStringLiteral("4321"));
    Registry r(app);
    r.RefreshList();
    ASSERT_EQ(r.currentRow()->SERIAL, QStringLiteral("4321"));
    EXPECT_EQ(r.SelectDevice(), 0);
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0].text, QStringLiteral("Информация о настройке прибора з/н 4321 отсутствует"));
    EXPECT_EQ(app.device.FactoryNumber(), QStringLiteral("12345"));
    // The status line names the chosen device, with its own texts and no clock.
    EXPECT_EQ(r.StatusLine(), QStringLiteral("Торв-2  З/н:4321  Владелец:Вл 4321  Объект:Объект 4321"
                                             "  Сист.время: ------  Начало раб.:08:00  01-01-2018"));
    EXPECT_EQ(app.deviceNumber, QStringLiteral("4321"));
}

TEST_F(RegistryTest, DamagedImageFileIsReported) {
    addRow(QStringLiteral("1"), QStringLiteral("4321"));
    ASSERT_TRUE(WriteAll(JoinPath(devDir(), QStringLiteral("T2_4321.usd")), QByteArray(100, 'x')));
    Registry r(app);
    r.RefreshList();
    EXPECT_EQ(r.SelectDevice(), 0);
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_TRUE(prompts.boxes()[0].text.contains(QStringLiteral("100 байт вместо 4096")));
}

TEST_F(RegistryTest, ListSearchDeleteAndRestore) {
    Registry r(app);
    EXPECT_EQ(r.DatabaseLocation(), QDir::toNativeSeparators(devDir()));
    EXPECT_TRUE(r.RefreshList());  // made when missing
    EXPECT_TRUE(QFile::exists(JoinPath(devDir(), QStringLiteral("Torv2dev.dbf"))));
    EXPECT_TRUE(r.rows().empty());
    EXPECT_FALSE(r.DeleteDevice());  // nothing to delete, nothing asked
    EXPECT_TRUE(prompts.boxes().empty());

    addRow(QStringLiteral("1"), QStringLiteral("1001"), QStringLiteral("8-1"));
    addRow(QStringLiteral("2"), QStringLiteral("AB02"), QStringLiteral("8-2"));
    addRow(QStringLiteral("3"), QStringLiteral("1003"), QStringLiteral("8-3"));
    app.settings.setLastDevice(QStringLiteral("1003"));
    ASSERT_TRUE(r.RefreshList());
    EXPECT_EQ(r.rows().size(), 3u);
    EXPECT_EQ(r.currentIndex(), 2);  // on the last chosen device

    EXPECT_TRUE(r.Search(QStringLiteral("ab02")));
    EXPECT_EQ(r.currentIndex(), 1);
    EXPECT_FALSE(r.Search(QStringLiteral("0000")));
    EXPECT_EQ(r.currentIndex(), 1);
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Ощибка 26: Ощибка при поиске прибора")});
    r.First();
    EXPECT_EQ(r.currentIndex(), 0);
    r.Prior();
    EXPECT_EQ(r.currentIndex(), 0);
    r.Last();
    r.Next();
    EXPECT_EQ(r.currentIndex(), 2);

    // Delete: asked first; Cancel keeps the row.
    r.setCurrentIndex(1);
    prompts.clear();
    prompts.push(AnswerNo);
    EXPECT_FALSE(r.DeleteDevice());
    EXPECT_EQ(stored().size(), 3u);
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0].kind, MessageBoxRequest::OkCancel);
    EXPECT_EQ(prompts.boxes()[0].text, QStringLiteral("Вы уверенны ?"));
    prompts.push(AnswerYes);
    EXPECT_TRUE(r.DeleteDevice());
    QStringList serials;
    for (const RegistryRow &row : stored())
        serials << row.SERIAL;
    EXPECT_EQ(serials, (QStringList{"1001", "1003"}));
    EXPECT_EQ(r.rows().size(), 2u);
    EXPECT_EQ(r.currentRow()->SERIAL, QStringLiteral("1003"));

    // Restoring the last device chooses it and hands its TELEFON to the settings window.
    readDevice();
    DeviceTexts t;
    t.serial = QStringLiteral("1003");
    readDevice(t);
    ASSERT_TRUE(app.device.SaveUsd(devDir()).isEmpty());
    prompts.clear();
    Registry fresh(app);
    fresh.RestoreLastDevice();
    EXPECT_EQ(app.registry.current.number, QStringLiteral("1003"));
    EXPECT_EQ(app.registry.inputs.storedPhone, QStringLiteral("8-3"));
    EXPECT_EQ(app.registry.inputs.storedAddress, QStringLiteral("8-3"));

    // A last device that is no longer registered chooses nothing.
    app.settings.setLastDevice(QStringLiteral("555"));
    app.registry.current.number.clear();
    Registry again(app);
    again.RestoreLastDevice();
    EXPECT_TRUE(app.registry.current.number.isEmpty());
}

TEST(RegistryColumns, GridTitlesOrderAndWidths) {
    QStringList names, titles;
    for (const RegistryColumn &c : RegistryGridColumns()) {
        names << QString::fromUtf8(c.name);
        titles << QString::fromUtf8(c.title);
    }
    EXPECT_EQ(names, (QStringList{"ID", "SERIAL", "IDENT", "OWNER", "US", "START", "PO", "DATA", "TELEFON"}));
    EXPECT_EQ(titles, (QStringList{"№", "Заводской №", "Тип прибора", "Владелец", "Объект", "Начало работы",
                                   "Версия ПО", "Дата программирования", "Номер телефона (адрес)"}));
    EXPECT_FALSE(RegistryGridColumns()[2].visible);
    EXPECT_EQ(RegistryGridColumns()[3].width, 146);
    EXPECT_EQ(RegistryGridColumns()[4].width, 100);
}
