#include "base/FileNames.h"

#include <QDir>
#include <QFileInfo>

namespace torv {

namespace {

QString Joined(const QString &directory, const QString &name) {
    if (directory.isEmpty())
        return name;
    if (directory.endsWith(QLatin1Char('/')) || directory.endsWith(QLatin1Char('\\')))
        return directory + name;
    return directory + QLatin1Char('/') + name;
}

bool IsKind(const QFileInfo &fi, EntryKind kind) { return kind == EntryKind::File ? fi.isFile() : fi.isDir(); }

}  // namespace

QString FindNoCase(const QString &directory, const QString &name, EntryKind kind, bool *exists) {
    const QString direct = Joined(directory, name);
    bool found = IsKind(QFileInfo(direct), kind);
    QString result = direct;
    if (!found && !name.isEmpty()) {
        const QDir dir(directory.isEmpty() ? QStringLiteral(".") : directory);
        const QDir::Filters filter =
            (kind == EntryKind::File ? QDir::Files : QDir::Dirs) | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System;
        const QStringList entries = dir.entryList(filter, QDir::Name);
        for (const QString &e : entries) {
            if (e.compare(name, Qt::CaseInsensitive) == 0) {
                result = Joined(directory, e);
                found = true;
                break;
            }
        }
    }
    if (exists)
        *exists = found;
    return result;
}

bool FileExistsNoCase(const QString &path) {
    const QFileInfo fi(path);
    if (fi.isFile())
        return true;
    bool exists = false;
    FindNoCase(fi.path(), fi.fileName(), EntryKind::File, &exists);
    return exists;
}

QString ExistingFileNoCase(const QString &path) {
    const QFileInfo fi(path);
    if (fi.isFile())
        return path;
    bool exists = false;
    const QString found = FindNoCase(fi.path(), fi.fileName(), EntryKind::File, &exists);
    return exists ? found : path;
}

}  // namespace torv
