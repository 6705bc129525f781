#include "link/LinkStatus.h"

namespace torv {

const char *RoleName(Role r) {
    static const char *names[] = {"StaticText2", "StaticText3", "StaticText1", "Label9",    "Label15",   "Label3",
                                  "Label4",      "Label5",      "Label6",      "Label10",   "Label11",   "Label12",
                                  "Label13",     "Label14",     "Edit1",       "RichEdit1", "RichEdit2", "RichEdit3"};
    int i = static_cast<int>(r);
    return i >= 0 && i < static_cast<int>(Role::Count) ? names[i] : "?";
}

bool IsPane(Role r) { return r == Role::RichEdit1 || r == Role::RichEdit2 || r == Role::RichEdit3; }

// The main window's status bar starts as the window does, with no device chosen; a hang-up
// appends " Связь разорвана" to this text, never to an empty one.
LinkStatus::LinkStatus() : mainStatus_(QStringLiteral("Прибор не выбран")) { reset(); }

void LinkStatus::reset() {
    {
        std::lock_guard lock(mutex_);
        for (auto &t : texts_)
            t.clear();
        for (auto &p : panes_)
            p.clear();
        visible_.fill(true);
        texts_[int(Role::StaticText2)] = QStringLiteral("Настройка");
        texts_[int(Role::StaticText3)] = QStringLiteral("0");
        texts_[int(Role::StaticText1)] = QStringLiteral("0%");
        texts_[int(Role::Label9)] = QStringLiteral("-");
        texts_[int(Role::Label15)] = QStringLiteral("Длительность опроса: ");
        texts_[int(Role::Label4)] = QStringLiteral("--------");
        texts_[int(Role::Label5)] = QStringLiteral("COM.CmdCou");
        visible_[int(Role::Label4)] = false;
        progress_ = 0;
    }
    for (int i = 0; i < kRoles; ++i) {
        if (IsPane(Role(i)))
            emit paneCleared(i);
        else
            emit textChanged(i, text(Role(i)));
        emit visibilityChanged(i, roleVisible(Role(i)));
    }
    emit progressChanged(0);
}

void LinkStatus::setText(Role role, const QString &text) {
    {
        std::lock_guard lock(mutex_);
        if (texts_[int(role)] == text)
            return;
        texts_[int(role)] = text;
    }
    emit textChanged(int(role), text);
}

QString LinkStatus::text(Role role) const {
    std::lock_guard lock(mutex_);
    return texts_[int(role)];
}

void LinkStatus::setRoleVisible(Role role, bool visible) {
    {
        std::lock_guard lock(mutex_);
        visible_[int(role)] = visible;
    }
    emit visibilityChanged(int(role), visible);
}

bool LinkStatus::roleVisible(Role role) const {
    std::lock_guard lock(mutex_);
    return visible_[int(role)];
}

void LinkStatus::addLine(Role pane, const QString &line) {
    {
        std::lock_guard lock(mutex_);
        QStringList &p = panes_[int(pane)];
        p.append(line);
        if (p.size() > kMaxPaneLines)
            p.removeFirst();
    }
    emit lineAdded(int(pane), line);
}

void LinkStatus::addToLastLine(Role pane, const QString &piece) {
    {
        std::lock_guard lock(mutex_);
        QStringList &p = panes_[int(pane)];
        if (p.isEmpty())
            p.append(QString());
        p.last() += piece;
    }
    emit lastLineExtended(int(pane), piece);
}

void LinkStatus::clearPane(Role pane) {
    {
        std::lock_guard lock(mutex_);
        panes_[int(pane)].clear();
    }
    emit paneCleared(int(pane));
}

QStringList LinkStatus::lines(Role pane) const {
    std::lock_guard lock(mutex_);
    return panes_[int(pane)];
}

void LinkStatus::setProgress(int percent) {
    percent = qBound(0, percent, 100);
    {
        std::lock_guard lock(mutex_);
        progress_ = percent;
        texts_[int(Role::StaticText1)] = QString::number(percent) + QLatin1Char('%');
    }
    emit progressChanged(percent);
    emit textChanged(int(Role::StaticText1), QString::number(percent) + QLatin1Char('%'));
}

int LinkStatus::progress() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

void LinkStatus::setShownAt(qint64 ms) {
    std::lock_guard lock(mutex_);
    shownAt_ = ms;
}

void LinkStatus::appendMainStatus(const QString &piece) {
    QString text;
    {
        std::lock_guard lock(mutex_);
        mainStatus_ += piece;
        text = mainStatus_;
    }
    emit mainStatusChanged(text);
}

void LinkStatus::setMainStatus(const QString &text) {
    {
        std::lock_guard lock(mutex_);
        mainStatus_ = text;
    }
    emit mainStatusChanged(text);
}

QString LinkStatus::mainStatus() const {
    std::lock_guard lock(mutex_);
    return mainStatus_;
}

qint64 LinkStatus::shownAt() const {
    std::lock_guard lock(mutex_);
    return shownAt_;
}

}  // namespace torv
