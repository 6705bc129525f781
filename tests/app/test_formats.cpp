#include "base/Formats.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace torv;

// Whatever locale the user has, the program's texts keep dd.mm.yyyy and ".".
TEST(Formats, IndependentOfTheLocale) {
    for (QLocale::Language lang : {QLocale::Russian, QLocale::German, QLocale::English}) {
        QLocale::setDefault(QLocale(lang));
        EXPECT_EQ(FormatDate(QDate(2020, 2, 7)), QStringLiteral("07.02.2020"));
        EXPECT_EQ(FormatDateTime(QDateTime(QDate(2019, 3, 14), QTime(9, 5, 7))), QStringLiteral("14.03.2019 09:05:07"));
        EXPECT_EQ(FormatFixed(1234.5, 3), QStringLiteral("1234.500"));
        EXPECT_EQ(FormatFixed(-0.0125, 4), QStringLiteral("-0.0125"));
        EXPECT_EQ(FormatGeneral(0.196133), QStringLiteral("0.196133"));
        EXPECT_EQ(ParseDate(QStringLiteral("29.02.2020")), QDate(2020, 2, 29));
        EXPECT_FALSE(ParseDate(QStringLiteral("2020-02-29")).isValid());
        EXPECT_FALSE(ParseDate(QStringLiteral("31.02.2020")).isValid());
    }
    FixProcessFormats();
    EXPECT_EQ(QLocale().decimalPoint(), QStringLiteral("."));
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", 3.25);
    EXPECT_STREQ(buf, "3.25");
}
