// The gas totals request and the totals file.
#include "../sim/SimFixture.h"
#include "TestUtil.h"
#include "base/WriteFailure.h"

#include "archive/GasTotals.h"
#include "app/DeviceSettings.h"
#include "link/ComPort.h"
#include "link/SerialLine.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <cstring>
#include <deque>
#include <gtest/gtest.h>

using namespace torv;
using torvtest::SimBench;

namespace {

// A line whose device answers the totals request by a script: the reply to the k-th 'n' (or none)
// after a delay of virtual time.
class ScriptedTotalsLine final : public SerialLine {
public:
    struct Reply {
        QByteArray bytes;  // empty: no answer to this request
        qint64 delayMs = 50;
    };
    ScriptedTotalsLine(VirtualClock &clock, std::vector<Reply> script) : clock_(clock), script_(std::move(script)) {}

    QString target() const override { return QStringLiteral("script"); }
    bool open() override { return true; }
    QString errorText() const override { return {}; }
    bool configure(const LineFormat &) override { return true; }
    Switch setDtr(bool) override { return Switch::NotSupported; }
    Switch setRts(bool) override { return Switch::NotSupported; }
    ModemLines modemLines() override { return {}; }
    int bytesWaiting() override { return int(ready()); }
    bool outputEmpty() override { return true; }
    int takeReceiveErrors() override { return 0; }
    bool waitForData(qint64 ms) override {
        if (ready())
            return true;
        if (!queue_.empty() && queue_.front().first <= clock_.monotonicMs() + ms) {
            clock_.advanceTo(queue_.front().first);
            return true;
        }
        clock_.advance(ms);
        return false;
    }
    bool readByte(uint8_t &b) override {
        if (!ready())
            return false;
        b = queue_.front().second;
        queue_.pop_front();
        return true;
    }
    bool writeByte(uint8_t b) override {
        if (b == 'n') {
            requestTimes.push_back(clock_.monotonicMs());
            const size_t k = requestTimes.size() - 1;
            if (k < script_.size() && !script_[k].bytes.isEmpty())
                for (char c : script_[k].bytes)
                    queue_.push_back({clock_.monotonicMs() + script_[k].delayMs, uint8_t(c)});
        }
        return true;
    }
    bool waitForWritten(qint64) override { return true; }

    std::vector<qint64> requestTimes;

private:
    size_t ready() const {
        size_t n = 0;
        for (const auto &q : queue_)
            if (q.first <= clock_.monotonicMs())
                ++n;
        return n;
    }
    VirtualClock &clock_;
    std::vector<Reply> script_;
    std::deque<std::pair<qint64, uint8_t>> queue_;
};

QByteArray TotalsReply(int channel, float at27, float at31, uint8_t mark = 0xC9) {
    QByteArray p(48, '\0');
    p[0] = char(mark);
    p[4] = char(((channel - 1) & 3) << 4);
    quint32 u;
    std::memcpy(&u, &at27, 4);
    qToLittleEndian(u, p.data() + 27);
    std::memcpy(&u, &at31, 4);
    qToLittleEndian(u, p.data() + 31);
    return p;
}

struct TotalsBench : SimBench {
    TotalsBench() : SimBench(Options()) {
        app.settings.setDirectoryDefaults(dir.path());
        Settings(app, nullptr);
    }
    static SimOptions Options() {
        SimOptions o;
        o.scenario = QStringLiteral("gas4");  // media V, D, B, A
        return o;
    }
    QString totalsFile() const { return TotalsPath(app.settings.devDir(), QStringLiteral("4217")); }
    void useScript(std::vector<ScriptedTotalsLine::Reply> script) {
        auto line = std::make_unique<ScriptedTotalsLine>(clock, std::move(script));
        scripted = line.get();
        app.link.port = std::make_unique<TComPort>(app, 1, std::move(line));
    }
    ScriptedTotalsLine *scripted = nullptr;
};

}  // namespace

// Flowmeter media take the total from offset 31, orifice air from 27; gas orifice asks nothing.
TEST(GasTotals, OffsetsByMediumAndTheSimulatedDevice) {
    TotalsBench b;
    ASSERT_EQ(b.app.abortState, AbortRunning);
    const int before = b.sim->counters().valueRequests;
    RequestGasTotal(b.app, 2);  // 'D'
    EXPECT_EQ(b.sim->counters().valueRequests, before);
    EXPECT_TRUE(QFileInfo::exists(b.totalsFile())) << "the file is written with the totals held so far";

    for (int ch : {1, 4}) {  // 'V' and 'A'; the device answers about its channels in turn
        RequestGasTotal(b.app, ch);
        const QByteArray packet = b.sim->model().currentValues(ch, b.sim->deviceTime());
        const float expected = FloatAt(packet, ch == 4 ? 27 : 31);
        EXPECT_NEAR(b.app.device.devObj().totals[ch - 1], expected, std::fabs(expected) * 1e-3) << ch;
    }
    const QByteArray file = torvtest::ReadAll(b.totalsFile());
    ASSERT_EQ(file.size(), 24);
    std::array<float, 4> totals{};
    QDateTime date;
    ASSERT_TRUE(DecodeTotals(file, totals, date));
    EXPECT_EQ(totals, b.app.device.devObj().totals);
    EXPECT_EQ(date, b.app.device.totalsDate);
    EXPECT_EQ(date.date(), b.sim->deviceTime().date());
}

