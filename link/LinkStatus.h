// The link status roles: what the link status window shows while an exchange runs.
// Exchange code writes the roles from the worker thread; the window (or the CLI, or a test)
// listens. The model keeps every role's current text so code can read a role back (the purge
// of the handshake stops when the buffer line reads "Чист").
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <mutex>

namespace torv {

// Control names of the link status window.
enum class Role {
    StaticText2,  // current-action text
    StaticText3,  // speed text
    StaticText1,  // percent text
    Label9,       // activity mark
    Label15,      // duration line
    Label3,       // diagnostic line
    Label4,       // error line
    Label5,       // "COM.CmdCou" line
    Label6,       // retry line
    Label10,      // device line
    Label11,      // repeat line
    Label12,      // current-action detail line
    Label13,      // count line
    Label14,      // buffer line
    Edit1,        // modem reply field
    RichEdit1,    // log pane
    RichEdit2,    // sent-bytes pane ("Out")
    RichEdit3,    // received-bytes pane ("In")
    Count
};

const char *RoleName(Role r);
bool IsPane(Role r);

class LinkStatus : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxPaneLines = 2000;

    LinkStatus();

    // Text roles.
    void setText(Role role, const QString &text);
    QString text(Role role) const;
    void setRoleVisible(Role role, bool visible);
    bool roleVisible(Role role) const;

    // Panes (log, sent and received bytes): lines are appended; "add" continues the last line.
    void addLine(Role pane, const QString &line);
    void addToLastLine(Role pane, const QString &piece);
    void clearPane(Role pane);
    QStringList lines(Role pane) const;

    // Progress bar position 0..100 with its percent text.
    void setProgress(int percent);
    int progress() const;

    // When the window was shown (monotonic ms); the duration line counts from it.
    void setShownAt(qint64 ms);
    qint64 shownAt() const;

    // Back to the initial texts of a newly created window.
    void reset();

    // Exchanges ask for the window to be shown (modem dialling) or closed (clock write).
    void requestShow() { emit showRequested(); }
    void requestClose() { emit closeRequested(); }

    // The main window's status bar text ("Прибор не выбран" at first); the modem hang-up appends to it.
    void appendMainStatus(const QString &piece);
    void setMainStatus(const QString &text);
    QString mainStatus() const;

signals:
    void textChanged(int role, const QString &text);
    void visibilityChanged(int role, bool visible);
    void lineAdded(int pane, const QString &line);
    void lastLineExtended(int pane, const QString &piece);
    void paneCleared(int pane);
    void progressChanged(int percent);
    void showRequested();
    void closeRequested();
    void mainStatusChanged(const QString &text);

private:
    static constexpr int kRoles = static_cast<int>(Role::Count);
    mutable std::mutex mutex_;
    std::array<QString, kRoles> texts_;
    std::array<bool, kRoles> visible_{};
    std::array<QStringList, kRoles> panes_;
    int progress_ = 0;
    qint64 shownAt_ = 0;
    QString mainStatus_;
};

}  // namespace torv
