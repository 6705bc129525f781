// The text of DEVPROG.REP as it is produced: pieces of lines and line ends, kept as text and
// encoded to Windows-1251 with CR LF line ends when the file is written.
#pragma once

#include <QByteArray>
#include <QString>

namespace torv {

class ReportText {
public:
    // Text without a line end: the next piece continues the same line.
    void Write(const QString &text) { text_ += text; }
    void EndLine() { text_ += QLatin1String("\r\n"); }
    void Line(const QString &text = QString()) {
        Write(text);
        EndLine();
    }

    const QString &text() const { return text_; }
    QByteArray Bytes() const;  // Windows-1251

private:
    QString text_;
};

}  // namespace torv
