#include "app/DataLock.h"

#include <QDir>

namespace torv {

DataDirLock::DataDirLock(const QString &dataDir, int waitMs) {
    const QString dir = QDir::cleanPath(dataDir);
    if (!QDir().mkpath(dir)) {
        error_ = QStringLiteral("Каталог данных %1 недоступен для записи").arg(QDir::toNativeSeparators(dir));
        return;
    }
    file_ = std::make_unique<QLockFile>(QDir(dir).filePath(QString::fromLatin1(kFileName)));
    // A lock is stale only when its process is gone: a long download is not given up on by age.
    file_->setStaleLockTime(0);
    locked_ = file_->tryLock(waitMs);
    if (locked_)
        return;
    qint64 pid = 0;
    QString host, program;
    switch (file_->error()) {
    case QLockFile::LockFailedError:
        if (file_->getLockInfo(&pid, &host, &program))
            error_ = QStringLiteral(
                         "С каталогом данных %1 уже работает другая программа: %2 (процесс %3, компьютер %4). "
                         "Дождитесь её завершения и повторите команду")
                         .arg(QDir::toNativeSeparators(dir), program.isEmpty() ? QStringLiteral("?") : program)
                         .arg(pid)
                         .arg(host.isEmpty() ? QStringLiteral("?") : host);
        else
            error_ = QStringLiteral(
                         "С каталогом данных %1 уже работает другая программа (файл блокировки %2). "
                         "Дождитесь её завершения и повторите команду")
                         .arg(QDir::toNativeSeparators(dir), QString::fromLatin1(kFileName));
        break;
    case QLockFile::PermissionError:
        error_ = QStringLiteral("Нет прав на создание файла блокировки %1 в каталоге данных %2")
                     .arg(QString::fromLatin1(kFileName), QDir::toNativeSeparators(dir));
        break;
    default:
        error_ = QStringLiteral("Не удалось заблокировать каталог данных %1").arg(QDir::toNativeSeparators(dir));
        break;
    }
}

DataDirLock::~DataDirLock() {
    if (locked_)
        file_->unlock();
}

}  // namespace torv
