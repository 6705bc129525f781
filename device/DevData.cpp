#include "device/DevData.h"

#include "link/Prompts.h"
#include "base/CodePage.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace torv {

// ---------------------------------------------------------------------------------------------
// Number forms

int BcdToInt(uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }

uint8_t IntToBcd(int v) {
    v = ((v % 100) + 100) % 100;
    return uint8_t(((v / 10) << 4) | (v % 10));
}

float FloatFromBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool IsFiniteFloat(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & 0x7F800000u) != 0x7F800000u;
}

float FiniteOrZero(float v) { return IsFiniteFloat(v) ? v : 0.0f; }

uint16_t U16At(const QByteArray &bytes, int offset) {
    if (offset < 0 || offset + 2 > bytes.size())
        return 0xFFFF;
    return uint16_t(uint8_t(bytes[offset]) | (uint8_t(bytes[offset + 1]) << 8));
}

float FloatAt(const QByteArray &bytes, int offset) {
    if (offset < 0 || offset + 4 > bytes.size())
        return FloatFromBits(0xFFFFFFFFu);
    uint32_t bits = uint32_t(uint8_t(bytes[offset])) | (uint32_t(uint8_t(bytes[offset + 1])) << 8) |
                    (uint32_t(uint8_t(bytes[offset + 2])) << 16) | (uint32_t(uint8_t(bytes[offset + 3])) << 24);
    return FloatFromBits(bits);
}

void PutU16(QByteArray &bytes, int offset, uint16_t v) {
    bytes[offset] = char(v & 0xFF);
    bytes[offset + 1] = char(v >> 8);
}

void PutFloat(QByteArray &bytes, int offset, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((bits >> (8 * i)) & 0xFF);
}

QString GeneralNumber(double v) {
    if (!std::isfinite(v))
        return QString();
    if (v == 0.0)
        return QStringLiteral("0");
    // Seven significant digits, rounded once; the decimal exponent after rounding decides the form.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6e", v);
    const char *p = buf;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    QByteArray digits;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits.append(*p);
    int exponent = (*p == 'e') ? std::atoi(p + 1) : 0;
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);

    QByteArray out;
    if (negative)
        out.append('-');
    if (exponent >= 7 || exponent < -5) {
        out.append(digits[0]);
        if (digits.size() > 1) {
            out.append('.');
            out.append(digits.mid(1));
        }
        out.append('E');
        out.append(exponent < 0 ? '-' : '+');
        QByteArray e = QByteArray::number(std::abs(exponent));
        while (e.size() < 3)
            e.prepend('0');
        out.append(e);
    } else if (exponent >= 0) {
        QByteArray whole = digits.left(exponent + 1);
        while (whole.size() < exponent + 1)
            whole.append('0');
        out.append(whole);
        QByteArray fraction = digits.mid(exponent + 1);
        if (!fraction.isEmpty()) {
            out.append('.');
            out.append(fraction);
        }
    } else {
        out.append("0.");
        out.append(QByteArray(-exponent - 1, '0'));
        out.append(digits);
    }
    return QString::fromLatin1(out);
}

// ---------------------------------------------------------------------------------------------
// Text fields

QByteArray TextFieldBytes(const QByteArray &image, int offset, int capacity) {
    if (offset < 0 || offset + 1 + capacity > image.size())
        return QByteArray();
    int len = uint8_t(image[offset]);
    if (len > capacity)
        return QByteArray();
    return image.mid(offset + 1, len);
}

QString TextField(const QByteArray &image, int offset, int capacity) {
    return FromCp866(TextFieldBytes(image, offset, capacity));
}

void PutTextField(QByteArray &image, int offset, int capacity, const QByteArray &cp866) {
    QByteArray text = cp866.left(capacity);
    image[offset] = char(text.size());
    for (int i = 0; i < text.size(); ++i)
        image[offset + 1 + i] = text[i];
}

// ---------------------------------------------------------------------------------------------
// Range error

ChannelRangeError::ChannelRangeError(int channel)
    : std::out_of_range("channel number out of range"), channel_(channel) {}

QString ChannelRangeError::text() const { return QStringLiteral("Номер канала %1 не допускается").arg(channel_); }

// ---------------------------------------------------------------------------------------------
// Layout tables

