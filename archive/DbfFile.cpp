#include "archive/DbfFile.h"

#include "archive/TableError.h"
#include "base/FileNames.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <shapefil.h>

#include <cstring>

namespace torv {

namespace {

constexpr uint8_t kDbase3 = 0x03;  // dBASE III and later without memo files
constexpr int kFileHeaderSize = 32;
constexpr int kFieldDescriptorSize = 32;
constexpr char kHeaderTerminator = 0x0D;
constexpr char kEndOfFile = 0x1A;
constexpr int kMaxTextWidth = 254;
constexpr int kMaxNumberWidth = 32;

// One file opened by shapelib through our hooks. A failed write or seek is remembered and stops
// every later write, so shapelib can never write a header after a record that failed.
struct HookFile {
    QFile file;
    bool writable = false;
    bool failed = false;
    QString error;
    void fail(const QString &why) {
        failed = true;
        error = why;
    }
    void failWithFileError(const QString &fallback) {
        const QString text = file.error() != QFileDevice::NoError ? file.errorString() : QString();
        fail(text.isEmpty() ? fallback : text);
    }
};

// shapelib's hooks carry no user data: the path of the file an open or create call is about is
// handed to the open hook through this slot, set only around those calls.
thread_local QString tTablePath;

class TablePathScope {
public:
    explicit TablePathScope(const QString &path) { tTablePath = path; }
    ~TablePathScope() { tTablePath.clear(); }
};

HookFile *AsHook(SAFile f) { return reinterpret_cast<HookFile *>(f); }

SAFile HookOpen(const char *filename, const char *access) {
    const QString requested = QString::fromUtf8(filename);
    // The code page comes from the header's language driver byte; side files are not used.
    if (requested.endsWith(QLatin1String(".cpg"), Qt::CaseInsensitive) || tTablePath.isEmpty())
        return nullptr;
    auto *h = new HookFile;
    h->file.setFileName(tTablePath);
    const QByteArray mode(access);
    QIODevice::OpenMode om;
    if (mode.startsWith('w'))
        om = QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered;
    else if (mode.contains('+'))
        om = QIODevice::ReadWrite | QIODevice::Unbuffered;
    else
        om = QIODevice::ReadOnly;
    if (!(om & QIODevice::Truncate) && !h->file.exists()) {
        delete h;
        return nullptr;
    }
    if (!h->file.open(om)) {
        delete h;
        return nullptr;
    }
    h->writable = om & QIODevice::WriteOnly;
    return reinterpret_cast<SAFile>(h);
}

SAOffset HookRead(void *p, SAOffset size, SAOffset nmemb, SAFile f) {
    HookFile *h = AsHook(f);
    if (size == 0)
        return 0;
    const qint64 want = qint64(size * nmemb);
    const qint64 got = h->file.read(static_cast<char *>(p), want);
    // shapelib reads the header back before it rewrites it and does not look at the result: after
    // a failed read a writable handle writes nothing more.
    if (got != want && h->writable)
        h->failWithFileError(QStringLiteral("прочитано %1 байт из %2").arg(qMax<qint64>(got, 0)).arg(want));
    if (got <= 0)
        return 0;
    return SAOffset(got) / size;
}

SAOffset HookWrite(void *p, SAOffset size, SAOffset nmemb, SAFile f) {
    HookFile *h = AsHook(f);
    if (h->failed || size == 0)
        return 0;
    const qint64 want = qint64(size * nmemb);
    const qint64 put = h->file.write(static_cast<const char *>(p), want);
    if (put != want) {
        h->failWithFileError(
            QStringLiteral("записано %1 байт из %2 (нет места на диске?)").arg(qMax<qint64>(put, 0)).arg(want));
        return put <= 0 ? 0 : SAOffset(put) / size;
    }
    return nmemb;
}

SAOffset HookSeek(SAFile f, SAOffset offset, int whence) {
    HookFile *h = AsHook(f);
    qint64 pos = qint64(offset);
    if (whence == SEEK_CUR)
        pos += h->file.pos();
    else if (whence == SEEK_END)
        pos += h->file.size();
    if (pos < 0 || !h->file.seek(pos)) {
        // A write after a failed seek would land in the wrong place.
        h->failWithFileError(QStringLiteral("не удалось перейти к позиции %1").arg(pos));
        return SAOffset(-1);
    }
    return 0;
}

SAOffset HookTell(SAFile f) { return SAOffset(AsHook(f)->file.pos()); }

int HookFlush(SAFile f) {
    HookFile *h = AsHook(f);
    if (!h->file.flush()) {
        h->failWithFileError(QStringLiteral("запись не завершена"));
        return -1;
    }
    return 0;
}

int HookClose(SAFile f) {
    HookFile *h = AsHook(f);
    h->file.close();
    delete h;
    return 0;
}

int HookRemove(const char *filename) { return QFile::remove(QString::fromUtf8(filename)) ? 0 : -1; }

void HookError(const char *) {
    // Failures are reported through the hook file's flag and the calls' results.
}

double HookAtof(const char *text) { return QByteArray(text).trimmed().toDouble(); }

SAHooks MakeHooks() {
    SAHooks hooks;
    std::memset(&hooks, 0, sizeof hooks);
    hooks.FOpen = HookOpen;
    hooks.FRead = HookRead;
    hooks.FWrite = HookWrite;
    hooks.FSeek = HookSeek;
    hooks.FTell = HookTell;
    hooks.FFlush = HookFlush;
    hooks.FClose = HookClose;
    hooks.Remove = HookRemove;
    hooks.Error = HookError;
    hooks.Atof = HookAtof;
    return hooks;
}

int U16(const QByteArray &b, int at) { return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8; }

QString Damaged(const QString &path, const QString &detail) {
    return QStringLiteral("Таблица %1 повреждена: %2").arg(QDir::toNativeSeparators(path), detail);
}

void SetToday(DBFHandle h) {
    const QDate today = QDate::currentDate();
    DBFSetLastModifiedDate(h, today.year() - 1900, today.month(), today.day());
}

}  // namespace

int DbfLayout::fieldIndex(const QString &name) const {
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

struct DbfFile::Handle {
    DBFHandle dbf = nullptr;
    HookFile *hook() const { return AsHook(dbf->fp); }
};

bool DbfFile::CrossesPage(qint64 offset, int length) { return offset / kPageSize != (offset + length - 1) / kPageSize; }

namespace {

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '_'; }

}  // namespace

// Everything a table's header says is checked against everything else it says before the table is
// used: a header that is not whole and consistent (garbage written over it, a file of another
// kind) must never be taken as a layout to read or to write records by.
DbfLayout DbfFile::CheckHeader(const QByteArray &head, qint64 fileSize, const QString &path, int *recordCount) {
    if (head.size() < kFileHeaderSize || fileSize < kFileHeaderSize)
        throw TableError(Damaged(path, QStringLiteral("файл короче заголовка")));
    const uint8_t version = uint8_t(head[0]);
    if (version != kDbase3)
        throw TableError(Damaged(
            path,
            QStringLiteral("это не таблица dBASE III (байт версии 0x%1)").arg(uint(version), 2, 16, QLatin1Char('0'))));
    const int month = uint8_t(head[2]), day = uint8_t(head[3]);
    if ((month != 0 || day != 0) && (month < 1 || month > 12 || day < 1 || day > 31))
        throw TableError(Damaged(path, QStringLiteral("неверная дата изменения в заголовке")));
    DbfLayout layout;
    layout.headerLength = U16(head, 8);
    layout.recordLength = U16(head, 10);
    const qint64 stated = qint64(uint8_t(head[4])) | qint64(uint8_t(head[5])) << 8 | qint64(uint8_t(head[6])) << 16 |
                          qint64(uint8_t(head[7]) & 0x7F) << 24;
    if (layout.headerLength < kFileHeaderSize + kFieldDescriptorSize + 1 || layout.headerLength > fileSize ||
        layout.headerLength > head.size())
        throw TableError(Damaged(path, QStringLiteral("неверная длина заголовка")));
    if (layout.recordLength < 2)
        throw TableError(Damaged(path, QStringLiteral("неверная длина записи")));

    int offset = 1;
    int pos = kFileHeaderSize;
    for (; pos < layout.headerLength && head[pos] != kHeaderTerminator; pos += kFieldDescriptorSize) {
        if (pos + kFieldDescriptorSize > layout.headerLength)
            throw TableError(Damaged(path, QStringLiteral("описания столбцов не завершены")));
        DbfField f;
        const QByteArray rawName = head.mid(pos, 11);
        const int nul = rawName.indexOf('\0');
        const QByteArray name = nul < 0 ? rawName : rawName.left(nul);
        bool nameOk = !name.isEmpty() && IsNameStart(name[0]);
        for (char c : name)
            nameOk = nameOk && IsNameChar(c);
        if (name.isEmpty())
            throw TableError(Damaged(path, QStringLiteral("столбец без имени")));
        if (!nameOk)
            throw TableError(Damaged(path, QStringLiteral("неверное имя столбца %1").arg(layout.fields.size() + 1)));
        f.name = QString::fromLatin1(name);
        if (layout.fieldIndex(f.name) >= 0)
            throw TableError(Damaged(path, QStringLiteral("столбец %1 описан дважды").arg(f.name)));
        f.type = char(head[pos + 11]);
        f.width = uint8_t(head[pos + 16]);
        f.decimals = uint8_t(head[pos + 17]);
        bool ok = false;
        switch (f.type) {
        case 'C':
            ok = f.width >= 1 && f.width <= kMaxTextWidth;
            f.decimals = 0;
            break;
        case 'N':
        case 'F': ok = f.width >= 1 && f.width <= kMaxNumberWidth && f.decimals < f.width; break;
        case 'D':
            ok = f.width == 8;
            f.decimals = 0;
            break;
        case 'L':
            ok = f.width == 1;
            f.decimals = 0;
            break;
        default: throw TableError(Damaged(path, QStringLiteral("неподдерживаемый тип столбца %1").arg(f.name)));
        }
        if (!ok)
            throw TableError(Damaged(path, QStringLiteral("неверная ширина столбца %1").arg(f.name)));
        f.offset = offset;
        offset += f.width;
        layout.fields.append(f);
    }
    if (layout.fields.isEmpty())
        throw TableError(Damaged(path, QStringLiteral("нет описаний столбцов")));
    // The descriptors end with the terminator, which ends the header; some writers put one zero
    // byte after it.
    if (pos >= layout.headerLength ||
        !(layout.headerLength == pos + 1 || (layout.headerLength == pos + 2 && head[pos + 1] == '\0')))
        throw TableError(Damaged(path, QStringLiteral("длина заголовка не совпадает с описаниями столбцов")));
    if (offset != layout.recordLength)
        throw TableError(Damaged(
            path,
            QStringLiteral("длина записи %1 не равна сумме ширин столбцов %2").arg(layout.recordLength).arg(offset)));
    // A count beyond the records the file holds (a copy cut short) is reduced to them.
    const qint64 held = (fileSize - layout.headerLength) / layout.recordLength;
    if (recordCount)
        *recordCount = int(std::min(stated, held));
    return layout;
}

std::unique_ptr<DbfFile> DbfFile::Open(const QString &path, Mode mode) {
    QByteArray head;
    qint64 size = 0;
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw TableError(QStringLiteral("Таблица %1 не найдена").arg(QDir::toNativeSeparators(path)));
        size = f.size();
        head = f.read(kFileHeaderSize);
        if (head.size() == kFileHeaderSize) {
            const int headerLength = U16(head, 8);
            if (headerLength > kFileHeaderSize && headerLength <= size)
                head += f.read(headerLength - kFileHeaderSize);
        }
    }
    int count = 0;
    DbfLayout layout = CheckHeader(head, size, path, &count);

