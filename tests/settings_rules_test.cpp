// The exact rules behind the main window's settings: height, integer text, gauge, titles, error text.
#include "settings_rules.h"
#include "texts.h"

#include <gtest/gtest.h>

TEST(HeightForWidth, RoundsFourFifthsToNearest) {
    const std::pair<qint64, qint64> cases[] = {{320, 256},
                                               {1280, 1024},
                                               {10, 8},
                                               {7, 6},
                                               {3, 2},
                                               {0, 0},
                                               {-5, -4},
                                               {-7, -6},
                                               {-3, -2},
                                               {999, 799},
                                               {1000, 800},
                                               {2147483647, 1717986918},
                                               {-2147483648LL, -1717986918}};
    for (const auto& [w, h] : cases) EXPECT_EQ(HeightForWidth(w), h) << "width " << w;
}

TEST(StrToInt32, AcceptsOnlyPlainDecimalIntegers) {
    const std::pair<const char*, std::optional<int>> cases[] = {{"320", 320},
                                                                {"  42", 42},
                                                                {"+7", 7},
                                                                {"-5", -5},
                                                                {"007", 7},
                                                                {"2147483647", 2147483647},
                                                                {"-2147483648", int(-2147483648LL)},
                                                                {"", std::nullopt},
                                                                {" ", std::nullopt},
                                                                {"-", std::nullopt},
                                                                {"abc", std::nullopt},
                                                                {"3.5", std::nullopt},
                                                                {"1.000", std::nullopt},
                                                                {"1,000", std::nullopt},
                                                                {"12 ", std::nullopt},
                                                                {"2147483648", std::nullopt},
                                                                {"-2147483649", std::nullopt},
                                                                {"99999999999999999999", std::nullopt},
                                                                {"\t5", std::nullopt},
                                                                {"0x10", std::nullopt},
                                                                {"+-3", std::nullopt}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(StrToInt32(QString::fromUtf8(text)), expected) << text;
}

TEST(NotAnIntegerMessage, QuotesTheText) {
    UseGermanTexts();  // the text of the window's error box
    EXPECT_EQ(NotAnIntegerMessage(QString()), QStringLiteral("'' ist kein gültiger Integerwert"));
    EXPECT_EQ(ErrorBoxText(NotAnIntegerMessage(QStringLiteral("abc"))),
              QStringLiteral("'abc' ist kein gültiger Integerwert."));
}

TEST(GaugePercent, TruncatesAndHandlesZeroMaximum) {
    const std::tuple<int, int, int> cases[] = {
        {0, 0, 0},   {0, 4, 0},  {1, 4, 25}, {2, 4, 50},        {3, 4, 75},
        {4, 4, 100}, {2, 3, 66}, {1, 3, 33}, {9999, 10000, 99}, {2147483647, 2147483647, 100}};
    for (const auto& [progress, maximum, percent] : cases)
        EXPECT_EQ(GaugePercent(progress, maximum), percent) << progress << "/" << maximum;
}

TEST(ErrorBoxText, AppendsFullStopOnlyAfterCharactersAboveIt) {
    EXPECT_EQ(ErrorBoxText(QStringLiteral("Fehler")), QStringLiteral("Fehler."));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("Fehler.")), QStringLiteral("Fehler."));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("(x)")), QStringLiteral("(x)"));  // ')' is below '.'
    EXPECT_EQ(ErrorBoxText(QStringLiteral("a-")), QStringLiteral("a-"));    // '-' is below '.'
    EXPECT_EQ(ErrorBoxText(QStringLiteral("a/")), QStringLiteral("a/."));   // '/' is above '.'
    EXPECT_EQ(ErrorBoxText(QStringLiteral("Größe ä")), QStringLiteral("Größe ä."));
    EXPECT_EQ(ErrorBoxText(QString()), QString());
}

TEST(ApplicationTitleFor, NameWithoutFolderAndExtensionInTitleCase) {
    EXPECT_EQ(ApplicationTitleFor(QStringLiteral("C:/Programme/BILDORO.EXE")), QStringLiteral("Bildoro"));
    EXPECT_EQ(ApplicationTitleFor(QStringLiteral("/usr/bin/bildoro")), QStringLiteral("Bildoro"));
    EXPECT_EQ(ApplicationTitleFor(QStringLiteral("/opt/my.tool.bin")), QStringLiteral("My.tool"));
}
