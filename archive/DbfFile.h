// One dBASE III table file, reached through shapelib with file hooks of our own.
//
// The header is checked before shapelib parses it, so a damaged or foreign file gives a clear
// error instead of undefined behaviour. Writes are ordered so that a process killed at any moment
// leaves a file every dBASE reader opens, holding every row whose write had returned:
//  - an appended record is written (with the end-of-file mark) before the header's record count;
//  - a record rewritten in place that lies within one 4 KiB page is one write, which a killed
//    process does not tear; one that crosses a page boundary is first written marked deleted and
//    then unmarked, so a torn record is never visible;
//  - a failed write, seek or read stops every later write of the same handle, so the header never
//    counts a record that was not written whole, and the failure is raised as a TableError.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <memory>

namespace torv {

struct DbfColumn {
    const char *name;
    char type;  // 'C' text, 'D' date, 'N' number, 'L' logical
    int width;
    int decimals;
};

struct DbfField {
    QString name;  // as stored, upper case expected
    char type = 'C';
    int width = 0;
    int decimals = 0;
    int offset = 0;  // within the record; the deletion flag is byte 0
};

struct DbfLayout {
    QVector<DbfField> fields;
    int headerLength = 0;
    int recordLength = 0;
    int fieldIndex(const QString &name) const;  // case-insensitive; -1 when absent
};

class DbfFile {
public:
    enum Mode { ReadOnly, ReadWrite };
    static constexpr char kLive = ' ';
    static constexpr char kDeleted = '*';
    static constexpr int kPageSize = 4096;
    static constexpr int kCp1251LanguageDriver = 201;  // LDID of Windows-1251

    // Opens an existing table. Throws TableError when it is missing or damaged.
    static std::unique_ptr<DbfFile> Open(const QString &path, Mode mode);
    // Creates an empty table with the columns (code page Windows-1251). The file appears whole
    // or not at all. Throws TableError naming the file and the reason; an existing file (its name
    // in any letter case) is left alone and counts as success.
    static void Create(const QString &path, const QVector<DbfColumn> &columns);
    // Checks a header image — version, date, header and record lengths against the column
    // descriptors, column names, types and widths; returns the layout or throws TableError naming
    // the file. Exposed for the tests.
    static DbfLayout CheckHeader(const QByteArray &head, qint64 fileSize, const QString &path, int *recordCount);

    ~DbfFile();
    DbfFile(const DbfFile &) = delete;
    DbfFile &operator=(const DbfFile &) = delete;

    const QString &path() const { return path_; }
    const DbfLayout &layout() const { return layout_; }
    int recordCount() const;

    // The raw record, deletion flag first. Throws TableError.
    QByteArray readRecord(int slot);
    // Writes a whole record; slot == recordCount() appends. Throws TableError.
    void writeRecord(int slot, const QByteArray &raw);
    // Marks a record deleted or live again. Throws TableError.
    void setDeleted(int slot, bool deleted);
    // Leaves the table with no records. Throws TableError.
    void removeAll();
    // Closes the file; later calls throw.
    void close();

    static bool CrossesPage(qint64 offset, int length);

private:
    DbfFile() = default;
    void checkWritable() const;
    void flush();  // writes the pending record and the header, then checks the hooks
    void throwIfFailed();

    struct Handle;
    QString path_;
    DbfLayout layout_;
    Mode mode_ = ReadOnly;
    std::unique_ptr<Handle> handle_;
};

}  // namespace torv