namespace {

constexpr int8_t N = -1;
using Row = std::array<std::array<int8_t, 4>, GroupCount>;
constexpr std::array<int8_t, 4> kNone{N, N, N, N};

constexpr Row MakeRow(std::array<int8_t, 4> ij, std::array<int8_t, 4> fp, std::array<int8_t, 4> thermo,
                      std::array<int8_t, 4> d) {
    return Row{ij, fp, kNone, thermo, d};
}
constexpr Row kEmptyRow = MakeRow(kNone, kNone, kNone, kNone);

// G1 (also P1): gas, air, steam and propane flowmeters.
constexpr LayoutTable kG1{
    MakeRow({1, 5, 9, 13}, kNone, kNone, kNone),
    MakeRow({N, N, 8, 12}, {1, 0, 5, 4}, {0, 4, N, N}, kNone),
    MakeRow({2, 3, 10, 11}, {2, 3, 6, 7}, kNone, kNone),
    MakeRow(kNone, {0, 1, 4, 5}, kNone, {0, 0, 0, 0}),
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
};
// G2: orifice media.
constexpr LayoutTable kG2{
    MakeRow({1, 5, 9, 13}, kNone, kNone, kNone),
    MakeRow({N, N, 8, 12}, {1, 0, 5, 4}, {0, 4, N, N}, kNone),
    MakeRow({2, 6, 10, 14}, kNone, kNone, kNone),
    MakeRow({3, 7, 11, 15}, kNone, kNone, {1, 1, 1, 1}),
    MakeRow(kNone, {2, 3, 6, 7}, kNone, {0, 0, 0, 0}),
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
};
// G3 (also S3): heat channel of the multi-medium and steam devices.
constexpr LayoutTable kG3{
    MakeRow({2, 3, 10, 11}, kNone, kNone, kNone),
    MakeRow({4, 5, 12, 13}, kNone, kNone, kNone),
    MakeRow({6, 7, 14, 15}, {2, 3, 6, 7}, kNone, kNone),
    MakeRow({0, 1, 8, 9}, {0, 1, 4, 5}, kNone, {2, 2, 2, 2}),
    MakeRow(kNone, kNone, kNone, {3, 4, 5, 6}),
    MakeRow(kNone, kNone, kNone, {7, 8, 9, 10}),
    kEmptyRow,
    kEmptyRow,
};
// G4 (also S4): cold water.
constexpr LayoutTable kG4{
    MakeRow({2, 3, 10, 11}, {2, 3, 6, 7}, kNone, kNone),
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
};
// H1: the heat channel of the heat device (supply words 0…3, return words 4…7).
constexpr LayoutTable kH1{
    MakeRow({1, N, N, N}, kNone, kNone, kNone), MakeRow(kNone, kNone, {0, N, N, N}, kNone),
    MakeRow({2, N, N, N}, kNone, kNone, kNone), MakeRow({3, N, N, N}, kNone, kNone, kNone),
    MakeRow({5, N, N, N}, kNone, kNone, kNone), MakeRow(kNone, kNone, {4, N, N, N}, kNone),
    MakeRow({6, N, N, N}, kNone, kNone, kNone), MakeRow({7, N, N, N}, kNone, kNone, kNone),
};
// H2: outdoor temperature channel of the heat device.
constexpr LayoutTable kH2{
    MakeRow({N, 8, N, N}, kNone, kNone, kNone),
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
};
// L1: liquid (word 0 flow, 1 pressure, 2 temperature).
constexpr LayoutTable kL1{
    MakeRow({2, 3, 10, 11}, {2, 3, 6, 7}, kNone, kNone),
    MakeRow({1, 5, 9, 13}, kNone, kNone, kNone),
    MakeRow({N, N, 8, 12}, {1, 0, 5, 4}, {0, 4, N, N}, kNone),
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
    kEmptyRow,
};

constexpr LayoutTable WithColdWater(LayoutTable t) {
    t[5][GroupThermo] = {4, 4, 4, 4};
    return t;
}
// S1, S2: steam device flowmeter and orifice layouts; word 5 is the cold-water thermometer.
constexpr LayoutTable kS1 = WithColdWater(kG1);
constexpr LayoutTable kS2 = WithColdWater(kG2);
// S5: the steam device's '2' layout.
constexpr LayoutTable kS5{
    MakeRow({3, N, N, N}, kNone, kNone, kNone),
    MakeRow({2, N, N, N}, kNone, kNone, kNone),
    MakeRow({1, N, N, N}, kNone, kNone, kNone),
    MakeRow(kNone, kNone, {4, N, N, N}, kNone),
    MakeRow(kNone, kNone, {0, N, N, N}, kNone),
    MakeRow(kNone, {2, N, N, N}, kNone, kNone),
    kEmptyRow,
    kEmptyRow,
};

}  // namespace

