#include "archive/TableEngine.h"

#include "archive/SqlStatement.h"
#include "archive/TableRow.h"
#include "base/FileNames.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <climits>
#include <cmath>

namespace torv {

namespace {

constexpr qint64 kNoDate = 0;  // julian day 0 is never a record date
constexpr qint32 kNoHour = INT_MIN;

enum SlotState : uint8_t { Live, Deleted, Pending, Damaged };

constexpr int kMaxDamageReports = 200;  // held for the next take; the rest are counted

quint64 KeyOf(qint64 date, qint32 hour) { return quint64(quint32(date)) << 32 | quint32(hour); }

QString Native(const QString &path) { return QDir::toNativeSeparators(path); }

void InsertSorted(std::vector<int> &v, int slot) { v.insert(std::upper_bound(v.begin(), v.end(), slot), slot); }

void EraseValue(std::vector<int> &v, int slot) {
    auto it = std::lower_bound(v.begin(), v.end(), slot);
    if (it != v.end() && *it == slot)
        v.erase(it);
}

}  // namespace

struct TableEngine::Table {
    QString path;
    bool loaded = false;
    qint64 size = -1;
    QDateTime modified;
    std::shared_ptr<const DbfLayout> layout;
    int count = 0;
    int dateField = -1;
    int hourField = -1;
    bool keyed() const { return dateField >= 0; }

    // The key index of a keyed table, one entry per record slot.
    std::vector<qint64> slotDate;
    std::vector<qint32> slotHour;
    std::vector<uint8_t> slotState;
    QHash<qint64, std::vector<int>> liveByDate;  // live slots of each DT, ascending
    QHash<quint64, int> reusable;                // a deleted slot of each key
    std::vector<int> pending;                    // deleted, but still live in the file
    std::map<int, QString> damaged;              // damaged slots and what is wrong with them

    qint64 dateOf(const QByteArray &record) const {
        return StoredDate(FieldBytes(layout->fields[dateField], record)).value_or(kNoDate);
    }
    qint32 hourOf(const QByteArray &record) const {
        if (hourField < 0)
            return 0;
        const auto v = StoredNumber(FieldBytes(layout->fields[hourField], record));
        if (!v || *v < INT_MIN || *v > INT_MAX)
            return kNoHour;
        return qint32(std::lround(*v));
    }
    quint64 keyOfSlot(int slot) const { return KeyOf(slotDate[slot], slotHour[slot]); }

