#include "archive/TableRow.h"

#include "archive/TableError.h"
#include "base/CodePage.h"

#include <cmath>

namespace torv {

namespace {

QByteArray RightTrimmed(QByteArray b) {
    int n = b.size();
    while (n > 0 && (b[n - 1] == ' ' || b[n - 1] == '\0'))
        --n;
    b.truncate(n);
    return b;
}

bool IsBlank(const QByteArray &b) {
    for (char c : b)
        if (c != ' ' && c != '\0')
            return false;
    return true;
}

QString Quoted(const QString &text) { return QStringLiteral("«%1»").arg(text); }

std::optional<double> ParseNumber(const QString &text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<bool> ParseLogical(const QString &text) {
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("T") || t == QLatin1String("Y") || t == QLatin1String("1") || t == QLatin1String("TRUE"))
        return true;
    if (t == QLatin1String("F") || t == QLatin1String("N") || t == QLatin1String("0") || t == QLatin1String("FALSE"))
        return false;
    return std::nullopt;
}

QString FormatStoredDate(const QByteArray &bytes) {
    const auto jd = StoredDate(bytes);
    if (!jd)
        return {};
    return QDate::fromJulianDay(*jd).toString(QStringLiteral("dd.MM.yyyy"));
}

// A bound operand: a column, or a literal already converted to the column it is compared with.
struct Typed {
    enum Kind { Null, Text, Number, Date, Bool };
    int field = -1;
    Kind kind = Null;
    QByteArray text;
    double number = 0;
    qint64 date = 0;
    bool boolean = false;
};

Typed::Kind KindOf(char type) {
    switch (type) {
    case 'N':
    case 'F': return Typed::Number;
    case 'D': return Typed::Date;
    case 'L': return Typed::Bool;
    default: return Typed::Text;
    }
}

Typed ConvertLiteral(const QString &text, const DbfField *column) {
    Typed t;
    const Typed::Kind kind = column ? KindOf(column->type) : Typed::Text;
    switch (kind) {
    case Typed::Text:
        t.kind = Typed::Text;
        // The literal keeps its full length: a text longer than the column never equals what the
        // column can hold (a key 'I10' must not find the stored 'I1'), and it orders as itself.
        t.text = RightTrimmed(ToCp1251(text));
        break;
    case Typed::Number:
        if (text.trimmed().isEmpty())
            break;
        if (auto v = ParseNumber(text)) {
            t.kind = Typed::Number;
            t.number = *v;
        } else {
            throw TableError(
                QStringLiteral("Значение %1 не является числом (столбец %2)").arg(Quoted(text), column->name));
        }
        break;
    case Typed::Date:
        if (auto d = LiteralDate(text, column->name)) {
            t.kind = Typed::Date;
            t.date = *d;
        }
        break;
    case Typed::Bool:
        if (text.trimmed().isEmpty())
            break;
        if (auto b = ParseLogical(text)) {
            t.kind = Typed::Bool;
            t.boolean = *b;
        } else {
            throw TableError(
                QStringLiteral("Значение %1 не является логическим (столбец %2)").arg(Quoted(text), column->name));
        }
        break;
    case Typed::Null: break;
    }
    return t;
}

Typed ReadColumn(const DbfLayout &layout, int index, const QByteArray &record) {
    const DbfField &f = layout.fields[index];
    const QByteArray bytes = FieldBytes(f, record);
    Typed t;
    switch (KindOf(f.type)) {
    case Typed::Text:
        t.kind = Typed::Text;
        t.text = RightTrimmed(bytes);
        break;
    case Typed::Number:
        if (auto v = StoredNumber(bytes)) {
            t.kind = Typed::Number;
            t.number = *v;
        }
        break;
    case Typed::Date:
        if (auto d = StoredDate(bytes)) {
            t.kind = Typed::Date;
            t.date = *d;
        }
        break;
    case Typed::Bool:
        if (auto b = ParseLogical(QString::fromLatin1(bytes))) {
            t.kind = Typed::Bool;
            t.boolean = *b;
        }
        break;
    case Typed::Null: break;
    }
    return t;
}

// -1, 0, 1; nullopt when either side is null (no comparison holds then).
std::optional<int> Order(const Typed &x, const Typed &y) {
    if (x.kind == Typed::Null || y.kind == Typed::Null)
        return std::nullopt;
    auto sign = [](auto a, auto b) { return a < b ? -1 : (b < a ? 1 : 0); };
    if (x.kind == y.kind) {
        switch (x.kind) {
        case Typed::Text: return sign(x.text, y.text);
        case Typed::Number: return sign(x.number, y.number);
        case Typed::Date: return sign(x.date, y.date);
        case Typed::Bool: return sign(int(x.boolean), int(y.boolean));
        case Typed::Null: break;
        }
    }
    // Columns of different types: compared as numbers when both are, else not at all.
    return std::nullopt;
}

bool Holds(sql::CompareOp op, int order) {
    switch (op) {
    case sql::CompareOp::Eq: return order == 0;
    case sql::CompareOp::Ne: return order != 0;
    case sql::CompareOp::Lt: return order < 0;
    case sql::CompareOp::Le: return order <= 0;
    case sql::CompareOp::Gt: return order > 0;
    case sql::CompareOp::Ge: return order >= 0;
    }
    return false;
}

}  // namespace

struct RowCondition::Node {
    sql::Condition::Kind kind = sql::Condition::Compare;
    sql::CompareOp op = sql::CompareOp::Eq;
    Typed left, right;
    std::shared_ptr<const Node> a, b;
};

namespace {

std::shared_ptr<const RowCondition::Node> Bind(const DbfLayout &layout, const sql::ConditionPtr &c) {
    auto node = std::make_shared<RowCondition::Node>();
    node->kind = c->kind;
    if (c->kind != sql::Condition::Compare) {
        node->a = Bind(layout, c->a);
        node->b = Bind(layout, c->b);
        return node;
    }
    node->op = c->op;
    auto columnIndex = [&](const sql::Operand &o) {
        const int i = layout.fieldIndex(o.text);
        if (i < 0)
            throw TableError(QStringLiteral("Неизвестный столбец %1").arg(o.text));
        return i;
    };
    const bool leftColumn = c->left.kind == sql::Operand::Column;
    const bool rightColumn = c->right.kind == sql::Operand::Column;
    const int li = leftColumn ? columnIndex(c->left) : -1;
    const int ri = rightColumn ? columnIndex(c->right) : -1;
    if (leftColumn)
        node->left.field = li;
    else
        node->left = ConvertLiteral(c->left.text, ri >= 0 ? &layout.fields[ri] : nullptr);
    if (rightColumn)
        node->right.field = ri;
    else
        node->right = ConvertLiteral(c->right.text, li >= 0 ? &layout.fields[li] : nullptr);
    return node;
}

bool Evaluate(const RowCondition::Node &n, const DbfLayout &layout, const QByteArray &record) {
    switch (n.kind) {
    case sql::Condition::And: return Evaluate(*n.a, layout, record) && Evaluate(*n.b, layout, record);
    case sql::Condition::Or: return Evaluate(*n.a, layout, record) || Evaluate(*n.b, layout, record);
    case sql::Condition::Compare: break;
    }
    const Typed l = n.left.field >= 0 ? ReadColumn(layout, n.left.field, record) : n.left;
    const Typed r = n.right.field >= 0 ? ReadColumn(layout, n.right.field, record) : n.right;
    const auto order = Order(l, r);
    return order && Holds(n.op, *order);
}

void Conjuncts(const std::shared_ptr<const RowCondition::Node> &n, std::vector<const RowCondition::Node *> &out) {
    if (n->kind == sql::Condition::And) {
        Conjuncts(n->a, out);
        Conjuncts(n->b, out);
    } else {
        out.push_back(n.get());
    }
}

// The column of a "column = literal" comparison, or -1.
int EqualityColumn(const RowCondition::Node &n, const Typed **literal) {
    if (n.kind != sql::Condition::Compare || n.op != sql::CompareOp::Eq)
        return -1;
    if (n.left.field >= 0 && n.right.field < 0) {
        *literal = &n.right;
        return n.left.field;
    }
    if (n.right.field >= 0 && n.left.field < 0) {
        *literal = &n.left;
        return n.right.field;
    }
    return -1;
}

}  // namespace

QByteArray FieldBytes(const DbfField &field, const QByteArray &record) { return record.mid(field.offset, field.width); }

FieldValue FieldOf(const DbfLayout &layout, int index, const QByteArray &record) {
    return FieldValue(layout.fields[index], FieldBytes(layout.fields[index], record));
}

std::optional<qint64> StoredDate(const QByteArray &bytes) {
    const QByteArray t = bytes.trimmed();
    if (t.size() != 8)
        return std::nullopt;
    for (char c : t)
        if (c < '0' || c > '9')
            return std::nullopt;
    const QDate d(t.left(4).toInt(), t.mid(4, 2).toInt(), t.mid(6, 2).toInt());
    if (!d.isValid())
        return std::nullopt;
    return d.toJulianDay();
}

std::optional<double> StoredNumber(const QByteArray &bytes) {
    const QByteArray t = bytes.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

namespace {

// A number as dBASE readers take it: blanks around an optional sign, digits with at most one
// decimal point (at least one digit in all) and an optional exponent.
bool IsNumberText(const QByteArray &bytes) {
    int i = 0, n = int(bytes.size());
    while (i < n && bytes[i] == ' ')
        ++i;
    while (n > i && bytes[n - 1] == ' ')
        --n;
    if (i < n && (bytes[i] == '-' || bytes[i] == '+'))
        ++i;
    int digits = 0;
    bool point = false;
    for (; i < n; ++i) {
        const char c = bytes[i];
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.' && !point)
            point = true;
        else
            break;
    }
    if (digits == 0)
        return false;
    if (i < n && (bytes[i] == 'e' || bytes[i] == 'E')) {
        ++i;
        if (i < n && (bytes[i] == '-' || bytes[i] == '+'))
            ++i;
        const int from = i;
        while (i < n && bytes[i] >= '0' && bytes[i] <= '9')
            ++i;
        if (i == from)
            return false;
    }
    return i == n;
}

QString ShownBytes(const QByteArray &bytes) {
    QString out;
    for (char c : bytes) {
        const uint8_t u = uint8_t(c);
        out += u >= 0x20 && u < 0x7F ? QString(QLatin1Char(c))
                                     : QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
    }
    return Quoted(out);
}

}  // namespace

QString RecordDamage(const DbfLayout &layout, const QByteArray &record) {
    if (record.isEmpty() || record.size() < layout.recordLength)
        return QStringLiteral("запись неполная");
    const char flag = record[0];
    if (flag == DbfFile::kDeleted)
        return {};
    if (flag != DbfFile::kLive)
        return QStringLiteral("признак удаления 0x%1").arg(uint(uint8_t(flag)), 2, 16, QLatin1Char('0'));
    for (const DbfField &f : layout.fields) {
        const QByteArray bytes = FieldBytes(f, record);
        if (IsBlank(bytes))
            continue;
        bool sound = true;
        switch (f.type) {
        case 'N':
        case 'F': sound = IsNumberText(bytes) && StoredNumber(bytes).has_value(); break;
        case 'D': sound = bytes == QByteArray(f.width, '0') || StoredDate(bytes).has_value(); break;
        case 'L': sound = f.width == 1 && QByteArray("TtFfYyNn?").contains(bytes[0]); break;
        default: break;
        }
        if (!sound)
            return QStringLiteral("столбец %1: %2").arg(f.name, ShownBytes(bytes));
    }
    return {};
}

std::optional<qint64> LiteralDate(const QString &text, const QString &column) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    QDate d = QDate::fromString(t, QStringLiteral("dd.MM.yyyy"));
    if (!d.isValid())
        d = QDate::fromString(t, QStringLiteral("d.M.yyyy"));
    if (!d.isValid() || d.year() < 1 || d.year() > 9999)
        throw TableError(QStringLiteral("Неверная дата %1 (столбец %2)").arg(Quoted(text), column));
    return d.toJulianDay();
}

QByteArray EncodeField(const DbfField &field, const sql::Operand &value) {
    const QString &text = value.text;
    QByteArray out;
    switch (field.type) {
    case 'C': {
        out = ToCp1251(text);
        if (FromCp1251(out) != text)
            throw TableError(QStringLiteral("Текст %1 содержит знаки вне кодировки Windows-1251 (столбец %2)")
                                 .arg(Quoted(text), field.name));
        out.truncate(field.width);
        return out.leftJustified(field.width, ' ');
    }
    case 'N':
    case 'F': {
        if (text.trimmed().isEmpty())
            return QByteArray(field.width, ' ');
        const auto v = ParseNumber(text);
        if (!v)
            throw TableError(
                QStringLiteral("Значение %1 не является числом (столбец %2)").arg(Quoted(text), field.name));
        QString f = QString::number(*v, 'f', field.decimals);
        if (f.startsWith(QLatin1Char('-')) && f.count(QLatin1Char('0')) + f.count(QLatin1Char('.')) == f.size() - 1)
            f.remove(0, 1);  // no "-0.00000"
        if (f.size() > field.width)
            throw TableError(QStringLiteral("Значение %1 не помещается в столбец %2 (ширина %3)")
                                 .arg(Quoted(text), field.name)
                                 .arg(field.width));
        return f.toLatin1().rightJustified(field.width, ' ');
    }
    case 'D': {
        const auto jd = LiteralDate(text, field.name);
        if (!jd)
            return QByteArray(field.width, ' ');
        return QDate::fromJulianDay(*jd).toString(QStringLiteral("yyyyMMdd")).toLatin1();
    }
    case 'L': {
        if (text.trimmed().isEmpty())
            return QByteArray(1, ' ');
        const auto b = ParseLogical(text);
        if (!b)
            throw TableError(
                QStringLiteral("Значение %1 не является логическим (столбец %2)").arg(Quoted(text), field.name));
        return QByteArray(1, *b ? 'T' : 'F');
    }
    default: break;
    }
    throw TableError(QStringLiteral("Столбец %1 не принимает значений").arg(field.name));
}

bool FieldValue::isNull() const {
    if (!field_)
        return true;
    return field_->type != 'C' && IsBlank(bytes_);
}

QString FieldValue::asString() const {
    if (!field_)
        return {};
    switch (field_->type) {
    case 'C': return FromCp1251(RightTrimmed(bytes_));
    case 'D': return FormatStoredDate(bytes_);
    default: return QString::fromLatin1(bytes_.trimmed());
    }
}

double FieldValue::asFloat() const {
    if (!field_)
        return 0;
    if (field_->type == 'C')
        return ParseNumber(asString()).value_or(0);
    return StoredNumber(bytes_).value_or(0);
}

int FieldValue::asInteger() const {
    const double v = asFloat();
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return int(std::lround(v));
}

QDate FieldValue::asDate() const {
    if (!field_)
        return {};
    if (field_->type == 'D') {
        const auto jd = StoredDate(bytes_);
        return jd ? QDate::fromJulianDay(*jd) : QDate();
    }
    return QDate::fromString(asString().trimmed(), QStringLiteral("dd.MM.yyyy"));
}

bool FieldValue::asBoolean() const {
    if (!field_)
        return false;
    return ParseLogical(QString::fromLatin1(bytes_)).value_or(false);
}

RowCondition::RowCondition(const DbfLayout &layout, const sql::ConditionPtr &condition) : layout_(&layout) {
    if (condition)
        root_ = Bind(layout, condition);
}

bool RowCondition::matches(const QByteArray &record) const { return !root_ || Evaluate(*root_, *layout_, record); }

std::optional<qint64> RowCondition::requiredDate(int dateField) const {
    if (!root_ || dateField < 0)
        return std::nullopt;
    std::vector<const Node *> parts;
    Conjuncts(root_, parts);
    for (const Node *n : parts) {
        const Typed *literal = nullptr;
        if (EqualityColumn(*n, &literal) == dateField && literal->kind == Typed::Date)
            return literal->date;
    }
    return std::nullopt;
}

bool RowCondition::isKeyMatch(int dateField, int hourField) const {
    if (!root_ || dateField < 0)
        return false;
    std::vector<const Node *> parts;
    Conjuncts(root_, parts);
    int dates = 0, hours = 0;
    for (const Node *n : parts) {
        const Typed *literal = nullptr;
        const int column = EqualityColumn(*n, &literal);
        if (column < 0 || literal->kind == Typed::Null)
            return false;
        if (column == dateField)
            ++dates;
        else if (column == hourField)
            ++hours;
        else
            return false;
    }
    // Daily and monthly rows are keyed by DT alone: their H is always 0.
    return dates == 1 && hours <= 1;
}

}  // namespace torv
