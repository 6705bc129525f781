// The archive download against the simulated device: every stored row equals what the device's
// memory holds, re-downloads change nothing, a clock moved back stops at error 18, damaged lines
// and cancellation lose nothing, damaged tables are named and damaged records reported.
#include "protocol/ExchangeTime.h"
#include "DownloadFixture.h"
#include "TestUtil.h"

#include "archive/GasTotals.h"
#include "bench/common/PrescribedWaits.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace torv;
using torvtest::DownloadBench;
using torvtest::DownloadOptions;

namespace {

QString Join(const QStringList &l, int max = 12) { return l.mid(0, max).join(QStringLiteral("\n")); }

}  // namespace

TEST(ArchiveMemory, Addresses) {
    using namespace ArchiveMemory;
    // April is even: channels 1–2 in sector 1, 3–4 in sector 2; March (odd) in 3 and 4.
    EXPECT_EQ(DaySector(2, 4), 1);
    EXPECT_EQ(DaySector(4, 4), 2);
    EXPECT_EQ(DaySector(1, 3), 3);
    EXPECT_EQ(DaySector(3, 3), 4);
    EXPECT_EQ(HourlyAddress(2, 1, 0), 0x8000);
    EXPECT_EQ(HourlyAddress(1, 15, 4), 14 * 624 + 4 * 26);
    EXPECT_EQ(DailyAddress(3, 2), 0x5000 + 26);
    // Month slots by month number: November 1040, December 1144, then January and February of the
    // next year in slots 0 and 1 (not 1248 and 1352, which lie past the twelfth slot).
    EXPECT_EQ(MonthlyAddress(1, 11), 1040);
    EXPECT_EQ(MonthlyAddress(1, 12), 1144);
    EXPECT_EQ(MonthlyAddress(1, 13), 0);
    EXPECT_EQ(MonthlyAddress(1, 14), 104);
    EXPECT_EQ(MonthlyAddress(3, 1), 52);
}

TEST(StartOfWork, TextPositions) {
    int hour = -1;
    EXPECT_EQ(StartDateOf(QStringLiteral("14:00  15-03-2019"), &hour), QDate(2019, 3, 15));
    EXPECT_EQ(hour, 14);
    EXPECT_THROW(StartDateOf(QStringLiteral("Нет")), DownloadError);
    EXPECT_THROW(StartDateOf(QStringLiteral("14:00  31-02-2019")), DownloadError);
}

class EveryScenario : public ::testing::TestWithParam<const char *> {};

