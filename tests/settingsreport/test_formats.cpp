// Value formats of the settings report.
#include "settingsreport/ReportFormats.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace torv;

TEST(ReportFormats, DeviceTimeStamp) {
    const struct {
        DeviceStamp stamp;
        const char *text;
    } cases[] = {
        {{0x09, 0x01, 0x03, 0x21}, "09:00  01-03-2021"},
        {{0x23, 0x31, 0x12, 0x95}, "23:00  31-12-1995"},  // years above 90 are of the last century
        {{0x00, 0x15, 0x06, 0x90}, "00:00  15-06-2090"},
        {{0x00, 0x15, 0x06, 0x91}, "00:00  15-06-1991"},
        {{0xFF, 0x01, 0x01, 0x20}, "Нет"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DeviceTimeStamp(c.stamp), QString::fromUtf8(c.text)) << c.text;
}

TEST(ReportFormats, ShiftedStartOfWork) {
    const struct {
        DeviceStamp stamp;
        int contractHour;
        DeviceStamp shifted;
    } cases[] = {
        {{0x00, 0x31, 0x12, 0x20}, 10, {0x10, 0x31, 0x12, 0x20}},
        {{0x10, 0x31, 0x12, 0x20}, 20, {0x06, 0x01, 0x01, 0x21}},
        {{0x23, 0x28, 0x02, 0x24}, 1, {0x00, 0x29, 0x02, 0x24}},  // leap day
        {{0x10, 0x31, 0x12, 0x20}, 0, {0x10, 0x31, 0x12, 0x20}},  // contract hour 0: not shifted
        {{0x10, 0x31, 0x12, 0x20}, 24, {0x10, 0x31, 0x12, 0x20}},
        {{0xFF, 0x31, 0x12, 0x20}, 10, {0xFF, 0x31, 0x12, 0x20}},  // not set
        {{0x10, 0x45, 0x13, 0x20}, 10, {0x10, 0x45, 0x13, 0x20}},  // no calendar date: as stored
    };
    for (const auto &c : cases)
        EXPECT_EQ(ShiftedStartOfWork(c.stamp, c.contractHour), c.shifted) << c.contractHour;
    EXPECT_EQ(DeviceTimeStamp(ShiftedStartOfWork({0x10, 0x31, 0x12, 0x20}, 20)), QStringLiteral("06:00  01-01-2021"));
}

TEST(ReportFormats, FixedCoefficient) {
    const struct {
        double v;
        const char *text;
    } cases[] = {
        {12.5, "12.500000"},        {2.5, "2.500000"},         {0, "0.000000"},        {1234.5678, "1234.570000"},
        {3.14159265, "3.141590"},   {0.000123456, "0.000123"}, {998.2f, "998.200000"}, {999999.4, "999999.000000"},
        {12345678, "1.23457E+007"}, {-7.25, "-7.250000"},      {std::nan(""), ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FixedCoefficient(c.v), QString::fromLatin1(c.text)) << c.v;
}

TEST(ReportFormats, HoldSeconds) {
    EXPECT_EQ(HoldSeconds(0), 0);
    EXPECT_EQ(HoldSeconds(229), 30);  // 30.02
    EXPECT_EQ(HoldSeconds(38), 5);    // 4.98
    EXPECT_EQ(HoldSeconds(65535), 8590);
}

TEST(ReportFormats, RightAligned) {
    EXPECT_EQ(RightAligned(20.0, 4, 10), QStringLiteral("   20.0000"));
    EXPECT_EQ(RightAligned(-1.5, 2, 10), QStringLiteral("     -1.50"));
    EXPECT_EQ(RightAligned(-0.0000001, 2, 10), QStringLiteral("      0.00"));  // no "-0.00"
    EXPECT_EQ(RightAligned(12345678901.0, 1, 10), QStringLiteral("12345678901.0"));
    EXPECT_EQ(RightAligned(std::nan(""), 2, 10), QString(10, QLatin1Char(' ')));
    EXPECT_EQ(RightAlignedText(QStringLiteral("[мА]"), 7), QStringLiteral("   [мА]"));
    EXPECT_EQ(Dashes(3), QStringLiteral("---"));
}
