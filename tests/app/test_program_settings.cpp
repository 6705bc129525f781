// The settings window's rules as plain logic: creation from the record, "Применить", the
// command line's kinds, the settings listing and the directories a settings slot can hold.
#include "app/App.h"
#include "app/ProgramSettings.h"
#include "link/Link.h"
#include "sim/SimFixture.h"

#include <gtest/gtest.h>
#include <set>

using namespace torv;
using torvtest::SimBench;

namespace {

QString Kinds(const SettingsControls &c) {
    QString out;
    for (int ch = 1; ch <= 4; ++ch) {
        out += QString::number(ch) + QLatin1Char(':');
        for (int k = 0; k < 3; ++k)
            if (c.kind(ch, k))
                out += QLatin1Char("mdh"[k]);
        out += QLatin1Char(' ');
    }
    return out.trimmed();
}

}  // namespace

TEST(ProgramSettings, KindsOfTheCommandLine) {
    const struct {
        const char *text;
        const char *kinds;  // nullptr: refused
    } cases[] = {
        {"mdh", "1:mdh 2:mdh 3:mdh 4:mdh"},
        {"d", "1:d 2:d 3:d 4:d"},
        {"1:mdh,2:d,3:,4:h", "1:mdh 2:d 3: 4:h"},
        {"2:h", "1:md 2:h 3:md 4:md"},  // channels not named keep their kinds
        {"mdh,md,-,h", "1:mdh 2:md 3: 4:h"},
        {"1:mdh,1:d", nullptr},
        {"5:m", nullptr},
        {"mx", nullptr},
        {"md,h", nullptr},
        {"", nullptr},
    };
    for (const auto &c : cases) {
        SettingsControls s;
        for (int ch = 1; ch <= 4; ++ch) {
            s.setKind(ch, 0, true);
            s.setKind(ch, 1, true);
        }
        const bool ok = ParseKinds(QString::fromLatin1(c.text), s);
        EXPECT_EQ(ok, c.kinds != nullptr) << c.text;
        if (ok && c.kinds) {
            EXPECT_EQ(Kinds(s), QString::fromLatin1(c.kinds)) << c.text;
        }
    }
}

TEST(ProgramSettings, ApplyKeepsTheLimitsAndChangesOnlyItsFields) {
    SimBench b;
    TSettingsRecord &s = b.app.settings;
    s.setByteAt(0xCAA1, 0x5A);  // a byte no control edits
    s.setByteAt(TSettingsRecord::UpdateStored, 0);
    const QByteArray before = s.bytes();

    SettingsControls c = CreateSettingsControls(b.app);
    EXPECT_EQ(s.byteAt(TSettingsRecord::UpdateStored), 1);  // forced by the window's creation
    c.comIndex = 4;
    c.depth = QStringLiteral("75");
    c.linkMode = LinkModeModem;
    c.modemWait = 200;
    c.setKind(3, 2, true);
    const QStringList notes = ApplySettingsControls(b.app, c);
    EXPECT_EQ(notes.size(), 2);
    EXPECT_EQ(s.comPort(), 5);
    EXPECT_EQ(s.depth(), 60);
    EXPECT_EQ(s.modemWait(), 150);
    EXPECT_EQ(s.linkMode(), LinkModeModem);
    EXPECT_EQ(s.byteAt(TSettingsRecord::ModemChosen), 1);
    EXPECT_TRUE(s.archiveKind(3, 2));
    c.depth = QStringLiteral("0");
    ApplySettingsControls(b.app, c);
    EXPECT_EQ(s.depth(), 1);

    // Only the fields of the controls changed.
    const QByteArray after = s.bytes();
    const std::set<int> edited{TSettingsRecord::ComPort,      TSettingsRecord::ComPort + 1,
                               TSettingsRecord::Depth,        TSettingsRecord::ModemWait,
                               TSettingsRecord::LinkMode,     TSettingsRecord::ModemChosen,
                               TSettingsRecord::UpdateStored, TSettingsRecord::ArchiveKinds + 8};
    for (int i = 0; i < TSettingsRecord::kSize; ++i)
        if (!edited.count(i)) {
            EXPECT_EQ(before[i], after[i]) << "byte " << i;
        }

    // A field that is not a number leaves port, answer time and depth as they were.
    c.answerTime = QStringLiteral("abc");
    c.comIndex = 9;
    EXPECT_EQ(ApplySettingsControls(b.app, c).size(), 2);
    EXPECT_EQ(s.comPort(), 5);
}

