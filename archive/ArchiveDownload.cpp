#include "archive/ArchiveDownload.h"

#include "archive/ArchiveContext.h"
#include "base/Formats.h"
#include "archive/GasTotals.h"
#include "archive/TableError.h"
#include "protocol/ExchangeTime.h"
#include "link/Link.h"
#include "protocol/BlockRead.h"

#include <cmath>

namespace torv {

namespace ArchiveMemory {

int ChannelBase(int channel) { return (channel == 2 || channel == 4) ? kSecondChannelBase : 0; }

int DaySector(int channel, int month) {
    const bool low = channel <= 2;
    if (month % 2 == 0)
        return low ? 1 : 2;
    return low ? 3 : 4;
}

int HourlyAddress(int channel, int day, int slot) {
    return ChannelBase(channel) + (day - 1) * kDayBytes + slot * kArchiveRecordSize;
}

int DailyAddress(int channel, int day) { return ChannelBase(channel) + kDailyOffset + (day - 1) * kArchiveRecordSize; }

int MonthlyAddress(int channel, int month) {
    return ((month - 1) % kMonthSlots) * kMonthSlotBytes + (channel - 1) * kArchiveRecordSize;
}

}  // namespace ArchiveMemory

using namespace ArchiveMemory;

namespace {

bool SameMonth(const QDate &a, const QDate &b) { return a.year() == b.year() && a.month() == b.month(); }
QDate FirstOfMonth(const QDate &d) { return QDate(d.year(), d.month(), 1); }
QDate LastOfMonth(const QDate &d) { return QDate(d.year(), d.month(), d.daysInMonth()); }

}  // namespace

QString DownloadName(uint8_t medium) {
    // A heat channel is read once per device as "Heat", not by its channel.
    if (medium == 'H')
        return QString();
    const TableFamily family = FamilyForMedium(char(medium));
    return family == TableFamily::None ? QString() : FamilyName(family);
}

QDate StartDateOf(const QString &text, int *hour) {
    const QString day = text.mid(7, 2), month = text.mid(10, 2), year = text.mid(13, 4);
    const QDate d = ParseDate(day + QLatin1Char('.') + month + QLatin1Char('.') + year);
    if (!d.isValid())
        throw DownloadError(QStringLiteral("'") + day + QLatin1Char('.') + month + QLatin1Char('.') + year +
                            QStringLiteral("' - неверная дата начала работы прибора"));
    if (hour) {
        bool ok = false;
        const int h = text.left(2).toInt(&ok);
        *hour = ok && h >= 0 && h <= 23 ? h : 0;
    }
    return d;
}

TArchiveDownload::TArchiveDownload(ArchiveContext &app, const QString &deviceNumber)
    : app_(app), deviceNumber_(deviceNumber), queries_(app.tables) {}

QDate TArchiveDownload::MeteringDayOfDevice() const {
    return deviceHour_ < contractHour_ ? deviceDate_.addDays(-1) : deviceDate_;
}

void TArchiveDownload::StartMoment() {
    pass_.startDate = StartDateOf(app_.device.startOfWork, &pass_.startHour);
    if (pass_.startDate > deviceDate_) {
        app_.prompts().ShowNotice(QStringLiteral("Ошибка в дате. Время начала работы:") + FormatDate(pass_.startDate) +
                                  QStringLiteral(", а текущее время прибора:") + FormatDate(deviceDate_) +
                                  QStringLiteral(". Архив будет скачан за последний месяц."));
        pass_.startDate = deviceDate_.addDays(-25);
    }
    const int depth = app_.settings.depth();
    if (pass_.startDate.daysTo(deviceDate_) > depth)
        pass_.startDate = deviceDate_.addDays(-depth);
}

void TArchiveDownload::SetUpProgress() {
    int hourly = 0, daily = 0;
    for (int ch = 1; ch <= 4; ++ch) {
        hourly += app_.settings.archiveKind(ch, 2) ? 1 : 0;
        daily += app_.settings.archiveKind(ch, 1) ? 1 : 0;
    }
    total_ = 5 + 60 * hourly + 8 * daily;
    remainingWork_ = total_ - 5;
    ShowProgress();
}

void TArchiveDownload::ShowProgress() {
    const double share = double(total_ - remainingWork_) * 100.0 / (double(total_) + 0.001);
    const int percent = int(std::nearbyint(share));
    app_.status().setProgress(percent);
    app_.status().setText(Role::StaticText1, QString::number(percent) + QStringLiteral(" %"));
}

void TArchiveDownload::ReadAllData(const QString &familyName, int channel) {
    app_.status().setText(Role::Label3, QStringLiteral("ReadAllData"));
    if (app_.abortState != AbortRunning)
        return;
    if (app_.link.linkOpen == 1)
        app_.link.linkOpen = 0;
    OpenLink(app_);

    pass_ = Pass();
    pass_.family = FamilyFromName(familyName);
    pass_.channel = channel;
    deviceDate_ = app_.device.devObj().deviceDate;
    deviceHour_ = app_.device.devObj().deviceHour;
    firmware_ = app_.device.devObj().FirmwareVersion();
    StartMoment();
    contractHour_ = uint8_t(app_.device.KindImage()[img::kContractHour]) % 24;
    if (channel == 1)
        SetUpProgress();

    if (app_.settings.archiveKind(channel, 2))
        HourlyPass();
    if (app_.settings.archiveKind(channel, 1))
        DailyPass();
    if (app_.settings.archiveKind(channel, 0))
        MonthlyPass();
    RequestGasTotal(app_, channel);
}

// Positions the hourly pass at the start moment when the month's first day is not after it.
void TArchiveDownload::PositionHourly(const QDate &firstDay) {
    pass_.recordDate = firstDay;
    pass_.hour = contractHour_;
    if (!(firstDay > pass_.startDate)) {
        const int slot = ((pass_.startHour - contractHour_) % 24 + 24) % 24;
        pass_.address = HourlyAddress(pass_.channel, pass_.startDate.day(), slot);
        pass_.recordDate = pass_.startDate;
        pass_.hour = pass_.startHour;
    }
}

// Metering days, 24 records each, until the day that begins `endMonth` at the contract hour or until
// the pass stops.
void TArchiveDownload::HourlyDayLoop(const QString &dayText, const QDate &endMonth) {
    do {
        do {
            ReadWriteArh();
            pass_.hour = (pass_.hour + 1) % 24;
            if (app_.abortState != AbortRunning)
                pass_.stop = true;
        } while (pass_.hour != contractHour_ && !pass_.stop);
        app_.status().setText(Role::StaticText2, dayText + FormatDate(pass_.recordDate));
        pass_.recordDate = pass_.recordDate.addDays(1);
    } while (!(SameMonth(pass_.recordDate, endMonth) && pass_.hour == contractHour_) && !pass_.stop);
}

void TArchiveDownload::BeginMonth(const QString &title, const QDate &month, int address) {
    app_.status().setText(Role::StaticText2, title);
    pass_.sector = DaySector(pass_.channel, month.month());
    pass_.address = address;
    pass_.remaining = 0;
    pass_.blockAddress = 0;
    pass_.stop = false;
}

void TArchiveDownload::HourlyPass() {
    pass_.kind = kHourly;
    const QString title = QStringLiteral("Часовые архивы канала ") + QString::number(pass_.channel);
    const QDate thisMonth = FirstOfMonth(deviceDate_);
    const QDate prevMonth = thisMonth.addMonths(-1);

    // Previous month.
    BeginMonth(title + QStringLiteral(" за предыдущий месяц"), prevMonth, ChannelBase(pass_.channel));
    PositionHourly(prevMonth);
    if (!SameMonth(pass_.startDate, deviceDate_) && app_.abortState == AbortRunning)
        HourlyDayLoop(title + QStringLiteral(" за предыдущий месяц. "), thisMonth);

    // Current month.
    BeginMonth(title + QStringLiteral(" за текущий месяц"), thisMonth, ChannelBase(pass_.channel));
    PositionHourly(thisMonth);
    // On the first of the month before the contract hour the month has no metering day yet.
    const bool noRecordsYet = deviceDate_.day() == 1 && deviceHour_ < contractHour_;
    if (!noRecordsYet && app_.abortState == AbortRunning)
        HourlyDayLoop(title + QStringLiteral(" за текущий месяц. "), thisMonth.addMonths(1));

    remainingWork_ -= 60;
    ShowProgress();
}

void TArchiveDownload::DailyPass() {
    pass_.kind = kDaily;
    pass_.hour = 0;
    const QString title = QStringLiteral("Суточные архивы канала ") + QString::number(pass_.channel);
    const QDate thisMonth = FirstOfMonth(deviceDate_);
    const QDate prevMonth = thisMonth.addMonths(-1);
    const int base = ChannelBase(pass_.channel) + kDailyOffset;
    // The last finished metering day: the running one is never read.
    const QDate lastDay = deviceDate_.addDays(deviceHour_ < contractHour_ ? -2 : -1);

    // Previous month.
    BeginMonth(title + QStringLiteral(" за предыдущий месяц"), prevMonth, base);
    PositionDaily(prevMonth);
    if (!SameMonth(pass_.startDate, deviceDate_) && app_.abortState == AbortRunning && !(pass_.recordDate > lastDay)) {
        do {
            ReadWriteArh();
            app_.status().setText(Role::StaticText2,
                                  title + QStringLiteral(" за предыдущий месяц. ") + FormatDate(pass_.recordDate));
            pass_.recordDate = pass_.recordDate.addDays(1);
            if (app_.abortState != AbortRunning)
                pass_.stop = true;
        } while (!SameMonth(pass_.recordDate, thisMonth) && !(pass_.recordDate > lastDay) && !pass_.stop);
    }

    // Current month, up to the last finished metering day.
    BeginMonth(title + QStringLiteral(" за текущий месяц"), thisMonth, base);
    PositionDaily(thisMonth);
    while (!(pass_.recordDate > lastDay) && app_.abortState == AbortRunning && !pass_.stop) {
        ReadWriteArh();
        app_.status().setText(Role::StaticText2,
                              title + QStringLiteral(" за текущий месяц. ") + FormatDate(pass_.recordDate));
        pass_.recordDate = pass_.recordDate.addDays(1);
    }

    remainingWork_ -= 8;
    ShowProgress();
}

// Positions the daily pass at the start date when the month's first day is not after it.
void TArchiveDownload::PositionDaily(const QDate &firstDay) {
    pass_.recordDate = firstDay;
    if (!(firstDay > pass_.startDate)) {
        pass_.address += (pass_.startDate.day() - 1) * kArchiveRecordSize;
        pass_.recordDate = pass_.startDate;
    }
}

// Each monthly record lies in the slot of its month number. Twelve slots hold the month of the
// running metering day (still accumulating, never stored) and the eleven before it, so the pass asks
// for the finished months from the start of work, but for no month older than those eleven.
void TArchiveDownload::MonthlyPass() {
    pass_.kind = kMonthly;
    pass_.hour = 0;
    pass_.stop = false;
    pass_.remaining = 0;
    pass_.blockAddress = 0;
    app_.status().setText(Role::StaticText2,
                          QStringLiteral("Месячные архивы канала ") + QString::number(pass_.channel));
    pass_.sector = kMonthlySector;
    QDate start = StartDateOf(app_.device.startOfWork);
    const QDate accumulating = MeteringDayOfDevice();  // its month is still being summed up
    const QDate oldestKept = FirstOfMonth(accumulating).addMonths(-(kMonthSlots - 1));
    if (start < oldestKept)
        start = oldestKept;
    pass_.recordDate = LastOfMonth(start);
    pass_.address = MonthlyAddress(pass_.channel, start.month());
    if (accumulating > pass_.recordDate && !SameMonth(accumulating, start) && app_.abortState == AbortRunning) {
        do {
            ReadWriteArh();
            pass_.recordDate = LastOfMonth(FirstOfMonth(pass_.recordDate).addMonths(1));
            if (app_.abortState != AbortRunning)
                pass_.stop = true;
        } while (!pass_.stop && !SameMonth(pass_.recordDate, accumulating));
    }
}

bool TArchiveDownload::FetchRecord(ArchiveRecordBytes &record) {
    if (pass_.remaining < 1 || pass_.blockAddress != pass_.address) {
        const int r = pass_.remaining;
        auto read = [&] {
            pass_.block = QByteArray(kMaxBlock, '\0');
            ReadFLASH(app_, pass_.block, pass_.sector, pass_.address, kBlockBytes);
        };
        auto zeros = [&] {
            const int at = (kRecordsUsedPerRead - r) * kArchiveRecordSize;
            for (int i = 1; i <= 8; ++i)
                if (pass_.block.at(at + i) != 0)
                    return false;
            return true;
        };
        read();
        if (zeros()) {
            app_.status().setText(Role::Edit1, QStringLiteral("1-й. Прочитались нулевые значения. Читаю повторно"));
            app_.pump();
            read();
            if (zeros()) {
                app_.status().setText(Role::Edit1, QStringLiteral("2-й. Прочитались нулевые значения. Читаю повторно"));
                read();
            }
        }
        pass_.remaining = kRecordsUsedPerRead;
        pass_.blockAddress = pass_.address;
    }
    const int at = (kRecordsUsedPerRead - pass_.remaining) * kArchiveRecordSize;
    for (int i = 0; i < kArchiveRecordSize; ++i)
        record[size_t(i)] = uint8_t(pass_.block.at(at + i));
    --pass_.remaining;
    pass_.blockAddress += kArchiveRecordSize;
    return true;
}

void TArchiveDownload::StoreRecord(ArchiveRecordBytes &record) {
    LinkStatus &st = app_.status();
    st.setText(Role::Label3, QStringLiteral("ReadWriteArh5"));
    if (pass_.family == TableFamily::GVSU)
        st.setText(Role::Label3, QStringLiteral("ReadWriteArh6"));
    if (pass_.family == TableFamily::Par)
        st.setText(Role::Label3, QStringLiteral("ReadWriteArh7"));
    if (!pass_.stop) {
        const DecodedRecord d =
            DecodeRecord(pass_.family, record, pass_.kind, pass_.recordDate, pass_.state, firmware_, &st);
        pass_.state = d.state;
        if (d.state != RecordNotStored) {
            ArchivePass ap;
            ap.deviceNumber = deviceNumber_;
            ap.channel = pass_.channel;
            ap.kind = pass_.kind;
            ap.recordDate = pass_.recordDate;
            ap.hour = pass_.hour;
            ap.stop = pass_.stop;
            ArchiveTableWriter(app_, queries_).WriteRecord(pass_.family, d.values, ap);
            pass_.stop = ap.stop;
        }
    }
    st.setText(Role::Label3, QStringLiteral("ReadWriteArh8"));
}

QString TArchiveDownload::Place() const {
    switch (pass_.kind) {
    case kMonthly: return QStringLiteral(". Месячный архив. Дата") + FormatDate(pass_.recordDate);
    case kDaily: return QStringLiteral(". Дневной архив. Дата") + FormatDate(pass_.recordDate);
    default:
        return QStringLiteral(". Часовой архив. Дата") + FormatDate(pass_.recordDate) + QStringLiteral(" Час:") +
               QString::number(pass_.hour);
    }
}

void TArchiveDownload::ReceptionError() {
    const QString where = QStringLiteral("Ошибка приема данных. Сектор:") + QString::number(pass_.sector) +
                          QStringLiteral(" Адрес:") + QString::number(pass_.address) + Place();
    app_.status().setText(Role::Label10, where);
    app_.prompts().ShowNotice(QStringLiteral("Ошибка14: ") + where, 10);
    app_.prompts().ShowNotice(QStringLiteral("Опрос прибора прерван. Попробуйте уменьшить глубину скачивания архивов"),
                              5);
    app_.abortState = AbortModem;
}

void TArchiveDownload::ReadWriteArh() {
    app_.status().setText(Role::Label3, QStringLiteral("ReadWriteArh1"));
    ShowExchangeDuration(app_);
    if (!CheckExchangeTime(app_))
        return;
    try {
        ArchiveRecordBytes record{};
        FetchRecord(record);
        pass_.state = ClassifyRecord(record, pass_.kind, &app_.status());

        app_.status().setText(Role::Label3, QStringLiteral("ReadWriteArh2"));
        if (pass_.kind == kHourly) {
            // The record still being filled ends the pass unstored. On the first of a month before
            // the contract hour it lies in the previous month's pass; the hours after it are not
            // written yet and must not be stored as hours without power.
            if (pass_.recordDate == MeteringDayOfDevice() && pass_.hour == deviceHour_)
                pass_.stop = true;
            pass_.address += kArchiveRecordSize;
        }
        app_.status().setText(Role::Label3, QStringLiteral("ReadWriteArh3"));
        if (pass_.kind == kDaily)
            pass_.address += kArchiveRecordSize;
        app_.status().setText(Role::Label3, QStringLiteral("ReadWriteArh4"));
        if (pass_.kind == kMonthly)
            pass_.address = MonthlyAddress(pass_.channel, pass_.recordDate.addMonths(1).month());
        StoreRecord(record);
    } catch (const TableError &e) {
        app_.status().addLine(Role::RichEdit1, e.text());
        ReceptionError();
    } catch (const std::exception &e) {
        app_.status().addLine(Role::RichEdit1, QString::fromUtf8(e.what()));
        ReceptionError();
    }
}

}  // namespace torv
