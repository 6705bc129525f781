// The device settings report DEVPROG.REP: a fixed-layout text describing one device's whole
// configuration, written from the channel object and image copy of the device kind. The gas-kind
// writer and the dispatch live here; the steam, heat, liquid and propane writers in ProgprnSteam,
// ProgprnHeat, ProgprnFluid and ProgprnC3H8.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace torv {

class ParameterSections;
class TTorv2s;
struct ReportContext;

struct SettingsReportOutput {
    QString directory;                      // settings report directory of the settings record
    ParameterSections *sections = nullptr;  // contract-value blocks; none: the blocks stay empty
    QStringList *textArea = nullptr;        // the report window's text area; a private one when none
};

constexpr const char *kSettingsReportFile = "DEVPROG.REP";
// The report file of a directory: the DEVPROG.REP already there in any letter case, else a new
// "DEVPROG.REP".
QString SettingsReportPath(const QString &directory);

// The report of the device's kind as Windows-1251 text with CR LF line ends. Records the
// start-of-work text, the totals date and (liquid device) the liquid flags in the device object.
QByteArray BuildSettingsReport(TTorv2s &device, ParameterSections *sections, QStringList &textArea);

// Builds the report and replaces DEVPROG.REP with it in one step: the file is either the whole new
// report or left as it was. Returns why it could not be written, in Russian (empty when it was).
QString WriteSettingsReport(TTorv2s &device, const SettingsReportOutput &output);

// Reads DEVPROG.REP back as its list of lines. Returns an error text, empty on success.
QString ReadSettingsReport(const QString &directory, QStringList &lines);

// The gas-kind writer (device kinds other than 'G', 'H', 'L', 'P').
void WriteGasReport(ReportContext &ctx);

}  // namespace torv
