// Values of table rows: reading a field of a raw record, turning a statement's literal into the
// bytes of a column, and testing a row against a condition bound to the table's columns.
#pragma once

#include "archive/DbfFile.h"
#include "archive/SqlStatement.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <memory>
#include <optional>

namespace torv {

// One field of a row as the readers ask for it.
class FieldValue {
public:
    FieldValue() = default;
    FieldValue(const DbfField &field, const QByteArray &bytes) : field_(&field), bytes_(bytes) {}

    bool isNull() const;       // blank number or date
    QString asString() const;  // text without trailing blanks; dates DD.MM.YYYY; numbers as stored
    double asFloat() const;    // 0 when null or not a number
    int asInteger() const;     // rounded to the nearest integer
    QDate asDate() const;      // invalid when null
    bool asBoolean() const;
    const QByteArray &bytes() const { return bytes_; }

private:
    const DbfField *field_ = nullptr;
    QByteArray bytes_;
};

// The raw bytes of a field in a record.
QByteArray FieldBytes(const DbfField &field, const QByteArray &record);
FieldValue FieldOf(const DbfLayout &layout, int index, const QByteArray &record);

// A date column's julian day, or nullopt for a blank or unreadable date.
std::optional<qint64> StoredDate(const QByteArray &bytes);
// A number column's value, or nullopt for a blank or unreadable number.
std::optional<double> StoredNumber(const QByteArray &bytes);

// Why a record cannot be read as a row, or an empty text when it can: its deletion flag is neither
// blank nor '*', or a number, date or logical field holds bytes that are no value of its type.
// Blank numbers, dates and logicals are null, not damage; text fields take any bytes. A deleted
// record is not looked into.
QString RecordDamage(const DbfLayout &layout, const QByteArray &record);

// A value written into a column: texts in Windows-1251 cut to the column width,
// numbers with the column's decimals (an error when they do not fit), dates from DD.MM.YYYY.
// Throws TableError naming the column.
QByteArray EncodeField(const DbfField &field, const sql::Operand &value);
// A literal date (DD.MM.YYYY, also D.M.YYYY) as a julian day; nullopt for an empty text.
// Throws TableError for any other text.
std::optional<qint64> LiteralDate(const QString &text, const QString &column);

// A condition bound to a table's columns: names resolved, literals converted to the column types.
class RowCondition {
public:
    // Throws TableError for an unknown column or a literal the column cannot take.
    RowCondition(const DbfLayout &layout, const sql::ConditionPtr &condition);
    bool matches(const QByteArray &record) const;

    // The date of a "DT = literal" that every matching row must satisfy, when there is one.
    std::optional<qint64> requiredDate(int dateField) const;
    // True when the condition is exactly "DT = d", or "DT = d and H = h": the form in which a row
    // is replaced by its key.
    bool isKeyMatch(int dateField, int hourField) const;

    struct Node;

private:
    std::shared_ptr<const Node> root_;
    const DbfLayout *layout_ = nullptr;
};

}  // namespace torv
