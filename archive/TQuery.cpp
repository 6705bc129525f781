#include "archive/TQuery.h"

#include "archive/SqlStatement.h"

namespace torv {

void TQuery::setFilter(const QString &text) {
    filter_ = text;
    if (active_)
        applyFilter();
}

void TQuery::setFiltered(bool on) {
    filtered_ = on;
    if (active_)
        applyFilter();
}

void TQuery::open() {
    close();
    const sql::Statement st = sql::Parse(sql_);
    if (st.kind != sql::Statement::Select)
        throw TableError(QStringLiteral("Запрос не возвращает строк: %1").arg(sql_));
    QueryResult result = engine_->execute(directory_, sql_);
    result_ = std::move(result);
    active_ = true;
    try {
        applyFilter();
    } catch (const TableError &) {
        close();
        throw;
    }
}

int TQuery::execSql() {
    close();
    return engine_->execute(directory_, sql_).rowsAffected;
}

void TQuery::close() {
    active_ = false;
    result_ = QueryResult();
    visible_.clear();
    current_ = -1;
    eof_ = bof_ = true;
}

void TQuery::applyFilter() {
    visible_.clear();
    const int n = int(result_.rows.size());
    if (filtered_ && !filter_.trimmed().isEmpty() && result_.layout) {
        const RowCondition condition(*result_.layout, sql::ParseCondition(filter_));
        for (int i = 0; i < n; ++i)
            if (condition.matches(result_.rows[i].raw))
                visible_.push_back(i);
    } else {
        visible_.reserve(n);
        for (int i = 0; i < n; ++i)
            visible_.push_back(i);
    }
    first();
}

void TQuery::first() {
    current_ = visible_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = visible_.empty();
}

void TQuery::next() {
    if (visible_.empty() || current_ + 1 >= int(visible_.size())) {
        eof_ = true;
        return;
    }
    ++current_;
    bof_ = false;
}

void TQuery::prior() {
    if (current_ <= 0) {
        bof_ = true;
        return;
    }
    --current_;
    eof_ = false;
}

void TQuery::last() {
    current_ = int(visible_.size()) - 1;
    eof_ = true;
    bof_ = visible_.empty();
}

QStringList TQuery::fieldNames() const {
    QStringList names;
    if (result_.layout)
        for (const DbfField &f : result_.layout->fields)
            names.append(f.name);
    return names;
}

bool TQuery::hasField(const QString &name) const { return result_.layout && result_.layout->fieldIndex(name) >= 0; }

const ResultRow &TQuery::currentRow() const {
    if (!active_ || current_ < 0 || current_ >= int(visible_.size()))
        throw TableError(QStringLiteral("Нет текущей строки"));
    return result_.rows[visible_[current_]];
}

FieldValue TQuery::fieldByName(const QString &name) const {
    if (!result_.layout)
        throw TableError(QStringLiteral("Запрос не открыт"));
    const int index = result_.layout->fieldIndex(name);
    if (index < 0)
        throw TableError(QStringLiteral("Неизвестный столбец %1").arg(name));
    return FieldOf(*result_.layout, index, currentRow().raw);
}

bool TQuery::locate(const QString &column, const QString &value, bool caseInsensitive) {
    if (!result_.layout)
        return false;
    const int index = result_.layout->fieldIndex(column);
    if (index < 0)
        throw TableError(QStringLiteral("Неизвестный столбец %1").arg(column));
    const Qt::CaseSensitivity cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (int i = 0; i < int(visible_.size()); ++i) {
        const FieldValue v = FieldOf(*result_.layout, index, result_.rows[visible_[i]].raw);
        if (v.asString().compare(value.trimmed(), cs) == 0) {
            current_ = i;
            bof_ = eof_ = false;
            return true;
        }
    }
    return false;
}

void TQuery::deleteCurrent() {
    const ResultRow &row = currentRow();
    engine_->deleteRow(result_.path, row.slot, row.raw);
    visible_.erase(visible_.begin() + current_);
    if (current_ >= int(visible_.size()))
        current_ = int(visible_.size()) - 1;
    eof_ = visible_.empty();
    bof_ = visible_.empty();
}

}  // namespace torv