const LayoutTable *LayoutFor(LayoutClass cls, uint8_t medium) {
    switch (cls) {
    case LayoutClass::Gas:
        switch (medium) {
        case 'B':
        case 'P':
        case 'Q':
        case 'V': return &kG1;
        case 'A':
        case 'D':
        case 'S': return &kG2;
        case 'H': return &kG3;
        case 'W': return &kG4;
        default: return nullptr;
        }
    case LayoutClass::Heat:
        switch (medium) {
        case 'H': return &kH1;
        case 'T': return &kH2;
        default: return nullptr;
        }
    case LayoutClass::Fluid: return &kL1;
    case LayoutClass::Steam:
        switch (medium) {
        case 'B':
        case 'Q':
        case 'V': return &kS1;
        case 'A':
        case 'D':
        case 'S': return &kS2;
        case 'H': return &kG3;
        case 'W': return &kG4;
        case '2': return &kS5;
        default: return nullptr;
        }
    case LayoutClass::C3H8: return medium == 'P' ? &kG1 : nullptr;
    }
    return nullptr;
}

int LayoutGroupOf(uint8_t c) {
    switch (c) {
    case 'I':
    case 'J': return GroupIJ;
    case 'F':
    case 'P': return GroupFP;
    case 'A':
    case 'B': return GroupAB;
    case '1':
    case '2':
    case '3':
    case '4': return GroupThermo;
    case 'D': return GroupD;
    default: return -1;
    }
}

int DescriptorAddress(uint8_t c, int d) {
    switch (LayoutGroupOf(c)) {
    case GroupIJ:
    case GroupThermo: return img::kThermoCurrentArea + img::kDescriptorSize * d;
    case GroupFP: return img::kFreqPulseArea + img::kDescriptorSize * d;
    case GroupAB: return img::kCurrentABArea + img::kDescriptorSize * d;
    case GroupD: return img::kDiscreteArea + img::kDescriptorSize * (d / 7);
    default: return -1;
    }
}

// ---------------------------------------------------------------------------------------------
// Fresh image

QByteArray FreshChannelImage() {
    QByteArray image(img::kSize, char(0xFF));
    for (int i = img::kDiscreteArea; i <= img::kDiscreteAreaEnd; ++i)
        image[i] = 0;
    image[img::kDiscreteArea] = 'D';
    const QByteArray noData = ToCp866(QStringLiteral("Нет данных"));
    PutTextField(image, img::kModelText, img::kModelCapacity, noData);
    PutTextField(image, img::kFactoryNumber, img::kFactoryNumberCapacity, noData);
    return image;
}

// ---------------------------------------------------------------------------------------------
// TDevObjBase

TDevObjBase::TDevObjBase(LayoutClass cls, int programOwnerOffset)
    : class_(cls), programOwnerOffset_(programOwnerOffset), image_(FreshChannelImage()) {}

void TDevObjBase::SelectChannel(int n) {
    if (n < 1 || n > 4)
        throw ChannelRangeError(n);
    channel_ = n;
}

void TDevObjBase::SetImage(const QByteArray &image) {
    const int n = int(std::min<qsizetype>(image.size(), img::kSize));
    for (int i = 0; i < n; ++i)
        image_[i] = image[i];
}

uint8_t TDevObjBase::MediumOf(int n) const {
    if (n < 1 || n > 4)
        return kNoMedium;
    return uint8_t(image_[img::kChannelRecords + img::kChannelRecordSize * (n - 1)]);
}

QByteArray TDevObjBase::ChannelRecord() const {
    if (channel_ < 1 || channel_ > 4)
        return QByteArray(img::kChannelRecordSize, char(0xFF));
    return image_.mid(img::kChannelRecords + img::kChannelRecordSize * (channel_ - 1), img::kChannelRecordSize);
}

uint8_t TDevObjBase::ChannelByte(int offset) const {
    if (channel_ < 1 || channel_ > 4 || offset < 0 || offset >= img::kChannelRecordSize)
        return 0xFF;
    return uint8_t(image_[img::kChannelRecords + img::kChannelRecordSize * (channel_ - 1) + offset]);
}

float TDevObjBase::ChannelFloat(int offset) const {
    if (channel_ < 1 || channel_ > 4 || offset < 0 || offset + 4 > img::kChannelRecordSize)
        return FloatFromBits(0xFFFFFFFFu);
    return FloatAt(image_, img::kChannelRecords + img::kChannelRecordSize * (channel_ - 1) + offset);
}

uint16_t TDevObjBase::SensorWord(int k) const {
    if (channel_ < 1 || channel_ > 4 || k < 0 || k > 30)
        return 0xFFFF;
    return U16At(image_, img::kChannelRecords + img::kChannelRecordSize * (channel_ - 1) + chrec::kSlotWords + 2 * k);
}

