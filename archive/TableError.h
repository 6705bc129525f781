// The error a table statement raises: a malformed statement, a missing or damaged table, a value
// that does not fit its column, a failed write. The text is for the user and is in Russian.
#pragma once

#include <QString>
#include <stdexcept>

namespace torv {

class TableError : public std::runtime_error {
public:
    explicit TableError(const QString &text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString &text() const { return text_; }

private:
    QString text_;
};

}  // namespace torv