    SAHooks hooks = MakeHooks();
    DBFHandle dbf = nullptr;
    {
        TablePathScope scope(path);
        dbf = DBFOpenLL(path.toUtf8().constData(), mode == ReadWrite ? "rb+" : "rb", &hooks);
    }
    if (!dbf)
        throw TableError(QStringLiteral("Не удалось открыть таблицу %1").arg(QDir::toNativeSeparators(path)));
    std::unique_ptr<DbfFile> file(new DbfFile);
    file->path_ = path;
    file->mode_ = mode;
    file->handle_ = std::make_unique<Handle>();
    file->handle_->dbf = dbf;
    // shapelib must see the same table as the check above.
    bool same = dbf->nFields == layout.fields.size() && dbf->nRecordLength == layout.recordLength &&
                dbf->nHeaderLength == layout.headerLength;
    for (int i = 0; same && i < layout.fields.size(); ++i)
        same = dbf->panFieldOffset[i] == layout.fields[i].offset && dbf->panFieldSize[i] == layout.fields[i].width;
    if (!same)
        throw TableError(Damaged(path, QStringLiteral("заголовок не читается")));
    dbf->nRecords = count;
    if (mode == ReadWrite)
        SetToday(dbf);
    file->layout_ = std::move(layout);
    return file;
}