std::optional<SensorDescriptor> TDevObjBase::Descriptor(int k) const {
    const uint16_t w = SensorWord(k);
    const uint8_t letter = uint8_t(w & 0xFF);
    const LayoutTable *table = LayoutFor(class_, Medium());
    const int group = LayoutGroupOf(letter);
    if (!table || group < 0 || k < 0 || k >= kLayoutWords || channel_ < 1 || channel_ > 4)
        return std::nullopt;
    const int index = (*table)[k][group][channel_ - 1];
    if (index < 0 || index != (w >> 8))
        return std::nullopt;
    const int address = DescriptorAddress(letter, index);
    if (address < 0 || address + img::kDescriptorSize > img::kSize)
        return std::nullopt;
    return SensorDescriptor(image_.mid(address, img::kDescriptorSize), address);
}

int TDevObjBase::ApproximationTableIndex(uint16_t word) const {
    for (int i = 0; i < kApproximationTables; ++i)
        if (approximation[i].key == word)
            return i;
    for (int i = 0; i < kApproximationTables; ++i)
        if ((approximation[i].key & 0xFF) == 0)
            return i;
    return -1;
}

ApproximationTable *TDevObjBase::ApproximationTableFor(int k) {
    const int i = ApproximationTableIndex(SensorWord(k));
    return i < 0 ? nullptr : &approximation[i];
}

bool TDevObjBase::HasTwoDpSensors() const {
    const uint8_t c = ChannelByte(7);
    return c != 'D' && c != 0xFF;
}

bool TDevObjBase::NoChannels() const {
    for (int n = 1; n <= 4; ++n)
        if (MediumOf(n) != kNoMedium)
            return false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// TDevObj

TDevObj::TDevObj(Prompts *prompts) : TDevObjBase(LayoutClass::Gas, img::kProgramOwnerGas), prompts_(prompts) {}

void TDevObj::SetChannel(int n) {
    try {
        SelectChannel(n);
    } catch (const ChannelRangeError &e) {
        if (prompts_)
            prompts_->ShowNotice(QStringLiteral("Ошибка 10: Номер канала") + QString::number(e.channel()) +
                                 QStringLiteral("не допускается"));
    }
}

QString TDevObj::FlowCaption(int n) const {
    switch (MediumOf(n)) {
    case 'A':
    case 'B':
    case 'D':
    case 'P':
    case 'V': return QStringLiteral("Qс, м3/ч");
    case 'Q':
    case 'S': return QStringLiteral("Qм, т/ч");
    default: return QString();
    }
}

QString TDevObj::VolumeUnitText() const {
    bool hasV = false, hasP = false;
    for (int n = 1; n <= 4; ++n) {
        hasV = hasV || MediumOf(n) == 'V';
        hasP = hasP || MediumOf(n) == 'P';
    }
    QString text = QStringLiteral("м3");
    const uint8_t unit = ByteAt(img::kVolumeUnit);
    if (hasV) {
        if (unit == 'L')
            text = QStringLiteral("л");
        else if (unit == 'M')
            text = QStringLiteral("м3");
    }
    if (hasP) {
        if (unit == 'L')
            text = QStringLiteral("л?");
        else if (unit == 'M')
            text = QStringLiteral("м3");
    }
    return text;
}

QString TDevObj::MassUnitText() const {
    bool hasP = false;
    for (int n = 1; n <= 4; ++n)
        hasP = hasP || MediumOf(n) == 'P';
    QString text = QStringLiteral("м3");
    const uint8_t unit = ByteAt(img::kMassUnit);
    switch (unit) {
    case 'G': text = QStringLiteral("г"); break;
    case 'K': text = QStringLiteral("кг"); break;
    case 'L': text = QStringLiteral("л"); break;
    case 'M': text = QStringLiteral("м3"); break;
    default: break;
    }
    if (hasP) {
        if (unit == 'K')
            text = QStringLiteral("т");
        else if (unit == 'L')
            text = QStringLiteral("л?");
        else if (unit == 'M')
            text = QStringLiteral("м3");
    }
    return text;
}

QString TDevObj::SensorUnitText(uint16_t word, const QString &unchanged) {
    switch (word & 0xFF) {
    case '1':
    case '2':
    case '3':
    case '4': return QStringLiteral("[Ом]");
    case 'A':
    case 'B':
    case 'I':
    case 'J': return QStringLiteral("[мА]");
    case 'F': return QStringLiteral("[Гц]");
    case 'P': return QStringLiteral("[ c]");
    default: return unchanged;
    }
}

bool TDevObj::SetClockFromRegisters(const QByteArray &r) {
    if (r.size() < 10)
        return false;
    const int hour = BcdToInt(uint8_t(r[4]));
    const int day = BcdToInt(uint8_t(r[7]));
    const int month = BcdToInt(uint8_t(r[8]));
    const int year = 2000 + BcdToInt(uint8_t(r[9]));
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23)  // a clock that reads 25 o'clock is no clock either
        return false;
    deviceDate = date;
    deviceHour = hour;
    return true;
}

}  // namespace torv
