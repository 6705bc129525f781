#include "reports/ParamSections.h"

#include "archive/ArchiveContext.h"
#include "base/Formats.h"
#include "archive/ArchiveTables.h"
#include "archive/TQuery.h"
#include "archive/TableError.h"

namespace torv {

namespace {

// The byte 0xFF of the program's code page, as the parameter archive stores it in F_2BAIT.
const QString kFF = QString(QChar(0x044F));  // "я"

struct SemiConstant {
    char code;
    const char *label;
    const char *unit;
};
const SemiConstant kSemiConstants[] = {
    {'P', "  Pб       |", " мм рт.ст.           "}, {'R', "  R        |", " кГ/м3           "},
    {'C', "  CO2      |", " проц.           "},     {'N', "  N2       |", " проц.           "},
    {'T', "  Txв      |", " *C           "},
};

constexpr double kKgfToMPa = 0.0980665;
constexpr double kKelvin = 273.15;

}  // namespace

QString SensorKey(uint16_t word) {
    return QString(QChar(char16_t(uint8_t(word & 0xFF)))) + QString::number((word >> 8) & 0xFF);
}

QString TParamSections::TableText() const {
    return QStringLiteral("select * from ") + ParamArchiveTableName(app_.deviceNumber);
}

bool TParamSections::Select(TQuery &q, const QString &where) {
    q.setDatabaseName(DeviceDirectory(app_.settings.dataDir(), app_.deviceNumber));
    q.setSql(TableText() + where);
    q.open();
    return !q.isEmpty();
}

void TParamSections::BuildParameterSections(int kind, QStringList &textArea, int channel) {
    try {
        if (kind == kChannelBlock) {
            TotalVolumeLine(textArea, channel);
            CurrentContractValues(textArea, kind, channel);
        } else if (kind == kDeviceBlock) {
            SemiConstantTable(textArea);
        }
    } catch (const TableError &) {
        // A table that cannot be opened ends the block with what it holds so far.
    }
}

void TParamSections::TotalVolumeLine(QStringList &out, int channel) {
    if (channel < 1 || channel > 4)
        return;
    const float total = app_.device.gasTotals[channel - 1];
    if (!(total > 0.01f))
        return;
    const QDateTime at = app_.device.totalsDate;
    QString when = FormatDate(at.date());
    if (at.time() != QTime(0, 0))
        when += QLatin1Char(' ') + FormatTime(at.time());
    out << QStringLiteral(" Итоговый объем газа Vc(м3)=") + FormatFixed(total, 0) + QStringLiteral(" На ") + when;
}

void TParamSections::SemiConstantTable(QStringList &out) {
    out << QStringLiteral("    ") << QStringLiteral("Контрактные значения:")
        << QStringLiteral("  Параметр |Значение        |Дата последнего изменения")
        << QStringLiteral("  ----------------------------------------------------");
    TQuery q(app_.tables);
    for (const SemiConstant &p : kSemiConstants) {
        const QString where = QStringLiteral(" where F_1BAIT='P' and F_2BAIT='") + kFF + QStringLiteral("' and F_3='") +
                              QLatin1Char(p.code) + QStringLiteral("' ");
        if (Select(q, where)) {
            q.last();
            out << QString::fromUtf8(p.label) +
                       (q.fieldByName(QStringLiteral("F_5")).asString() + QString::fromUtf8(p.unit)).left(16) +
                       QLatin1Char('|') + q.fieldByName(QStringLiteral("F_4")).asString();
        }
        q.close();
    }
}

QString TParamSections::LoggedValue(const QString &key, const QString &fallback) {
    TQuery q(app_.tables);
    QString value = fallback;
    if (Select(q, QStringLiteral(" where F_3='") + QString(key).replace(QLatin1Char('\''), QStringLiteral("''")) +
                      QStringLiteral("' "))) {
        q.last();
        value = q.fieldByName(QStringLiteral("F_5")).asString();
    }
    q.close();
    return value;
}

QList<TParamSections::SensorEntry> TParamSections::ChannelEntries(int channel, char medium) {
    TDevObj &obj = app_.device.devObj();
    obj.SetChannel(channel);
    auto contract = [&](int slot, double scale, double offset, int decimals, bool asStored) -> QString {
        const auto d = obj.Descriptor(slot);
        if (!d)
            return QStringLiteral("не задано");
        const float c = d->Contract();
        if (std::signbit(c) || !IsFiniteFloat(c))
            return QStringLiteral("не задано");
        if (asStored)
            return GeneralNumber(c);
        return FormatFixed(c * scale + offset, decimals);
    };
    auto pressureName = [&](bool colon) {
        const auto d = obj.Descriptor(0);
        const bool gauge = d && d->Flag6() == 'I';
        QString n =
            gauge ? QStringLiteral("Датчик избыточного давления") : QStringLiteral("Датчик абсолютного давления");
        return colon ? n + QLatin1Char(':') : n;
    };
    QList<SensorEntry> e;
    const bool flowmeter = medium == 'B' || medium == 'P' || medium == 'Q' || medium == 'V';
    if (flowmeter) {
        e << SensorEntry{QStringLiteral("Датчик объемного расхода"), contract(2, 1, 0, 0, true),
                         QStringLiteral(" м3/ч"), SensorKey(obj.SensorWord(2))};
        e << SensorEntry{pressureName(false), contract(0, kKgfToMPa, 0, 5, false), QStringLiteral(" МПа"),
                         SensorKey(obj.SensorWord(0))};
        e << SensorEntry{QStringLiteral("Датчик температуры"), contract(1, 1, -kKelvin, 2, false),
                         QStringLiteral(" гр.C"), SensorKey(obj.SensorWord(1))};
    } else {
        e << SensorEntry{pressureName(true), contract(0, kKgfToMPa, 0, 5, false), QStringLiteral(" МПа"),
                         SensorKey(obj.SensorWord(0))};
        if (obj.HasTwoDpSensors()) {
            e << SensorEntry{QStringLiteral("Дифманометр ДД2 (малые перепады)"),
                             contract(2, kKgfToMPa * 1000, 0, 5, false), QStringLiteral(" кПа"),
                             SensorKey(obj.SensorWord(2))};
            const QString large = contract(3, kKgfToMPa, 0, 5, false);
            if (large != QStringLiteral("не задано"))
                e << SensorEntry{QStringLiteral("Дифманометр ДД1 (большие перепады)"), large, QStringLiteral(" МПа"),
                                 SensorKey(obj.SensorWord(3))};
        } else {
            e << SensorEntry{QStringLiteral("Дифманометр"), contract(2, kKgfToMPa, 0, 5, false), QStringLiteral(" МПа"),
                             SensorKey(obj.SensorWord(2))};
        }
        e << SensorEntry{QStringLiteral("Датчик температуры"), contract(1, 1, -kKelvin, 2, false),
                         QStringLiteral(" гр.C"), SensorKey(obj.SensorWord(1))};
    }
    for (SensorEntry &s : e)
        s.value = LoggedValue(s.key, s.value);
    return e;
}

void TParamSections::CurrentContractValues(QStringList &out, int kind, int onlyChannel) {
    out << QString() << QStringLiteral("Контрактные значения") << QStringLiteral("  Текущие значения");
    for (int n = 1; n <= 4; ++n) {
        if (kind == kChannelBlock && n != onlyChannel)
            continue;
        app_.device.devObj().SetChannel(n);
        const char medium = char(app_.device.devObj().Medium());
        const bool orifice = medium == 'A' || medium == 'D' || medium == 'S';
        const bool flowmeter = medium == 'B' || medium == 'P' || medium == 'Q' || medium == 'V';
        if (!orifice && !flowmeter)
            continue;  // heat and liquid channels have no sensor lines here
        QList<SensorEntry> entries;
        try {
            entries = ChannelEntries(n, medium);
        } catch (const TableError &) {
            app_.prompts().ShowNotice(flowmeter ? QStringLiteral("Ошибка 15 (dis1)")
                                                : QStringLiteral("Ошибка 16 (dis2)"));
        }
        for (const SensorEntry &s : entries)
            out << QStringLiteral("  ") + (s.name + QString(30, QLatin1Char(' '))).left(40) + s.value + s.unit;
        out << QString();
    }
}

}  // namespace torv
