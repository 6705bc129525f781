// The device list window TForm8 offscreen: the registry grid, search, navigator, delete and choice.
#include "app/App.h"
#include "app/Unit8.h"
#include "archive/TQuery.h"
#include "archive/TableSchema.h"
#include "device/DevData.h"
#include "link/Clock.h"
#include "link/ProcessControl.h"
#include "sim/Scenario.h"
#include "TestUtil.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace torv;

namespace {

class DeviceListWindow : public ::testing::Test {
protected:
    DeviceListWindow()
        : clock(QDateTime(QDate(2019, 3, 20), QTime(11, 30))),
          app(tmp.path(), Seams{&clock, &prompts, &status, &processes}) {
        app.settings.setDirectoryDefaults(tmp.path());
        app.settings.setValueDefaults();
        EnsureRegistryTable(app.settings.devDir());
        for (const char *serial : {"1001", "1002", "1003"})
            exec(QStringLiteral("INSERT Into Torv2dev (ID, SERIAL, IDENT, US, OWNER, START, PO, DATA, TELEFON) "
                                "Values ('%1', '%1', 'Торв-2', 'Объект %1', 'Владелец %1', '08:00  01-01-2018', "
                                "'v1', ' 01-01-2018', 'тел %1')")
                     .arg(QLatin1String(serial)));
    }

    void exec(const QString &sql) {
        TQuery q(app.tables);
        q.setDatabaseName(app.settings.devDir());
        q.setSql(sql);
        q.execSql();
    }

    void writeUsd(const QString &serial) {
        QByteArray image(img::kSize, char(0xFF));
        PutTextField(image, img::kFactoryNumber, img::kFactoryNumberCapacity, serial.toLatin1());
        image::PutStamp(image, img::kStartOfWork, 8, 1, 1, 18);
        ASSERT_TRUE(torvtest::WriteAll(TTorv2s::UsdPath(app.settings.devDir(), serial), image));
    }

