#include "base/CodePage.h"

#include <gtest/gtest.h>

using namespace torv;

TEST(CodePage, Cp866ToWinByteRule) {
    const struct {
        uint8_t in;
        int mode;
        uint8_t out;
    } cases[] = {
        {0x80, 1, 0xC0}, {0xAF, 1, 0xEF}, {0xB0, 1, 0xB0}, {0xDF, 1, 0xDF}, {0xE0, 1, 0xF0}, {0xEF, 1, 0xFF},
        {0xF0, 1, 0xF0}, {0xF1, 1, 0xF1}, {'7', 1, '7'},   {'A', 1, 'A'},   {0x7F, 1, 0x7F}, {0xC0, 0, 0x80},
        {0xEF, 2, 0xAF}, {0xF0, 0, 0xE0}, {0xFF, 0, 0xEF}, {0xBF, 0, 0xBF}, {0xA8, 0, 0xA8}, {'0', 0, '0'},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Cp866ToWin(c.in, c.mode), c.out) << int(c.in) << " mode " << c.mode;
    // The 64 letters go there and back.
    for (int b = 0xC0; b <= 0xFF; ++b)
        EXPECT_EQ(Cp866ToWin(Cp866ToWin(uint8_t(b), 0), 1), b);
}

TEST(CodePage, TextConversions) {
    const QString text = QStringLiteral("Торв-2 ГАЗ ёЁ №");
    const QByteArray win = ToCp1251(text);
    EXPECT_EQ(win, QByteArray::fromHex("d2eef0e22d3220c3c0c720b8a820b9"));
    EXPECT_EQ(FromCp1251(win), text);
    const QByteArray dos = ToCp866(QStringLiteral("Торв"));
    EXPECT_EQ(dos, QByteArray::fromHex("92aee0a2"));
    EXPECT_EQ(FromCp866(dos), QStringLiteral("Торв"));
    EXPECT_EQ(FromCp1251(Cp866ToWin(dos, 1)), QStringLiteral("Торв"));
    // A character without a cp1251 form never becomes a silent empty string.
    EXPECT_EQ(ToCp1251(QStringLiteral("a€b")).size(), 3);
    EXPECT_EQ(ToCp1251(QStringLiteral("a\u4e2db")).size(), 3);
}