// A 60-day download of every kind of every channel of every scenario stores exactly the device's
// records; a second download of the unchanged device changes no table and raises nothing.
TEST_P(EveryScenario, RowsEqualTheDevicesMemoryAndRedownloadChangesNothing) {
    DownloadBench b(DownloadOptions(QString::fromLatin1(GetParam())));
    ASSERT_TRUE(b.Download()) << Join(b.prompts.texts()).toStdString();
    EXPECT_TRUE(b.prompts.texts().isEmpty()) << Join(b.prompts.texts()).toStdString();
    const QDateTime at = b.DeviceNow();
    const QStringList diffs = b.CompareAll(at);
    EXPECT_TRUE(diffs.isEmpty()) << diffs.size() << " differences:\n" << Join(diffs).toStdString();

    QMap<QString, QByteArray> before;
    for (const auto &[ch, family] : ArchiveChannels(b.sim->deviceImage()))
        for (char k : {kHourly, kDaily, kMonthly})
            before[b.TablePath(ch, k)] = torvtest::ReadAll(b.TablePath(ch, k));
    ASSERT_TRUE(b.Download()) << Join(b.prompts.texts()).toStdString();
    EXPECT_TRUE(b.prompts.texts().isEmpty()) << Join(b.prompts.texts()).toStdString();
    for (auto it = before.begin(); it != before.end(); ++it) {
        // Rows of the same keys are rewritten in place; only rows that closed since come on top.
        const QByteArray now = torvtest::ReadAll(it.key());
        EXPECT_EQ(now.left(it.value().size() - 1).mid(32), it.value().left(it.value().size() - 1).mid(32))
            << it.key().toStdString();
    }
    EXPECT_TRUE(b.CompareAll(b.DeviceNow()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, EveryScenario,
                         ::testing::Values("gas4", "gas-vdab", "gas-pqsw", "steam", "heat", "liquid", "liquid-bare",
                                           "propane"),
                         torvtest::ParamName);

// Contract hour 10, start of work 14:00 15.03, device date 20.04 at 9 o'clock: the previous month
// starts at 15.03 slot 4, the current month at 01.04 slot 0, and the record of 19.04 hour 9 (09:00
// on 20.04) is the one being filled: not stored.
TEST(Download, StartSlotFirstCurrentSlotAndTheRecordBeingFilled) {
    SimOptions o = DownloadOptions(QStringLiteral("gas-vdab"));
    o.contractHour = 10;
    o.startOfWork = QDateTime(QDate(2019, 3, 15), QTime(14, 0));
    DownloadBench b(o, QDateTime(QDate(2019, 4, 20), QTime(9, 40)));
    ASSERT_TRUE(b.Download()) << Join(b.prompts.texts()).toStdString();
    EXPECT_EQ(b.app.device.startOfWork, QStringLiteral("14:00  15-03-2019"));
    const auto rows = b.Rows(1, kHourly);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front().dt, QDate(2019, 3, 15));
    EXPECT_EQ(rows.front().h, 14);
    bool firstOfApril = false;
    for (const auto &r : rows)
        if (r.dt == QDate(2019, 4, 1) && r.h == 10)
            firstOfApril = true;
    EXPECT_TRUE(firstOfApril);
    EXPECT_EQ(rows.back().dt, QDate(2019, 4, 19));
    EXPECT_EQ(rows.back().h, 8);
    EXPECT_TRUE(b.CompareAll(b.DeviceNow()).isEmpty());
    // Daily: up to the day before the metering day in hand (19.04).
    EXPECT_EQ(b.Rows(2, kDaily).back().dt, QDate(2019, 4, 18));
}

// The 1st of a month before the contract hour: the current month has no hourly records yet, and the
// current month's daily pass reads nothing.
TEST(Download, FirstOfTheMonthBeforeTheContractHour) {
    SimOptions o = DownloadOptions(QStringLiteral("gas-vdab"));
    o.contractHour = 10;
    DownloadBench b(o, QDateTime(QDate(2019, 5, 1), QTime(5, 15)));
    ASSERT_TRUE(b.Download()) << Join(b.prompts.texts()).toStdString();
    for (const auto &r : b.Rows(1, kHourly))
        EXPECT_LT(r.dt, QDate(2019, 5, 1));
    const auto daily = b.Rows(1, kDaily);
    ASSERT_FALSE(daily.empty());
    EXPECT_EQ(daily.back().dt, QDate(2019, 4, 29));
    const QStringList diffs = b.CompareAll(b.DeviceNow());
    EXPECT_TRUE(diffs.isEmpty()) << Join(diffs).toStdString();
}

// Depth 60 against a year of history: nothing older than the previous month is asked for.
TEST(Download, DepthLimitsTheStart) {
    DownloadBench b(DownloadOptions(QStringLiteral("gas-vdab")), QDateTime(QDate(2019, 4, 20), QTime(12, 30)), 10);
    ASSERT_TRUE(b.Download());
    const auto hourly = b.Rows(1, kHourly);
    ASSERT_FALSE(hourly.empty());
    EXPECT_EQ(hourly.front().dt, QDate(2019, 4, 10));
    EXPECT_EQ(b.Rows(1, kMonthly).size(), 11u) << "twelve month slots, the current month still accumulating";
    EXPECT_EQ(b.Rows(1, kMonthly).back().dt, QDate(2019, 3, 31));
    EXPECT_TRUE(b.CompareAll(b.DeviceNow()).isEmpty());
}

TEST(Download, ClockMovedBackStopsAtError18AndKeepsEarlierRows) {
    DownloadBench b(DownloadOptions(QStringLiteral("gas-vdab")));
    ASSERT_TRUE(b.Download());
    const auto before = b.Rows(1, kHourly);
    b.sim->moveClockBack(3);
    b.prompts.clear();
    EXPECT_FALSE(b.Download());
    EXPECT_EQ(b.app.abortState, AbortModem);
    bool error18 = false;
    for (const QString &t : b.prompts.texts())
        error18 |= t.startsWith(QStringLiteral("Ошибка 18"));
    EXPECT_TRUE(error18) << Join(b.prompts.texts()).toStdString();
    const auto after = b.Rows(1, kHourly);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].dt, before[i].dt);
        EXPECT_EQ(after[i].h, before[i].h);
        EXPECT_EQ(after[i].v, before[i].v) << before[i].dt.toString().toStdString() << " H " << before[i].h;
    }
}

