#include "settingsreport/ReportHeader.h"

#include "device/torvunit.h"
#include "settingsreport/ReportFormats.h"
#include "settingsreport/ReportText.h"

#include <cmath>

namespace torv {

QString UsedText(bool used) { return used ? QStringLiteral("Используется") : QStringLiteral("Не используется"); }

QString SummerMonthName(uint8_t code) {
    switch (code) {
    case 0x02: return QStringLiteral("февраля");
    case 0x03: return QStringLiteral("марта");
    case 0x04: return QStringLiteral("апреля");
    default: return QString();
    }
}

QString WinterMonthName(uint8_t code) {
    switch (code) {
    case 0x09: return QStringLiteral("сентября");
    case 0x10: return QStringLiteral("октября");
    case 0x11: return QStringLiteral("ноября");
    default: return QString();
    }
}

void HeaderWriter::WriteIdentification(const QString &modelSuffix, bool shiftStart) {
    ReportText &out = ctx_.out;
    const QByteArray &image = model_.Image();
    DeviceStamp start = StampAt(image, img::kStartOfWork);
    if (shiftStart)
        start = ShiftedStartOfWork(start, model_.ByteAt(img::kContractHour));
    const QString startText = DeviceTimeStamp(start);
    ctx_.device.startOfWork = startText.left(20);

    out.Line();
    out.Line(QStringLiteral("Прибор:             ") + model_.ModelText() + modelSuffix);
    out.Line(QStringLiteral("Зав. N:             ") + model_.FactoryNumber());
    out.Line(QStringLiteral("Владелец программы: ") + model_.ProgramOwner());
    out.Line(QStringLiteral("Настройку произвел: ") + model_.ConfiguredBy());
    out.Line(QStringLiteral("Владелец:           ") + model_.OwnerText());
    out.Line(QStringLiteral("Объект:             ") + model_.ObjectText());
    out.Line(QStringLiteral("Версия программы:   ") + model_.FirmwareVersion());
    out.Line(QStringLiteral("Запись программы:   ") + DeviceTimeStamp(StampAt(image, img::kProgrammingDate)));
    out.Line(QStringLiteral("Начало работы:      ") + startText);
    out.Line();
}

void HeaderWriter::WriteDaylightSaving() {
    ReportText &out = ctx_.out;
    const bool enabled = model_.ByteAt(img::kDaylightSaving) == 'A';
    out.Line(QStringLiteral("Автоматический перевод"));
    out.Line(QStringLiteral("на зимнее/летнее время:      ") +
             (enabled ? QStringLiteral("Разрешен") : QStringLiteral("Не используется")));
    if (!enabled)
        return;
    out.Line(QStringLiteral("Переход на летнее время в 03 часа в последнее воскресенье ") +
             SummerMonthName(model_.ByteAt(img::kSummerMonth)));
    out.Line(QStringLiteral("Переход на зимнее время в 03 часа в последнее воскресенье ") +
             WinterMonthName(model_.ByteAt(img::kWinterMonth)));
    out.Line();
}

void HeaderWriter::WriteContractHour() {
    ctx_.out.Line(QStringLiteral("Контрактный час:             ") + QString::number(model_.ByteAt(img::kContractHour)));
}

void HeaderWriter::WriteAveraging(int offset) {
    QString value;
    switch (model_.ByteAt(offset)) {
    case 24: value = QStringLiteral("1 час"); break;
    case 240: value = QStringLiteral("0,1 часа"); break;
    default: break;
    }
    ctx_.out.Line(QStringLiteral("Время усреднения параметров: ") + value);
}

void HeaderWriter::WriteCompressibility() {
    ReportText &out = ctx_.out;
    const uint8_t method = model_.ByteAt(img::kCompressibilityMethod);
    QString text;
    switch (method) {
    case 'G':
    case 'N': text = QStringLiteral("По \"п.4 ГОСТ 30319.2-2015\""); break;
    case 'M': text = QStringLiteral("По \"MP 113-03\" (нефтяной газ)"); break;
    default: text = QStringLiteral("Не используется"); break;
    }
    out.Line(QStringLiteral("Коэффициент сжимаемости:     ") + text);
    if (method == 'G' || method == 'M' || method == 'N') {
        out.Line(QStringLiteral("Коэффициент сжимаемости при "));
        out.Line(QStringLiteral("невозможности расчета:       ") +
                 GeneralNumber(model_.FloatAtImage(img::kSubstituteCompressibility)));
    }
}

void HeaderWriter::WriteSummerWinter(int offset) {
    ctx_.out.Line(QStringLiteral("Выбор режима \"Зима/Лето\":    ") +
                  (model_.ByteAt(offset) == 'W' ? QStringLiteral("Установлен") : QStringLiteral("Не установлен")));
}

void HeaderWriter::WriteAlarmLamp() {
    ctx_.out.Line(QStringLiteral("Сигнализация НС (светодиод): ") + (model_.ByteAt(img::kAlarmLamp) == 'U'
                                                                         ? QStringLiteral("При всех НС кроме НУ")
                                                                         : QStringLiteral("При всех НС")));
}

void HeaderWriter::WritePressureCorrection(int offset) {
    ctx_.out.Line(QStringLiteral("Коррекция датчиков давления: ") + UsedText(model_.ByteAt(offset) == 'C'));
}

void HeaderWriter::WriteTemperatureCorrection() {
    ctx_.out.Line(QStringLiteral("Коррекция датч. температуры: ") +
                  UsedText(model_.ByteAt(img::kTemperatureCorrection) == 'C'));
}

void HeaderWriter::WriteAutoContract() {
    ctx_.out.Line(QStringLiteral("Автом. вкл. контрактных зн.: ") + UsedText(model_.ByteAt(img::kAutoContract) == 'A'));
}

QString HeaderWriter::ChannelCountSuffix() const {
    return model_.ByteAt(img::kChannelCount) == '4' ? QStringLiteral(" (4-х канальный)")
                                                    : QStringLiteral(" (2-х канальный)");
}

QString HeaderWriter::OutputCaptionByMedium() const {
    const int c = model_.ByteAt(img::kOutputChannel);
    switch (model_.MediumOf(c + 1)) {
    // 'P' is the propane channel of the gas device, metered as volume at standard conditions.
    case 'A':
    case 'B':
    case 'D':
    case 'V':
    case 'p':
    case 'P': return QStringLiteral("Qс, м3/ч");
    case 'Q':
    case 'S': return QStringLiteral("Qм, т/ч");
    default: return QString();
    }
}

void HeaderWriter::WriteOutputBlock(const QString &caption, bool parameterLine) {
    ReportText &out = ctx_.out;
    const int c = model_.ByteAt(img::kOutputChannel);
    const QString label = QStringLiteral("Выходной сигнал:   ");
    if (c > 3) {
        out.Line(label + QStringLiteral("          Не используется"));
        return;
    }
    const int blank = caption.indexOf(QLatin1Char(' '));
    const QString unit = blank < 0 ? QString() : caption.mid(blank + 1);
    const double k = model_.FloatAtImage(img::kOutputCoefficient);
    const bool frequency = k >= 0;
    const QString kindWord = frequency ? QStringLiteral("Частотный") : QStringLiteral("Токовый");
    const QString dimension =
        frequency ? QStringLiteral(" Гц/") + unit : QStringLiteral(" ") + unit + QStringLiteral("/мА");
    const QString indent(29, QLatin1Char(' '));

    out.Line(label + QStringLiteral("          ") + kindWord + QStringLiteral(", форм. для канала ") +
             QString::number(c + 1));
    if (parameterLine)
        out.Line(indent + QStringLiteral("Параметр: ") + caption);
    out.Line(indent + QStringLiteral("Кпр.= ") + FixedCoefficient(std::fabs(k)) + dimension);
    out.Line(indent + QStringLiteral("время удержания ") +
             QString::number(HoldSeconds(model_.U16AtImage(img::kOutputHoldTime))) + QStringLiteral(" с"));
}

}  // namespace torv
