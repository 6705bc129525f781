#include "base/SettingsRecord.h"

#include "base/FileNames.h"
#include "base/FileWrite.h"
#include "base/CodePage.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

namespace torv {

TSettingsRecord::TSettingsRecord() : data_(kSize, '\0') {}

void TSettingsRecord::setBytes(const QByteArray &bytes) {
    data_.fill('\0', kSize);
    std::copy_n(bytes.constData(), std::min<qsizetype>(bytes.size(), kSize), data_.data());
}

uint8_t TSettingsRecord::byteAt(int offset) const { return uint8_t(data_.at(offset)); }
void TSettingsRecord::setByteAt(int offset, uint8_t v) { data_[offset] = char(v); }

int32_t TSettingsRecord::int32At(int offset) const { return qFromLittleEndian<qint32>(data_.constData() + offset); }

void TSettingsRecord::setInt32At(int offset, int32_t v) { qToLittleEndian<qint32>(v, data_.data() + offset); }

QString TSettingsRecord::stringAt(int offset, int capacity) const {
    const int len = std::min<int>(byteAt(offset), capacity);
    return FromCp1251(data_.mid(offset + 1, len));
}

void TSettingsRecord::setStringAt(int offset, int capacity, const QString &text) {
    QByteArray b = ToCp1251(text).left(capacity);
    data_[offset] = char(b.size());
    std::copy(b.begin(), b.end(), data_.begin() + offset + 1);
}

bool TSettingsRecord::archiveKind(int channel, int kind) const {
    if (channel < 1 || channel > 4 || kind < 0 || kind > 2)
        return false;
    return byteAt(ArchiveKinds + (channel - 1) * 3 + kind) == 1;
}

void TSettingsRecord::setArchiveKind(int channel, int kind, bool on) {
    if (channel < 1 || channel > 4 || kind < 0 || kind > 2)
        return;
    setByteAt(ArchiveKinds + (channel - 1) * 3 + kind, on ? 1 : 0);
}

QString TSettingsRecord::CheckDirectoryText(const QString &path, const QString &what) {
    const QByteArray bytes = ToCp1251(path);
    if (FromCp1251(bytes) != path)
        return QStringLiteral(
                   "%1 %2 нельзя использовать: в пути есть знаки, которых нет в кодировке Windows-1251, "
                   "а файл настроек Torv2a.ini хранит пути в ней. Выберите каталог с другим именем")
            .arg(what, path);
    if (bytes.size() > kDirCapacity)
        return QStringLiteral(
                   "%1 %2 нельзя использовать: путь длиннее %3 знаков, отведённых ему в файле настроек "
                   "Torv2a.ini")
            .arg(what, path)
            .arg(kDirCapacity);
    return QString();
}

QString TSettingsRecord::CheckProgramDir(const QString &programDir) {
    const QString longest = DefaultDevDir(programDir);
    const QString err = CheckDirectoryText(longest, QStringLiteral("Каталог"));
    if (err.isEmpty())
        return QString();
    if (FromCp1251(ToCp1251(programDir)) != programDir)
        return CheckDirectoryText(programDir, QStringLiteral("Каталог программы"));
    const int limit = kDirCapacity - int(longest.size() - programDir.size());
    return QStringLiteral(
               "Каталог программы %1 нельзя использовать: путь длиннее %2 знаков (вместе с \"/Data/Dev/\" "
               "он должен уместиться в %3 знаков, отведённых путям в файле настроек Torv2a.ini)")
        .arg(programDir)
        .arg(limit)
        .arg(kDirCapacity);
}

QString TSettingsRecord::DefaultDataDir(const QString &p) { return p + QStringLiteral("/Data/"); }
QString TSettingsRecord::DefaultReportDir(const QString &p) { return p + QStringLiteral("/Report/"); }
QString TSettingsRecord::DefaultDevDir(const QString &p) { return p + QStringLiteral("/Data/Dev/"); }
QString TSettingsRecord::DefaultSettingsReportDir(const QString &p) { return p + QStringLiteral("/"); }

void TSettingsRecord::setDirectoryDefaults(const QString &p) {
    setDataDir(DefaultDataDir(p));
    setDevDir(DefaultDevDir(p));
    setSettingsReportDir(DefaultSettingsReportDir(p));
    setReportDir(DefaultReportDir(p));
}

void TSettingsRecord::fillEmptyDirectories(const QString &p) {
    if (dataDir().isEmpty())
        setDataDir(DefaultDataDir(p));
    if (devDir().isEmpty())
        setDevDir(DefaultDevDir(p));
    if (settingsReportDir().isEmpty())
        setSettingsReportDir(DefaultSettingsReportDir(p));
    if (reportDir().isEmpty())
        setReportDir(DefaultReportDir(p));
}

void TSettingsRecord::setValueDefaults() {
    setByteAt(ConnectAtStart, 0);
    setInt32At(ModemWait, 60);
    setStringAt(UnusedDir, kDirCapacity, QStringLiteral("1"));
    setInt32At(Rs485Address, 1);
    setByteAt(0xCAA0, 1);
    setByteAt(0xCAA1, 0);
    setByteAt(0xCAA2, 1);
    setByteAt(0xCAA3, 0);
    setByteAt(ShowSettingsAfterConnect, 0);
    setByteAt(UpdateStored, 1);
    setByteAt(0xCAA6, 0);
    setByteAt(0xCAA7, 0);
    setInt32At(ComPort, 1);
    for (int ch = 1; ch <= 4; ++ch) {
        setArchiveKind(ch, 0, true);
        setArchiveKind(ch, 1, true);
        setArchiveKind(ch, 2, false);
    }
    setByteAt(0xCAB8, 1);
    setByteAt(LinkMode, 1);
    setByteAt(ModemChosen, 0);
    setByteAt(PulseDial, 1);
    setByteAt(GsmModem, 0);
    setInt32At(AnswerTime, 50);
    setInt32At(Depth, 59);
    setStringAt(LastDevice, kLastDeviceCapacity, QString());
    setByteAt(ParamArchive, 0);
}

QString SettingsFile::Path(const QString &programDir) {
    return FindNoCase(programDir, QLatin1String(TSettingsRecord::kFileName));
}

static QString WriteAtomically(const QString &path, const QByteArray &bytes) {
    QString reason;
    if (!ReplaceFileContents(path, bytes, &reason))
        return QStringLiteral("Не удалось записать файл ") + QDir::toNativeSeparators(path) + QStringLiteral(": ") +
               reason;
    return QString();
}

QString SettingsFile::Load(TSettingsRecord &rec, const QString &programDir) {
    const QString path = Path(programDir);
    QString error;
    QFile f(path);
    if (f.exists()) {
        if (f.open(QIODevice::ReadOnly)) {
            rec.setBytes(f.read(TSettingsRecord::kSize));
        } else {
            // Keep the file as it is; work with the defaults of a new file.
            error = QStringLiteral("Не удалось прочитать файл ") + path + QStringLiteral(": ") + f.errorString();
            rec.setBytes(QByteArray());
            rec.setDirectoryDefaults(programDir);
            rec.setValueDefaults();
        }
    } else {
        rec.setBytes(QByteArray());
        rec.setDirectoryDefaults(programDir);
        error = WriteAtomically(path, rec.bytes());
        rec.setValueDefaults();
    }
    rec.fillEmptyDirectories(programDir);
    return error;
}

QString SettingsFile::Save(const TSettingsRecord &rec, const QString &programDir) {
    return WriteAtomically(Path(programDir), rec.bytes());
}

}  // namespace torv