TEST(Download, DamagedLineStillStoresExactRows) {
    SimOptions o = DownloadOptions(QStringLiteral("gas-vdab"));
    o.faults.corruptRate = 0.002;
    o.faults.dropRate = 0.001;
    o.faults.stallRate = 0;
    DownloadBench b(o);
    for (int i = 0; i < 4; ++i)  // repeated blocks make the download outlast five minutes: go on
        b.prompts.push(AnswerYes);
    ASSERT_TRUE(b.Download())
        << Join(b.prompts.texts()).toStdString() << "\n"
        << Join(
               b.status.lines(Role::RichEdit1).mid(std::max<qsizetype>(0, b.status.lines(Role::RichEdit1).size() - 20)),
               20)
               .toStdString();
    const QStringList diffs = b.CompareAll(b.DeviceNow());
    EXPECT_TRUE(diffs.isEmpty()) << Join(diffs).toStdString();
}

// Cancelled at a moment chosen from a seed: every table stays readable and holds only true rows;
// the next download completes them.
TEST(Download, CancelledAtAnyMomentThenCompleted) {
    for (int seed : {7, 19, 42}) {
        DownloadBench b(DownloadOptions(QStringLiteral("gas-vdab")));
        auto timer = b.clock.createTimer();
        timer->onTimeout = [&] {
            b.app.abortState = AbortUser;
            timer->stop();
        };
        timer->start(5000 + (seed * 7919) % 120000);
        EXPECT_FALSE(b.Download());
        timer->stop();
        const QDateTime at = b.DeviceNow();
        for (const auto &[ch, family] : ArchiveChannels(b.sim->deviceImage()))
            for (char k : {kHourly, kDaily, kMonthly}) {
                if (!QFileInfo::exists(b.TablePath(ch, k)))
                    continue;
                // Whatever was stored is true: no row differs from the device's memory.
                for (const QString &d : b.Compare(ch, family, k, at))
                    EXPECT_TRUE(d.contains(QStringLiteral("rows, expected"))) << seed << ": " << d.toStdString();
            }
        ASSERT_TRUE(b.Download()) << seed;
        const QStringList diffs = b.CompareAll(b.DeviceNow());
        EXPECT_TRUE(diffs.isEmpty()) << seed << ":\n" << Join(diffs).toStdString();
    }
}

// "Нет" to the five-minute question ends the download; what was written stays.
TEST(Download, DeclinedOverTimeQuestionKeepsWhatWasWritten) {
    DownloadBench b(DownloadOptions(QStringLiteral("gas-vdab")));
    b.prompts.push(AnswerNo);
    auto timer = b.clock.createTimer();
    timer->onTimeout = [&] {
        b.status.setShownAt(b.clock.monotonicMs() - kExchangeTimeLimitMs - 1);
        timer->stop();
    };
    timer->start(60000);
    EXPECT_FALSE(b.Download());
    EXPECT_EQ(b.app.abortState, AbortDeclined);
    const auto rows = b.Rows(1, kHourly);
    EXPECT_FALSE(rows.empty());
    for (const QString &d : b.Compare(1, TableFamily::GVRas, kHourly, b.DeviceNow()))
        EXPECT_TRUE(d.contains(QStringLiteral("rows, expected"))) << d.toStdString();
}

TEST(Download, NoLinkOnADirectLine) {
    DownloadBench b(DownloadOptions(QStringLiteral("gas-vdab")));
    b.app.link.linkOpen = 0;
    b.app.link.lineFactory = [](int) -> std::unique_ptr<SerialLine> { return nullptr; };
    b.app.settings.setComPort(77);
    EXPECT_FALSE(DowArch(b.app, nullptr));
    ASSERT_FALSE(b.prompts.texts().isEmpty());
    EXPECT_TRUE(b.prompts.texts().last().startsWith(QStringLiteral("Ошибка31:")));
}