    void setLive(int slot) {
        slotState[slot] = Live;
        InsertSorted(liveByDate[slotDate[slot]], slot);
        if (reusable.value(keyOfSlot(slot), -1) == slot)
            reusable.remove(keyOfSlot(slot));
    }
    void setNotLive(int slot, SlotState state) {
        auto it = liveByDate.find(slotDate[slot]);
        if (it != liveByDate.end()) {
            EraseValue(*it, slot);
            if (it->empty())
                liveByDate.erase(it);
        }
        slotState[slot] = state;
        if (state == Deleted && !reusable.contains(keyOfSlot(slot)))
            reusable.insert(keyOfSlot(slot), slot);
    }
    void clearIndex() {
        slotDate.clear();
        slotHour.clear();
        slotState.clear();
        liveByDate.clear();
        reusable.clear();
        pending.clear();
        damaged.clear();
    }
};

TableEngine::TableEngine() = default;

TableEngine::~TableEngine() {
    try {
        flush();
    } catch (const TableError &) {
        // Nothing can be reported any more; the rows stay as they were.
    }
}

QString TableEngine::ResolveTable(const QString &directory, const QString &name, bool *exists) {
    QString file = name;
    if (!file.endsWith(QLatin1String(".dbf"), Qt::CaseInsensitive))
        file += QLatin1String(".dbf");
    const QString found = FindNoCase(QDir(directory).absolutePath(), file, EntryKind::File, exists);
    return QDir::cleanPath(found);
}

TableEngine::Table &TableEngine::table(const QString &path) {
    auto &slot = tables_[path];
    if (!slot) {
        slot = std::make_unique<Table>();
        slot->path = path;
    }
    Table &t = *slot;
    const QFileInfo fi(path);
    if (!fi.isFile()) {
        t.loaded = false;
        t.clearIndex();
        throw TableError(QStringLiteral("Таблица %1 не найдена").arg(Native(path)));
    }
    if (!t.loaded || fi.size() != t.size || fi.lastModified() != t.modified) {
        t.size = fi.size();
        t.modified = fi.lastModified();
        load(t);
    }
    return t;
}

void TableEngine::load(Table &t) {
    t.loaded = false;
    t.clearIndex();
    auto file = DbfFile::Open(t.path, DbfFile::ReadOnly);
    auto layout = std::make_shared<DbfLayout>(file->layout());
    t.layout = layout;
    t.count = file->recordCount();
    const int dt = layout->fieldIndex(QStringLiteral("DT"));
    const int h = layout->fieldIndex(QStringLiteral("H"));
    t.dateField = dt >= 0 && layout->fields[dt].type == 'D' ? dt : -1;
    t.hourField = h >= 0 && (layout->fields[h].type == 'N' || layout->fields[h].type == 'F') ? h : -1;
    if (t.keyed()) {
        t.slotDate.resize(t.count);
        t.slotHour.resize(t.count);
        t.slotState.resize(t.count);
        for (int i = 0; i < t.count; ++i) {
            const QByteArray rec = file->readRecord(i);
            t.slotDate[i] = t.dateOf(rec);
            t.slotHour[i] = t.hourOf(rec);
            if (rec[0] == DbfFile::kDeleted) {
                t.slotState[i] = Deleted;
                if (!t.reusable.contains(t.keyOfSlot(i)))
                    t.reusable.insert(t.keyOfSlot(i), i);
            } else if (const QString damage = RecordDamage(*layout, rec); !damage.isEmpty()) {
                // Neither a row nor a free slot: it is left as it is.
                t.slotState[i] = Damaged;
                t.damaged.emplace(i, damage);
            } else {
                t.slotState[i] = Live;
                t.liveByDate[t.slotDate[i]].push_back(i);
            }
        }
    }
    t.loaded = true;
    for (const auto &[slot, reason] : t.damaged)
        noteDamage(t, slot, reason, nullptr);
}

void TableEngine::noteDamage(const Table &t, int slot, const QString &reason, QStringList *into) {
    const QString text = QStringLiteral("Таблица %1: запись %2 повреждена (%3) и пропущена")
                             .arg(Native(t.path))
                             .arg(slot + 1)
                             .arg(reason);
    if (into)
        into->append(text);
    if (!toldDamage_.emplace(t.path, slot).second)
        return;
    if (damageReports_.size() < kMaxDamageReports)
        damageReports_.append(text);
    else
        ++damageReportsLeftOut_;
}

QStringList TableEngine::takeDamageReports() {
    std::lock_guard<std::mutex> lock(mutex_);
    QStringList out = std::move(damageReports_);
    damageReports_.clear();
    if (damageReportsLeftOut_ > 0)
        out.append(QStringLiteral("Еще поврежденных записей: %1").arg(damageReportsLeftOut_));
    damageReportsLeftOut_ = 0;
    return out;
}

void TableEngine::noteWritten(Table &t) {
    const QFileInfo fi(t.path);
    t.size = fi.size();
    t.modified = fi.lastModified();
}

void TableEngine::materializePending(const Table *keep, int keepSlot) {
    for (auto &entry : tables_) {
        Table &t = *entry.second;
        if (t.pending.empty())
            continue;
        if (&t == keep && t.pending.size() == 1 && t.pending.front() == keepSlot)
            continue;
        const QFileInfo fi(t.path);
        if (!fi.isFile() || fi.size() != t.size || fi.lastModified() != t.modified) {
            // Someone else changed the file: the held-back deletions no longer apply to it.
            t.loaded = false;
            t.clearIndex();
            continue;
        }
        auto file = DbfFile::Open(t.path, DbfFile::ReadWrite);
        std::vector<int> still;
        for (int slot : t.pending) {
            if (&t == keep && slot == keepSlot) {
                still.push_back(slot);
                continue;
            }
            file->setDeleted(slot, true);
            t.setNotLive(slot, Deleted);
        }
        t.pending = still;
        file->close();
        noteWritten(t);
    }
}

std::vector<int> TableEngine::candidates(const Table &t, const RowCondition &where) const {
    std::vector<int> out;
    if (t.keyed()) {
        if (const auto date = where.requiredDate(t.dateField)) {
            auto it = t.liveByDate.constFind(*date);
            if (it != t.liveByDate.constEnd())
                out = *it;
            return out;
        }
        out.reserve(t.count);
        for (int i = 0; i < t.count; ++i)
            if (t.slotState[i] == Live)
                out.push_back(i);
        return out;
    }
    out.resize(t.count);
    for (int i = 0; i < t.count; ++i)
        out[i] = i;
    return out;
}

QueryResult TableEngine::select(Table &t, const RowCondition &where) {
    QueryResult r;
    r.path = t.path;
    r.layout = t.layout;
    // The damaged records among those the select looks at are told with its result.
    if (t.keyed()) {
        const auto date = where.requiredDate(t.dateField);
        for (const auto &[slot, reason] : t.damaged)
            if (!date || t.slotDate[slot] == *date)
                noteDamage(t, slot, reason, &r.damaged);
    }
    const std::vector<int> wanted = candidates(t, where);
    if (wanted.empty())
        return r;
    auto file = DbfFile::Open(t.path, DbfFile::ReadOnly);
    for (int slot : wanted) {
        QByteArray rec = file->readRecord(slot);
        if (rec[0] == DbfFile::kDeleted)
            continue;
        if (!t.keyed()) {
            if (const QString damage = RecordDamage(*t.layout, rec); !damage.isEmpty()) {
                noteDamage(t, slot, damage, &r.damaged);
                continue;
            }
        }
        if (!where.matches(rec))
            continue;
        r.rows.push_back({slot, std::move(rec)});
    }
    return r;
}

QueryResult TableEngine::remove(Table &t, const RowCondition &where, bool all) {
    QueryResult r;
    r.path = t.path;
    r.layout = t.layout;
    if (all) {
        if (t.count == 0)
            return r;
        // The statement asks for an empty table: damaged records go with the rest, told first.
        auto file = DbfFile::Open(t.path, DbfFile::ReadWrite);
        for (int i = 0; i < t.count; ++i) {
            if (t.keyed()) {
                r.rowsAffected += t.slotState[i] == Live;
                continue;
            }
            const QByteArray rec = file->readRecord(i);
            if (const QString damage = RecordDamage(*t.layout, rec); !damage.isEmpty())
                noteDamage(t, i, damage, nullptr);
            else if (rec[0] != DbfFile::kDeleted)
                ++r.rowsAffected;
        }
        file->removeAll();
        file->close();
        t.count = 0;
        t.clearIndex();
        noteWritten(t);
        return r;
    }
    std::vector<int> matched;
    {
        QueryResult found = select(t, where);
        for (const ResultRow &row : found.rows)
            matched.push_back(row.slot);
    }
    r.rowsAffected = int(matched.size());
    if (matched.empty())
        return r;
    if (t.keyed() && where.isKeyMatch(t.dateField, t.hourField)) {
        // Held back: the insert of the same key that normally follows writes over the row.
        for (int slot : matched) {
            t.setNotLive(slot, Pending);
            t.pending.push_back(slot);
        }
        return r;
    }
    auto file = DbfFile::Open(t.path, DbfFile::ReadWrite);
    for (int slot : matched) {
        file->setDeleted(slot, true);
        if (t.keyed())
            t.setNotLive(slot, Deleted);
    }
    file->close();
    noteWritten(t);
    return r;
}

QueryResult TableEngine::insert(Table &t, const QByteArray &record) {
    QueryResult r;
    r.path = t.path;
    r.layout = t.layout;
    int slot = t.count;
    qint64 date = kNoDate;
    qint32 hour = 0;
    if (t.keyed()) {
        date = t.dateOf(record);
        hour = t.hourOf(record);
        const quint64 key = KeyOf(date, hour);
        auto held = std::find_if(t.pending.begin(), t.pending.end(), [&](int s) { return t.keyOfSlot(s) == key; });
        if (held != t.pending.end())
            slot = *held;
        else if (t.reusable.contains(key))
            slot = t.reusable.value(key);
    }
    auto file = DbfFile::Open(t.path, DbfFile::ReadWrite);
    file->writeRecord(slot, record);
    file->close();
    noteWritten(t);
    if (slot == t.count) {
        ++t.count;
        if (t.keyed()) {
            t.slotDate.push_back(date);
            t.slotHour.push_back(hour);
            t.slotState.push_back(Deleted);
        }
    }
    if (t.keyed()) {
        t.pending.erase(std::remove(t.pending.begin(), t.pending.end(), slot), t.pending.end());
        if (t.reusable.value(t.keyOfSlot(slot), -1) == slot)
            t.reusable.remove(t.keyOfSlot(slot));
        t.slotDate[slot] = date;
        t.slotHour[slot] = hour;
        t.setLive(slot);
    }
    r.rowsAffected = 1;
    return r;
}

QueryResult TableEngine::update(Table &t, const RowCondition &where,
                                const std::vector<std::pair<int, QByteArray>> &set) {
    QueryResult found = select(t, where);
    QueryResult r;
    r.path = t.path;
    r.layout = t.layout;
    r.rowsAffected = int(found.rows.size());
    if (found.rows.empty())
        return r;
    auto file = DbfFile::Open(t.path, DbfFile::ReadWrite);
    for (ResultRow &row : found.rows) {
        QByteArray rec = row.raw;
        for (const auto &[index, bytes] : set)
            rec.replace(t.layout->fields[index].offset, bytes.size(), bytes);
        file->writeRecord(row.slot, rec);
        if (t.keyed()) {
            const qint64 date = t.dateOf(rec);
            const qint32 hour = t.hourOf(rec);
            if (date != t.slotDate[row.slot] || hour != t.slotHour[row.slot]) {
                t.setNotLive(row.slot, Pending);  // leaves the index without becoming reusable
                t.slotDate[row.slot] = date;
                t.slotHour[row.slot] = hour;
                t.setLive(row.slot);
            }
        }
    }
    file->close();
    noteWritten(t);
    return r;
}

QueryResult TableEngine::execute(const QString &directory, const QString &statement) {
    const sql::Statement st = sql::Parse(statement);
    if (directory.trimmed().isEmpty())
        throw TableError(QStringLiteral("Не задан каталог базы данных"));
    if (st.table.contains(QLatin1Char('/')) || st.table.contains(QLatin1Char('\\')))
        throw TableError(QStringLiteral("Неверное имя таблицы %1").arg(st.table));

    std::lock_guard<std::mutex> lock(mutex_);
    bool exists = false;
    const QString path = ResolveTable(directory, st.table, &exists);
    if (!exists)
        throw TableError(QStringLiteral("Таблица %1 не найдена").arg(Native(path)));
    Table &t = table(path);
    const RowCondition where(*t.layout, st.where);

    if (st.kind == sql::Statement::Select)
        return select(t, where);

    // Everything a statement can refuse is checked before the first byte is written.
    QByteArray record;
    std::vector<std::pair<int, QByteArray>> set;
    int keep = -1;
    if (st.kind == sql::Statement::Insert) {
        record = QByteArray(t.layout->recordLength, ' ');
        std::vector<bool> seen(t.layout->fields.size(), false);
        for (int i = 0; i < st.columns.size(); ++i) {
            const int index = t.layout->fieldIndex(st.columns[i]);
            if (index < 0)
                throw TableError(QStringLiteral("Неизвестный столбец %1").arg(st.columns[i]));
            if (seen[index])
                throw TableError(QStringLiteral("Столбец %1 указан дважды").arg(st.columns[i]));
            seen[index] = true;
            const DbfField &f = t.layout->fields[index];
            record.replace(f.offset, f.width, EncodeField(f, st.values[i]));
        }
        if (t.keyed()) {
            const quint64 key = KeyOf(t.dateOf(record), t.hourOf(record));
            for (int s : t.pending)
                if (t.keyOfSlot(s) == key) {
                    keep = s;
                    break;
                }
        }
    } else if (st.kind == sql::Statement::Update) {
        for (int i = 0; i < st.columns.size(); ++i) {
            const int index = t.layout->fieldIndex(st.columns[i]);
            if (index < 0)
                throw TableError(QStringLiteral("Неизвестный столбец %1").arg(st.columns[i]));
            set.emplace_back(index, EncodeField(t.layout->fields[index], st.values[i]));
        }
    }

    try {
        materializePending(&t, keep);
        switch (st.kind) {
        case sql::Statement::Delete: return remove(t, where, !st.where);
        case sql::Statement::Insert: return insert(t, record);
        case sql::Statement::Update: return update(t, where, set);
        case sql::Statement::Select: break;
        }
    } catch (const TableError &) {
        // A write failed part way: what is known about the files is read afresh next time.
        invalidateAll();
        throw;
    }
    return {};
}

void TableEngine::invalidateAll() {
    for (auto &entry : tables_) {
        entry.second->loaded = false;
        entry.second->clearIndex();
    }
}

void TableEngine::deleteRow(const QString &path, int slot, const QByteArray &raw) {
    std::lock_guard<std::mutex> lock(mutex_);
    Table &t = table(path);
    try {
        materializePending();
    } catch (const TableError &) {
        invalidateAll();
        throw;
    }
    if (slot < 0 || slot >= t.count || (t.keyed() && t.slotState[slot] != Live))
        throw TableError(QStringLiteral("Строка таблицы %1 уже удалена").arg(Native(path)));
    auto file = DbfFile::Open(t.path, DbfFile::ReadWrite);
    if (file->readRecord(slot) != raw)
        throw TableError(QStringLiteral("Строка таблицы %1 изменилась; обновите данные").arg(Native(path)));
    try {
        file->setDeleted(slot, true);
    } catch (const TableError &) {
        invalidateAll();
        throw;
    }
    file->close();
    if (t.keyed())
        t.setNotLive(slot, Deleted);
    noteWritten(t);
}

void TableEngine::flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    try {
        materializePending();
    } catch (const TableError &) {
        invalidateAll();
        throw;
    }
}

void TableEngine::forget(const QString &directory) {
    std::lock_guard<std::mutex> lock(mutex_);
    try {
        materializePending();
    } catch (const TableError &) {
        // The files are going away; what was held back no longer matters.
    }
    const QString prefix = QDir(directory).absolutePath() + QLatin1Char('/');
    for (auto it = toldDamage_.begin(); it != toldDamage_.end();) {
        if (QFileInfo(it->first).absoluteFilePath().startsWith(prefix))
            it = toldDamage_.erase(it);
        else
            ++it;
    }
    for (auto it = tables_.begin(); it != tables_.end();) {
        if (QFileInfo(it->first).absoluteFilePath().startsWith(prefix))
            it = tables_.erase(it);
        else
            ++it;
    }
}

}  // namespace torv
