// The statements the program sends to its tables, parsed:
//   select * from T [where C]
//   delete from T [where C]
//   insert into T (col, ...) values ('v', ...)
//   update T set col = 'v', ... [where C]
// where C combines comparisons (=, <>, <, <=, >, >=) of columns and literals with and, or and
// parentheses; literals are apostrophe-quoted (an apostrophe inside doubled) or plain numbers.
// Keywords and column names are accepted in any case. The same condition grammar serves the
// filter text of an open result ("DT >='01.02.2009' AND DT <= '28.02.2009'").
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

namespace torv::sql {

enum class CompareOp { Eq, Ne, Lt, Le, Gt, Ge };

struct Operand {
    enum Kind { Column, Text, Number };
    Kind kind = Text;
    QString text;  // column name, or the literal's text without quotes
};

struct Condition {
    enum Kind { Compare, And, Or };
    Kind kind = Compare;
    CompareOp op = CompareOp::Eq;
    Operand left, right;                    // Compare
    std::shared_ptr<const Condition> a, b;  // And, Or
};
using ConditionPtr = std::shared_ptr<const Condition>;

struct Statement {
    enum Kind { Select, Insert, Update, Delete };
    Kind kind = Select;
    QString table;
    QStringList columns;      // insert: the listed columns; update: the SET columns
    QVector<Operand> values;  // insert: the values; update: the SET values
    ConditionPtr where;       // null without a where-part
};

// Parses one statement; throws TableError with the position of the first fault.
Statement Parse(const QString &text);
// Parses a condition alone (the filter of an open result); throws TableError.
ConditionPtr ParseCondition(const QString &text);

}  // namespace torv::sql