void DbfFile::Create(const QString &path, const QVector<DbfColumn> &columns) {
    // A table copied from elsewhere may carry its name in another letter case: it is the table.
    if (FileExistsNoCase(path) || QFileInfo::exists(path))
        return;
    const QString temp = path + QStringLiteral(".creating");
    QFile::remove(temp);
    SAHooks hooks = MakeHooks();
    bool built = false;
    QString reason;
    {
        TablePathScope scope(temp);
        DBFHandle h = DBFCreateLL(temp.toUtf8().constData(), "LDID/201", &hooks);
        if (h) {
            built = true;
            for (const DbfColumn &c : columns)
                if (DBFAddNativeFieldType(h, c.name, c.type, c.width, c.decimals) < 0)
                    built = false;
            SetToday(h);
            // The header is written here, while the write hooks can still tell what went wrong.
            DBFUpdateHeader(h);
            if (const HookFile *hook = AsHook(h->fp); hook->failed) {
                built = false;
                reason = hook->error;
            }
            DBFClose(h);
        } else {
            QFile probe(temp);
            if (!probe.open(QIODevice::WriteOnly))
                reason = probe.errorString();
        }
    }
    // The file is checked as any table before it takes its name.
    try {
        if (!built)
            throw TableError(QString());
        auto check = Open(temp, ReadOnly);
        bool same = check->layout().fields.size() == columns.size();
        for (int i = 0; same && i < columns.size(); ++i) {
            const DbfField &f = check->layout().fields[i];
            same = f.name == QLatin1String(columns[i].name) && f.type == columns[i].type &&
                   f.width == columns[i].width && f.decimals == columns[i].decimals;
        }
        check->close();
        if (!same)
            throw TableError(QString());
    } catch (const TableError &) {
        QFile::remove(temp);
        throw TableError(QStringLiteral("Не удалось создать таблицу %1").arg(QDir::toNativeSeparators(path)) +
                         (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
    }
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        if (!QFileInfo::exists(path))
            throw TableError(QStringLiteral("Не удалось создать таблицу %1").arg(QDir::toNativeSeparators(path)));
    }
}

DbfFile::~DbfFile() {
    if (handle_ && handle_->dbf) {
        // Every write was flushed already; nothing is left for shapelib to write.
        handle_->dbf->bUpdated = 0;
        handle_->dbf->bCurrentRecordModified = 0;
        DBFClose(handle_->dbf);
        handle_->dbf = nullptr;
    }
}

void DbfFile::close() {
    if (handle_ && handle_->dbf) {
        handle_->dbf->bUpdated = 0;
        handle_->dbf->bCurrentRecordModified = 0;
        DBFClose(handle_->dbf);
        handle_->dbf = nullptr;
    }
}

int DbfFile::recordCount() const { return handle_ && handle_->dbf ? handle_->dbf->nRecords : 0; }

void DbfFile::throwIfFailed() {
    HookFile *h = handle_->hook();
    if (h->failed)
        throw TableError(
            QStringLiteral("Ошибка записи в таблицу %1: %2").arg(QDir::toNativeSeparators(path_), h->error));
}

void DbfFile::checkWritable() const {
    if (!handle_ || !handle_->dbf)
        throw TableError(QStringLiteral("Таблица %1 закрыта").arg(QDir::toNativeSeparators(path_)));
    if (mode_ != ReadWrite)
        throw TableError(QStringLiteral("Таблица %1 открыта только для чтения").arg(QDir::toNativeSeparators(path_)));
    if (handle_->hook()->failed)
        throw TableError(QStringLiteral("Ошибка записи в таблицу %1: %2")
                             .arg(QDir::toNativeSeparators(path_), handle_->hook()->error));
}

void DbfFile::flush() {
    // The pending record first, then the header with the record count.
    DBFUpdateHeader(handle_->dbf);
    handle_->dbf->bUpdated = 0;
    throwIfFailed();
}

QByteArray DbfFile::readRecord(int slot) {
    if (!handle_ || !handle_->dbf)
        throw TableError(QStringLiteral("Таблица %1 закрыта").arg(QDir::toNativeSeparators(path_)));
    const char *raw = slot >= 0 && slot < recordCount() ? DBFReadTuple(handle_->dbf, slot) : nullptr;
    if (!raw)
        throw TableError(QStringLiteral("Не удалось прочитать запись %1 таблицы %2")
                             .arg(slot + 1)
                             .arg(QDir::toNativeSeparators(path_)));
    return QByteArray(raw, layout_.recordLength);
}

void DbfFile::writeRecord(int slot, const QByteArray &raw) {
    checkWritable();
    const int count = recordCount();
    if (slot < 0 || slot > count || raw.size() != layout_.recordLength)
        throw TableError(QStringLiteral("Неверная запись для таблицы %1").arg(QDir::toNativeSeparators(path_)));
    auto put = [&](const QByteArray &bytes) {
        if (!DBFWriteTuple(handle_->dbf, slot, const_cast<char *>(bytes.constData()))) {
            throwIfFailed();
            throw TableError(QStringLiteral("Ошибка записи в таблицу %1").arg(QDir::toNativeSeparators(path_)));
        }
        flush();
    };
    const qint64 offset = qint64(layout_.headerLength) + qint64(slot) * layout_.recordLength;
    if (slot < count && raw[0] != kDeleted && CrossesPage(offset, layout_.recordLength)) {
        // Written hidden first: a record torn at the page boundary is never visible.
        QByteArray hidden = raw;
        hidden[0] = kDeleted;
        put(hidden);
    }
    put(raw);
}

void DbfFile::setDeleted(int slot, bool deleted) {
    checkWritable();
    if (!DBFMarkRecordDeleted(handle_->dbf, slot, deleted ? 1 : 0)) {
        throwIfFailed();
        throw TableError(QStringLiteral("Ошибка записи в таблицу %1").arg(QDir::toNativeSeparators(path_)));
    }
    flush();
}

void DbfFile::removeAll() {
    checkWritable();
    // The count goes to zero first; the records after it are then cut off.
    handle_->dbf->nRecords = 0;
    handle_->dbf->nCurrentRecord = -1;
    handle_->dbf->bCurrentRecordModified = 0;
    flush();
    HookFile *h = handle_->hook();
    const char eof = kEndOfFile;
    if (!h->file.resize(layout_.headerLength) || !h->file.seek(layout_.headerLength) || h->file.write(&eof, 1) != 1)
        h->failWithFileError(QStringLiteral("таблица не очищена"));
    throwIfFailed();
}

}  // namespace torv