// Damaged records in a device's tables are reported with their table and record number and are no
// rows: the re-download writes their rows anew and leaves the damaged bytes. A table whose header
// is garbage stops the download with its name and is not written to.
TEST(Download, DamagedRecordsAreReportedAndAGarbageHeaderIsNeverWritten) {
    DownloadBench b(DownloadOptions(QStringLiteral("gas-vdab")));
    ASSERT_TRUE(b.Download()) << Join(b.prompts.texts()).toStdString();
    const QString daily1 = b.TablePath(1, kDaily), hourly2 = b.TablePath(2, kHourly);  // GVSU, GVRas
    const DbfLayout layout = DbfFile::Open(daily1, DbfFile::ReadOnly)->layout();
    auto recordAt = [&](const DbfLayout &l, int slot) { return l.headerLength + slot * l.recordLength; };
    QByteArray d = torvtest::ReadAll(daily1);
    d[recordAt(layout, 2)] = 'X';
    const DbfLayout hourlyLayout = DbfFile::Open(hourly2, DbfFile::ReadOnly)->layout();
    QByteArray h = torvtest::ReadAll(hourly2);
    const DbfField &p = hourlyLayout.fields[hourlyLayout.fieldIndex(QStringLiteral("P"))];
    h.replace(recordAt(hourlyLayout, 5) + p.offset, p.width, QByteArray("0.1?").rightJustified(p.width));
    ASSERT_TRUE(torvtest::WriteAll(daily1, d));
    ASSERT_TRUE(torvtest::WriteAll(hourly2, h));
    b.app.tables.forget(DeviceDirectory(b.app.settings.dataDir(), b.app.deviceNumber));

    ASSERT_TRUE(b.Download()) << Join(b.prompts.texts()).toStdString();
    const QStringList log = b.status.lines(Role::RichEdit1);
    const QString told1 = QStringLiteral("Таблица %1: запись 3 повреждена (признак удаления 0x58) и пропущена")
                              .arg(QDir::toNativeSeparators(daily1));
    const QString told2 = QStringLiteral("Таблица %1: запись 6 повреждена (столбец P: «%2») и пропущена")
                              .arg(QDir::toNativeSeparators(hourly2), QString(p.width - 4, QLatin1Char(' ')) + "0.1?");
    EXPECT_EQ(log.count(told1), 1) << Join(log.mid(log.size() - 10), 40).toStdString();
    EXPECT_EQ(log.count(told2), 1) << Join(log.mid(log.size() - 10), 40).toStdString();
    EXPECT_TRUE(b.CompareAll(b.DeviceNow()).isEmpty()) << Join(b.CompareAll(b.DeviceNow())).toStdString();
    EXPECT_EQ(torvtest::ReadAll(daily1).mid(recordAt(layout, 2), layout.recordLength),
              d.mid(recordAt(layout, 2), layout.recordLength));

    // 32 bytes of garbage over the header of the gas flowmeter's hourly table.
    QByteArray garbage = torvtest::ReadAll(hourly2);
    for (int i = 0; i < 32; ++i)
        garbage[i] = char(0x5A ^ (i * 37));
    ASSERT_TRUE(torvtest::WriteAll(hourly2, garbage));
    b.app.tables.forget(DeviceDirectory(b.app.settings.dataDir(), b.app.deviceNumber));
    b.status.clearPane(Role::RichEdit1);
    EXPECT_FALSE(b.Download());
    EXPECT_EQ(torvtest::ReadAll(hourly2), garbage);
    EXPECT_TRUE(b.status.lines(Role::RichEdit1)
                    .contains(QStringLiteral("Таблица %1 повреждена: это не таблица dBASE III (байт версии 0x%2)")
                                  .arg(QDir::toNativeSeparators(hourly2))
                                  .arg(0x5A, 2, 16, QLatin1Char('0'))))
        << Join(b.status.lines(Role::RichEdit1), 40).toStdString();
    EXPECT_TRUE(b.prompts.texts().join(" ").contains(QStringLiteral("Ошибка 76")));
}

namespace {

// The line to the simulated device dies for good once `left` bytes have come from it (the device
// switched off, the far end of a pseudo-terminal closed); a port opened on it later finds it dead.
class LineThatGoesAway final : public SerialLine {
public:
    LineThatGoesAway(std::unique_ptr<SerialLine> line, std::shared_ptr<qint64> left)
        : line_(std::move(line)), left_(std::move(left)) {}
    QString target() const override { return line_->target(); }
    bool open() override { return line_->open(); }
    QString errorText() const override { return target() + QStringLiteral(" — линия закрыта на другом конце"); }
    bool configure(const LineFormat &f) override { return line_->configure(f); }
    Switch setDtr(bool on) override { return line_->setDtr(on); }
    Switch setRts(bool on) override { return line_->setRts(on); }
    ModemLines modemLines() override { return line_->modemLines(); }
    int bytesWaiting() override { return *left_ > 0 ? qMin<qint64>(line_->bytesWaiting(), *left_) : -1; }
    bool outputEmpty() override { return true; }
    int takeReceiveErrors() override { return line_->takeReceiveErrors(); }
    bool waitForData(qint64 ms) override { return *left_ > 0 && line_->waitForData(ms); }
    bool readByte(uint8_t &b) override {
        if (*left_ <= 0 || !line_->readByte(b))
            return false;
        --*left_;
        return true;
    }
    bool writeByte(uint8_t b) override { return *left_ > 0 && line_->writeByte(b); }
    bool waitForWritten(qint64 ms) override { return *left_ > 0 && line_->waitForWritten(ms); }

private:
    std::unique_ptr<SerialLine> line_;
    std::shared_ptr<qint64> left_;
};

}  // namespace