TEST(GasTotals, SlowReplyFollowsTwoRequests) {
    TotalsBench b;
    b.useScript({{{}, 0}, {TotalsReply(1, 1.0f, 98765.5f), 1480}});
    RequestGasTotal(b.app, 1);
    ASSERT_EQ(b.scripted->requestTimes.size(), 2u);
    EXPECT_NEAR(b.scripted->requestTimes[1] - b.scripted->requestTimes[0], 4520, 40);
    EXPECT_FLOAT_EQ(b.app.device.devObj().totals[0], 98765.5f);
    EXPECT_TRUE(b.status.text(Role::StaticText2).endsWith(QStringLiteral(" Данные приняты успешно")));
}

TEST(GasTotals, NoReplyOrBadReplyWritesNoFile) {
    struct Case {
        std::vector<ScriptedTotalsLine::Reply> script;
        QString text;
        bool endsWith;
    } cases[] = {
        {{}, QStringLiteral("Нет ответа от прибора в течении 20 сек"), false},
        {{{TotalsReply(1, 0, 5.0f, 0x00), 50}}, QStringLiteral(" Принял некоректные данные"), true},
    };
    for (const Case &c : cases) {
        TotalsBench b;
        QFile::remove(b.totalsFile());
        b.useScript(c.script);
        RequestGasTotal(b.app, 1);
        const QString shown = b.status.text(Role::StaticText2);
        EXPECT_TRUE(c.endsWith ? shown.endsWith(c.text) : shown == c.text) << shown.toStdString();
        EXPECT_FALSE(QFileInfo::exists(b.totalsFile()));
    }
}

TEST(GasTotals, RepliesAboutOtherChannelsLeaveTheTotal) {
    TotalsBench b;
    b.app.device.devObj().totals[0] = 7.0f;
    b.useScript({{TotalsReply(2, 0, 1), 50},
                 {TotalsReply(3, 0, 2), 50},
                 {TotalsReply(4, 0, 3), 50},
                 {TotalsReply(2, 0, 4), 50},
                 {TotalsReply(1, 0, 5), 50}});
    RequestGasTotal(b.app, 1);
    EXPECT_EQ(b.scripted->requestTimes.size(), 4u);
    EXPECT_FLOAT_EQ(b.app.device.devObj().totals[0], 7.0f);
    EXPECT_TRUE(QFileInfo::exists(b.totalsFile()));
}

TEST(GasTotals, FileRoundTripAndDayCount) {
    const QDateTime at(QDate(2020, 2, 7), QTime(12, 0));
    EXPECT_DOUBLE_EQ(ToDayCount(at), 43868.5);
    EXPECT_EQ(FromDayCount(43868.5), at);
    EXPECT_FALSE(FromDayCount(std::nan("")).isValid());
    std::array<float, 4> t{1.5f, 0, 12345.25f, -1};
    std::array<float, 4> back{};
    QDateTime d;
    ASSERT_TRUE(DecodeTotals(EncodeTotals(t, at), back, d));
    EXPECT_EQ(back, t);
    EXPECT_EQ(d, at);
    EXPECT_FALSE(DecodeTotals(QByteArray(23, '\0'), back, d));
}

// A totals file that cannot be written is reported and the old one stays; a totals file copied
// under another letter case is the one read and replaced.
TEST(GasTotals, FullDiskKeepsTheOldFileAndAnyLetterCaseIsFound) {
    TotalsBench b;
    const QString devDir = b.app.settings.devDir();
    QFile::remove(b.totalsFile());
    const QString copied = QDir(devDir).filePath(QStringLiteral("t2_4217.VC"));
    const QDateTime at(QDate(2020, 2, 7), QTime(12, 0));
    const QByteArray old = EncodeTotals({1, 2, 3, 4}, at);
    ASSERT_TRUE(torvtest::WriteAll(copied, old));
    EXPECT_EQ(b.totalsFile(), copied);
    {
        torvtest::FileSizeLimit full(10);
        ASSERT_TRUE(full.active());
        RequestGasTotal(b.app, 2);  // 'D': no request, the file is written
    }
    EXPECT_EQ(torvtest::ReadAll(copied), old);
    const QStringList log = b.status.lines(Role::RichEdit1);
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(log.last().startsWith(QStringLiteral("Не удалось записать файл итоговых объемов ") +
                                      QDir::toNativeSeparators(copied) + QStringLiteral(": ")))
        << log.last().toStdString();

    ASSERT_TRUE(LoadTotals(b.app, QStringLiteral("4217")));
    EXPECT_FLOAT_EQ(b.app.device.gasTotals[2], 3.0f);
    b.app.device.devObj().totals[0] = 9.0f;
    RequestGasTotal(b.app, 2);
    EXPECT_EQ(QDir(devDir).entryList({QStringLiteral("*.vc")}, QDir::Files), QStringList{QStringLiteral("t2_4217.VC")});
    std::array<float, 4> totals{};
    QDateTime date;
    ASSERT_TRUE(DecodeTotals(torvtest::ReadAll(copied), totals, date));
    EXPECT_EQ(totals, (std::array<float, 4>{9, 2, 3, 4}));
}
