// The program settings as the settings window edits them: what its controls show when it is
// created ("Отмена" shows the same again) and what "Применить" writes back into the settings
// record and the link state. The window binds its controls to SettingsControls; the command line
// (`torvmonitor-cli settings`) fills the same structure from its options and applies it with the
// same rules.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace torv {

class App;
class TSettingsRecord;

struct SettingsControls {
    int comIndex = 0;           // position in the "COM" list: port number - 1
    QString answerTime;         // "Время ожидания ответа прибора (мс)" field (55 ms units)
    QString depth;              // "Суток (макс. 60)" field
    int linkMode = 1;           // "Тип связи": 1 direct RS232, 2 modem, 3 RS485
    bool paramArchive = false;  // "Архив параметров прибора"
    std::array<bool, 12> kinds{};  // "М1" "С1" "Ч1" … "М4" "С4" "Ч4"
    bool pulseDial = true;         // "Импульсный" (else "Тоновый")
    bool gsm = false;              // "GSM модем"
    int modemWait = 60;            // "Время ожидания соединения модемов" arrows, 40…150
    bool useAddress = false;       // "Использовать адрес, введенный ниже"
    QString address;               // the address field under that box
    QString storedAddress;         // the stored-address field of the RS485 tab

    bool kind(int channel, int k) const { return kinds[size_t((channel - 1) * 3 + k)]; }
    void setKind(int channel, int k, bool on) { kinds[size_t((channel - 1) * 3 + k)] = on; }
};

// Limits of the controls.
inline constexpr int kMinDepth = 1;
inline constexpr int kMaxDepth = 60;
inline constexpr int kMinModemWait = 40;
inline constexpr int kMaxModemWait = 150;
inline constexpr int kComPorts = 256;

// Link mode names as the command line writes them: direct, modem, rs485.
QString LinkModeName(int linkMode);
int LinkModeFromName(const QString &name);  // 0 when unknown; also takes 1, 2, 3

// The window's creation: controls from the settings record. Also gives the device object its link
// type and RS485 address, forces the update byte to 1, and treats a stored port 0 as port 1.
SettingsControls CreateSettingsControls(App &app);

// "Применить": the controls into the settings record and the link state. The depth is kept
// within 1…60 and the connection wait within 40…150; a link type that changes closes the link
// of the old type first. Returns the notes of values that were adjusted (for the caller to
// show); the record is then written to Torv2a.ini by the caller.
QStringList ApplySettingsControls(App &app, const SettingsControls &c);

// "settings show": one "name=value" line per setting, named like the command line's options.
QStringList DescribeSettings(App &app);

// The archive kinds of a command-line text: "mdh" for every channel, or per channel
// "1:mdh,2:d,3:,4:h" (channels not named keep their kinds), or four comma-separated groups
// "mdh,md,-,h". False for any other text.
bool ParseKinds(const QString &text, SettingsControls &c);
QString KindsText(const TSettingsRecord &s);

}  // namespace torv
