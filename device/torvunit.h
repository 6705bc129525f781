// The device object TTorv2s: the configuration image as read (a general copy and one copy per
// medium class), the device kind derived from it, the converted identity texts, the start-of-work
// text, the gas totals and the five channel objects. One instance lives for the program run.
//
// This file holds the data side. The exchange operations that fill it from a device — Settings,
// ReadDeviceClock, ReadConfiguration (sixteen block reads) and PrepareArchiveTables — come with the
// block reads and the table engine; ReadConfiguration hands the 4096 bytes it read to
// TakeConfigurationImage below.
#pragma once

#include "device/DevData.h"
#include "device/DevDataC3H8.h"
#include "device/DevDataFluid.h"
#include "device/DevDataHeat.h"
#include "device/DevDataSteam.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <array>
#include <memory>

namespace torv {

class Prompts;

// Device kinds; any kind letter other than these four is the multi-medium gas device.
enum DeviceKind : char {
    KindNone = '-',
    KindSteam = 'G',
    KindHeat = 'H',
    KindLiquid = 'L',
    KindPropane = 'P',
};

// What ReadConfiguration knows about the link when it hands over the image.
struct ConfigurationLink {
    QString linkType;       // "RS232", "RS232M", "RS485", "RS232L"
    bool linkOpen = false;  // link open flag
    QString serialString;   // digits of the serial number of the last handshake
};

class TTorv2s {
public:
    explicit TTorv2s(Prompts *prompts = nullptr);

    // Settings step 1: five fresh channel objects (images of 0xFF, "Нет данных").
    void CreateChannelObjects();
    Prompts *prompts() const { return prompts_; }
    void setPrompts(Prompts *p) { prompts_ = p; }

    // The kind rule: '-' to start with; channels 1…4 in order, 'H' → 'H', 'L' → 'L', 'P' → 'P',
    // 'S' or 'Q' → 'G'; a later channel overrides an earlier one.
    static char DeviceKindOf(const QByteArray &image);
    static bool IsGasKind(char kind);

    // ReadConfiguration steps 4–5 for a freshly read 4096-byte image: all copies and channel
    // objects, the device kind, then on the kind's copy: the factory number from the handshake on a
    // direct RS232 link, the device number on RS485 (written to `deviceNumber`), the converted
    // texts, the factory number cut to its leading digits, and the copy into the kind's channel
    // object. A short image is padded with zeros (the zeroed buffers of failed block reads).
    void TakeConfigurationImage(const QByteArray &image, const ConfigurationLink &link, QString &deviceNumber);

    // The image copy and channel object of the current device kind (general copy and TDevObj for
    // the gas kind).
    QByteArray &KindImage();
    const QByteArray &KindImage() const;
    TDevObjBase &KindChannelObject();
    // The factory number of the kind's copy (after the cut).
    QString FactoryNumber() const;

    // ".usd": the kind's image copy, 4096 raw bytes, device files directory + "T2_" + number + ".usd"
    // (an existing file of that name in any letter case).
    static QString UsdPath(const QString &devDir, const QString &factoryNumber);
    // Writes the kind's copy under its factory number. Returns an error text, empty on success.
    QString SaveUsd(const QString &devDir) const;
    // Reads a device's ".usd" back into the copy and channel object of the image's own kind, which
    // becomes the device kind. Returns an error text (and changes nothing) for a missing, short or
    // long file.
    QString LoadUsd(const QString &devDir, const QString &factoryNumber);

    // Channel objects.
    TDevObj &devObj() { return *devObj_; }
    TDevObjHeat &heat() { return *heat_; }
    TDevObjFluid &fluid() { return *fluid_; }
    TDevObjSteam &steam() { return *steam_; }
    TDevObjC3H8 &c3h8() { return *c3h8_; }
    const TDevObj &devObj() const { return *devObj_; }

    char kind = KindNone;

    // Converted texts (Cp866ToWin mode 1) of the kind's copy.
    QString modelText, configuredBy, ownerText, objectText, programOwner;
    // "HH:00  DD-MM-YYYY" or "Нет", written by the settings report; at most 20 characters.
    QString startOfWork;

    QByteArray image;  // general copy
    std::array<float, 4> gasTotals{};
    QDateTime totalsDate;  // the device date recorded by the settings report
    QByteArray heatImage, fluidImage, steamImage, c3h8Image;

    // Set by the liquid device's settings report: the liquid channel has a pressure / temperature
    // sensor (the liquid archive grid shows those columns).
    uint8_t liquidPressure = 0;
    uint8_t liquidTemperature = 0;

    // Exchange side (with the block reads and the tables):
    //   void Settings(QStringList &report);
    //   bool ReadDeviceClock();
    //   void ReadConfiguration();
    //   void PrepareArchiveTables(const QString &deviceNumber);

private:
    QByteArray &ImageOfKind(char kind);
    TDevObjBase &ChannelObjectOfKind(char kind);
    void FillConvertedTexts(const QByteArray &copy);
    static void CutFactoryNumber(QByteArray &copy);

    Prompts *prompts_;
    std::unique_ptr<TDevObj> devObj_;
    std::unique_ptr<TDevObjHeat> heat_;
    std::unique_ptr<TDevObjFluid> fluid_;
    std::unique_ptr<TDevObjSteam> steam_;
    std::unique_ptr<TDevObjC3H8> c3h8_;
};

// The start of work of an image as a date and hour (BCD hour, day, month, year − 2000); invalid
// when the stamp is unset or not a date.
QDateTime ImageStartOfWork(const QByteArray &image);

}  // namespace torv