// A line that goes away in the middle of the archives ends the download like a pulled cable: the
// port fails for good, the block read's no-link question ends it ("Нет", as nobody answers), and
// what was stored stays true.
TEST(Download, ALineThatGoesAwayEndsItWithTheNoLinkQuestion) {
    DownloadBench b(DownloadOptions(QStringLiteral("gas-vdab")));
    b.prompts.setDefaultAnswer(AnswerNo);
    auto left = std::make_shared<qint64>(60'000);
    b.app.link.lineFactory = [&b, left](int) {
        return std::make_unique<LineThatGoesAway>(std::make_unique<SimLine>(b.sim, b.clock), left);
    };
    EXPECT_FALSE(b.Download());
    EXPECT_EQ(b.app.abortState.load(), AbortUser);
    const QStringList texts = b.prompts.texts();
    EXPECT_TRUE(texts.contains(QStringLiteral("Ошибка 11: Нет связи с прибором. Повторить попытку?")))
        << Join(texts).toStdString();
    EXPECT_FALSE(texts.join('\n').contains(QStringLiteral("Ошибка 3:"))) << Join(texts).toStdString();
    EXPECT_TRUE(
        b.status.lines(Role::RichEdit1)
            .contains(QStringLiteral("Связь по порту COM1 потеряна: sim:gas-vdab — линия закрыта на другом конце")));
    const auto rows = b.Rows(1, kHourly);
    EXPECT_FALSE(rows.empty());
    for (const auto &[ch, family] : ArchiveChannels(b.sim->deviceImage()))
        for (char k : {kHourly, kDaily, kMonthly}) {
            if (!QFileInfo::exists(b.TablePath(ch, k)))
                continue;
            for (const QString &d : b.Compare(ch, family, k, b.DeviceNow()))
                EXPECT_TRUE(d.contains(QStringLiteral("rows, expected"))) << d.toStdString();
        }
}

// The 60-day download over a noisy line (0.1 % of the device's reply bytes garbled, 0.05 % lost)
// costs the line time of every byte plus the waits the program's rules give the damage that
// occurred, worked out from the device's reply log, and stores exactly the device's rows. This is
// the virtual-clock twin of the download-noisy benchmark.
TEST(Download, NoisyLineCostsItsLineTimeAndThePrescribedWaits) {
    SimOptions o = DownloadOptions(QStringLiteral("gas-vdab"));
    o.faults.corruptRate = 0.001;
    o.faults.dropRate = 0.0005;
    o.logReplies = true;
    DownloadBench b(o);
    for (int i = 0; i < 4; ++i)  // at 9600 baud the download outlasts five minutes: go on
        b.prompts.push(AnswerYes);
    const qint64 t0 = b.clock.monotonicMs();
    ASSERT_TRUE(b.Download()) << Join(b.prompts.texts()).toStdString();
    const double elapsed = (b.clock.monotonicMs() - t0) / 1000.0;

    PrescribedWaits waits;
    waits.answerUnit = b.app.settings.answerTime();
    waits.Add(b.sim->faultLog());
    const SimCounters c = b.sim->counters();
    const double line = (c.bytesIn + c.bytesOut + c.droppedBytes) * b.sim->byteUs() / 1e6;
    const double bound = line + waits.totalMs() / 1000;
    ASSERT_GT(waits.timeouts, 50);  // the line was noisy indeed
    EXPECT_GE(elapsed, bound);      // every prescribed wait is kept ...
    EXPECT_LE(elapsed, 1.01 * bound) << "line " << line << " s, waits " << waits.totalMs() / 1000
                                     << " s";  // ... and no other
    const QStringList diffs = b.CompareAll(b.DeviceNow());
    EXPECT_TRUE(diffs.isEmpty()) << Join(diffs).toStdString();
}