TEST(ProgramSettings, AnotherLinkTypeClosesTheOldLinkFirst) {
    SimBench b;
    OpenLink(b.app);
    ASSERT_TRUE(b.app.link.port);
    SettingsControls c = CreateSettingsControls(b.app);
    EXPECT_EQ(b.app.link.linkType, LinkType::RS232);
    c.linkMode = LinkModeRs485;
    c.useAddress = true;
    c.address = QStringLiteral("7");
    ApplySettingsControls(b.app, c);
    EXPECT_FALSE(b.app.link.port);  // the port is released before the bus takes the line
    EXPECT_EQ(b.app.link.linkType, LinkType::RS485);
    EXPECT_EQ(b.app.settings.rs485Address(), 7);
    EXPECT_EQ(b.app.link.rs485Address, 7);
    c.address = QStringLiteral("0");
    ApplySettingsControls(b.app, c);
    EXPECT_EQ(b.app.link.linkType, LinkType::RS232L);

    // The link takes its type from the settings' mode when it opens.
    b.app.settings.setLinkMode(LinkModeDirect);
    OpenLink(b.app);
    EXPECT_EQ(b.app.link.linkType, LinkType::RS232);
    EXPECT_EQ(b.app.link.linkOpen, 1);
    b.app.settings.setLinkMode(LinkModeRs485);
    OpenLink(b.app);
    EXPECT_FALSE(b.app.link.port);
    EXPECT_EQ(b.app.link.linkOpen, 0);
}

TEST(ProgramSettings, ListingNamesEverySettingLikeTheOptions) {
    SimBench b;
    b.app.settings.setDirectoryDefaults(b.dir.path());
    const QStringList lines = DescribeSettings(b.app);
    QStringList names;
    for (const QString &l : lines)
        names << l.section(QLatin1Char('='), 0, 0);
    EXPECT_EQ(names, (QStringList{"link-mode", "link-type", "port", "port-target", "rs485-address", "answer-time",
                                  "depth", "kinds", "param-archive", "modem-wait", "dial", "gsm", "data-dir", "dev-dir",
                                  "report-dir", "settings-report-dir", "last-device", "phone"}));
    EXPECT_TRUE(lines.contains(QStringLiteral("link-mode=direct (1)")));
    EXPECT_TRUE(lines.contains(QStringLiteral("depth=59")));
    EXPECT_TRUE(lines.contains(QStringLiteral("kinds=1:md,2:md,3:md,4:md")));
    EXPECT_TRUE(lines.contains(QStringLiteral("port-target=/dev/ttyS0")));
}

TEST(ProgramSettings, DirectoriesTheSettingsFileCannotHoldAreRefused) {
    EXPECT_TRUE(TSettingsRecord::CheckProgramDir(QStringLiteral("/home/инженер/torv")).isEmpty());
    EXPECT_TRUE(TSettingsRecord::CheckProgramDir(QStringLiteral("/") + QString(239, QLatin1Char('a'))).isEmpty());
    const QString tooLong = QStringLiteral("/") + QString(240, QLatin1Char('a'));
    EXPECT_TRUE(TSettingsRecord::CheckProgramDir(tooLong).contains(QStringLiteral("длиннее 240")))
        << TSettingsRecord::CheckProgramDir(tooLong).toStdString();
    const QString greek = QStringLiteral("/home/αβγ");
    EXPECT_TRUE(TSettingsRecord::CheckProgramDir(greek).contains(QStringLiteral("Windows-1251")));
    EXPECT_TRUE(TSettingsRecord::CheckProgramDir(greek).contains(greek));
}
