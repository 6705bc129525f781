// The settings record: the 51924-byte image of Torv2a.ini in the program directory.
// Integers are little-endian; a string slot of capacity n is a length byte and n cp1251 bytes.
// Areas the program does not use are kept byte for byte.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace torv {

class TSettingsRecord {
public:
    static constexpr int kSize = 51924;
    static constexpr const char *kFileName = "Torv2a.ini";

    // Offsets of the fields.
    enum Offset : int {
        ConnectAtStart = 0x0000,
        ModemWait = 0x0008,
        DataDir = 0x000C,
        ReportDir = 0x0107,
        DevDir = 0x0202,
        UnusedDir = 0x02FD,
        SettingsReportDir = 0x03F8,
        Rs485Address = 0xCA9C,
        ShowSettingsAfterConnect = 0xCAA4,
        UpdateStored = 0xCAA5,
        ComPort = 0xCAA8,
        ArchiveKinds = 0xCAAC,
        LinkMode = 0xCAB9,
        ModemChosen = 0xCABA,
        PulseDial = 0xCABB,
        GsmModem = 0xCABC,
        AnswerTime = 0xCAC0,
        Depth = 0xCAC4,
        LastDevice = 0xCAC8,
        ParamArchive = 0xCAD3,
    };
    static constexpr int kDirCapacity = 250;
    static constexpr int kLastDeviceCapacity = 10;

    TSettingsRecord();

    const QByteArray &bytes() const { return data_; }
    void setBytes(const QByteArray &bytes);  // a short image fills the beginning

    // Raw access.
    uint8_t byteAt(int offset) const;
    void setByteAt(int offset, uint8_t v);
    int32_t int32At(int offset) const;
    void setInt32At(int offset, int32_t v);
    QString stringAt(int offset, int capacity) const;
    // Texts longer than the slot are cut to its capacity (in cp1251 bytes).
    void setStringAt(int offset, int capacity, const QString &text);

    // Named fields.
    QString dataDir() const { return stringAt(DataDir, kDirCapacity); }
    QString reportDir() const { return stringAt(ReportDir, kDirCapacity); }
    QString devDir() const { return stringAt(DevDir, kDirCapacity); }
    QString settingsReportDir() const { return stringAt(SettingsReportDir, kDirCapacity); }
    void setDataDir(const QString &s) { setStringAt(DataDir, kDirCapacity, s); }
    void setReportDir(const QString &s) { setStringAt(ReportDir, kDirCapacity, s); }
    void setDevDir(const QString &s) { setStringAt(DevDir, kDirCapacity, s); }
    void setSettingsReportDir(const QString &s) { setStringAt(SettingsReportDir, kDirCapacity, s); }

    int comPort() const { return int32At(ComPort); }
    void setComPort(int n) { setInt32At(ComPort, n); }
    int linkMode() const { return byteAt(LinkMode); }  // 1 direct RS232, 2 modem, 3 RS485
    void setLinkMode(int m) { setByteAt(LinkMode, uint8_t(m)); }
    int answerTime() const { return int32At(AnswerTime); }  // 55 ms units
    int depth() const { return int32At(Depth); }            // days, 1…60
    int modemWait() const { return int32At(ModemWait); }    // seconds
    int rs485Address() const { return int32At(Rs485Address); }
    bool archiveKind(int channel, int kind) const;  // channel 1…4; kind 0 monthly, 1 daily, 2 hourly
    void setArchiveKind(int channel, int kind, bool on);
    QString lastDevice() const { return stringAt(LastDevice, kLastDeviceCapacity); }
    void setLastDevice(const QString &n) { setStringAt(LastDevice, kLastDeviceCapacity, n); }
    bool updateStored() const { return byteAt(UpdateStored) != 0; }
    bool paramArchive() const { return byteAt(ParamArchive) != 0; }
    bool showSettingsAfterConnect() const { return byteAt(ShowSettingsAfterConnect) == 1; }
    bool connectAtStart() const { return byteAt(ConnectAtStart) != 0; }
    bool pulseDial() const { return byteAt(PulseDial) == 1; }
    bool gsmModem() const { return byteAt(GsmModem) == 1; }

    // Why a directory cannot be kept in a directory slot (empty when it can): every slot holds
    // Windows-1251 text of at most 250 bytes. `what` names the directory in the message.
    static QString CheckDirectoryText(const QString &path, const QString &what);
    // Why a program directory cannot be used (empty when it can): its default directories
    // (the longest is DIR + "/Data/Dev/") must fit the slots.
    static QString CheckProgramDir(const QString &programDir);

    // Directory defaults for a program directory (without trailing separator).
    static QString DefaultDataDir(const QString &programDir);
    static QString DefaultReportDir(const QString &programDir);
    static QString DefaultDevDir(const QString &programDir);
    static QString DefaultSettingsReportDir(const QString &programDir);

    // The four directory slots set to their defaults (first stage of a new file).
    void setDirectoryDefaults(const QString &programDir);
    // Each empty directory slot set to its default.
    void fillEmptyDirectories(const QString &programDir);
    // The remaining values of a new file (second stage, in memory only).
    void setValueDefaults();

private:
    QByteArray data_;
};

// Loading and saving Torv2a.ini.
struct SettingsFile {
    // Loads the record of `programDir`, creating the file when it is missing.
    // Returns an error text (empty on success); on error the record holds the defaults.
    static QString Load(TSettingsRecord &rec, const QString &programDir);
    // Writes the record atomically (temporary file + rename); returns an error text or empty.
    static QString Save(const TSettingsRecord &rec, const QString &programDir);
    // The Torv2a.ini of the program directory, an existing one found in any letter case.
    static QString Path(const QString &programDir);
};

}  // namespace torv