    void clickRow(TForm8 &f, int row) {
        const QRect cell = f.DBGrid1->visualItemRect(f.DBGrid1->item(row, 1));
        QTest::mouseClick(f.DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
    }

    QTemporaryDir tmp;
    VirtualClock clock;
    ScriptedPrompts prompts;
    LinkStatus status;
    RecordingProcessControl processes;
    App app;
};

}  // namespace

TEST_F(DeviceListWindow, ShowsTheRegistryAndFindsNavigatesAndDeletes) {
    app.settings.setLastDevice(QStringLiteral("1002"));
    TForm8 f(app);
    EXPECT_EQ(app.registry.current.chosen, 0);
    f.show();
    QApplication::processEvents();

    QStringList titles;
    for (int c = 0; c < f.DBGrid1->columnCount(); ++c)
        titles << f.DBGrid1->horizontalHeaderItem(c)->text();
    EXPECT_EQ(titles, (QStringList{"№", "Заводской №", "Тип прибора", "Владелец", "Объект", "Начало работы",
                                   "Версия ПО", "Дата программирования", "Номер телефона (адрес)"}));
    EXPECT_TRUE(f.DBGrid1->isColumnHidden(2));
    // The list's widths are minimums; every title fits its column whole.
    const int minimums[] = {24, 50, 70, 146, 100, 146, 0, 0, 0};
    const QFontMetrics header(f.DBGrid1->horizontalHeader()->font());
    for (int c = 0; c < f.DBGrid1->columnCount(); ++c) {
        if (f.DBGrid1->isColumnHidden(c))
            continue;
        EXPECT_GE(f.DBGrid1->columnWidth(c), minimums[c]) << c;
        EXPECT_GT(f.DBGrid1->columnWidth(c), header.horizontalAdvance(titles[c])) << titles[c].toStdString();
    }
    EXPECT_EQ(f.Edit1->text(), QDir::toNativeSeparators(app.settings.devDir()));
    EXPECT_EQ(f.MaskEdit1->text(), QStringLiteral("0000"));
    EXPECT_TRUE(f.MaskEdit1->inputMask().startsWith(QStringLiteral("0000")));
    ASSERT_EQ(f.DBGrid1->rowCount(), 3);
    EXPECT_EQ(f.DBGrid1->item(2, 3)->text(), QStringLiteral("Владелец 1003"));
    EXPECT_EQ(f.DBGrid1->currentRow(), 1);  // the last chosen device

    // Search.
    f.MaskEdit1->setText(QStringLiteral("1003"));
    f.Button4->click();
    EXPECT_EQ(f.DBGrid1->currentRow(), 2);
    f.MaskEdit1->setText(QStringLiteral("9999"));
    f.Button4->click();
    EXPECT_EQ(f.DBGrid1->currentRow(), 2);
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Ощибка 26: Ощибка при поиске прибора")});

    // Navigator.
    f.NavFirst->click();
    EXPECT_EQ(f.DBGrid1->currentRow(), 0);
    f.NavNext->click();
    EXPECT_EQ(f.DBGrid1->currentRow(), 1);
    f.NavLast->click();
    EXPECT_EQ(f.DBGrid1->currentRow(), 2);
    f.NavPrior->click();
    EXPECT_EQ(f.DBGrid1->currentRow(), 1);

    // Delete: Cancel keeps the row, OK removes it.
    prompts.clear();
    prompts.push(AnswerNo);
    f.Button3->click();
    EXPECT_EQ(f.DBGrid1->rowCount(), 3);
    prompts.push(AnswerYes);
    f.Button3->click();
    ASSERT_EQ(f.DBGrid1->rowCount(), 2);
    EXPECT_EQ(f.DBGrid1->item(1, 1)->text(), QStringLiteral("1003"));
    EXPECT_EQ(prompts.boxes().size(), 2u);
    EXPECT_EQ(prompts.boxes()[1].text, QStringLiteral("Вы уверенны ?"));
}

TEST_F(DeviceListWindow, ChoosingARowClosesTheWindowAcceptedOnlyWithItsImageFile) {
    writeUsd(QStringLiteral("1003"));
    TForm8 f(app);
    QStringList statusTexts;
    f.registry().setStatusSink([&](const QString &s) { statusTexts << s; });

    // A device without its ".usd": the window closes with "no".
    f.show();
    QApplication::processEvents();
    clickRow(f, 0);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.result(), QDialog::Rejected);
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0].text, QStringLiteral("Информация о настройке прибора з/н 1001 отсутствует"));
    EXPECT_EQ(app.registry.current.number, QStringLiteral("1001"));

    // A device with it: accepted; its TELEFON goes to the settings window's fields.
    f.show();
    QApplication::processEvents();
    EXPECT_EQ(f.MaskEdit1->text(), QStringLiteral("0000"));
    EXPECT_EQ(f.DBGrid1->currentRow(), 0);  // on the last chosen device
    f.NavLast->click();
    f.Button1->click();
    EXPECT_EQ(f.result(), QDialog::Accepted);
    EXPECT_EQ(app.registry.current.number, QStringLiteral("1003"));
    EXPECT_EQ(app.registry.current.chosen, 1);
    EXPECT_EQ(app.registry.inputs.storedPhone, QStringLiteral("тел 1003"));
    EXPECT_EQ(app.archiveStart, QDateTime(QDate(2018, 1, 1), QTime(8, 0)));
    ASSERT_FALSE(statusTexts.isEmpty());
    EXPECT_TRUE(statusTexts.last().startsWith(QStringLiteral("Торв-2  З/н:1003  ")));

    // "Отмена".
    f.show();
    QApplication::processEvents();
    f.Button2->click();
    EXPECT_EQ(f.result(), QDialog::Rejected);
}

TEST_F(DeviceListWindow, RestoresTheLastDeviceAtStart) {
    writeUsd(QStringLiteral("1002"));
    app.settings.setLastDevice(QStringLiteral("1002"));
    TForm8 f(app);
    f.FormCreate();
    EXPECT_EQ(app.registry.current.number, QStringLiteral("1002"));
    EXPECT_EQ(app.registry.inputs.storedAddress, QStringLiteral("тел 1002"));
    EXPECT_EQ(app.device.FactoryNumber(), QStringLiteral("1002"));
}
