#include "RynUtils.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct IntegerCase {
    const char *name;
    std::string input;
    std::int32_t expected;
    std::string rest;
};

class CutIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(CutIntegerTest, ReadsValueAndLeavesRest)
{
    const IntegerCase &c = GetParam();
    std::string s = c.input;
    EXPECT_EQ(CutInteger(s, -9999), c.expected);
    EXPECT_EQ(s, c.rest);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CutIntegerTest,
    ::testing::Values(IntegerCase{"NegativeWithTail", "-12abc", -12, "abc"},
                      IntegerCase{"NoDigits", "abc", -9999, "abc"},
                      IntegerCase{"Empty", "", -9999, ""},
                      IntegerCase{"LoneMinus", "-", -9999, "-"},
                      IntegerCase{"MinusThenLetter", "-x5", -9999, "-x5"},
                      IntegerCase{"LeadingBlankNotSkipped", " 17", -9999, " 17"},
                      IntegerCase{"StopsAtComma", "17,99", 17, ",99"},
                      IntegerCase{"LeadingZeros", "007 x", 7, " x"},
                      IntegerCase{"PlusNotASign", "+5", -9999, "+5"},
                      IntegerCase{"NineDigits", "123456789,5", 123456789, ",5"},
                      IntegerCase{"TooLongIsUnknownAndRemoved", "12345678901,5", -9999, ",5"},
                      IntegerCase{"TooLongNegative", "-2147483648 7", -9999, " 7"},
                      IntegerCase{"NegativeNineDigits", "-999999999x", -999999999, "x"},
                      IntegerCase{"WholeString", "230", 230, ""}),
    [](const ::testing::TestParamInfo<IntegerCase> &info) { return std::string(info.param.name); });

TEST(CutSpaces, RemovesLeadingBlanksAndTabsOnly)
{
    std::string s = " \t \tab c ";
    CutSpaces(s);
    EXPECT_EQ(s, "ab c ");

    std::string empty;
    CutSpaces(empty);
    EXPECT_EQ(empty, "");

    std::string newline = "\n x";
    CutSpaces(newline);
    EXPECT_EQ(newline, "\n x");

    std::string allBlank = " \t ";
    CutSpaces(allBlank);
    EXPECT_EQ(allBlank, "");
}

TEST(CutWord, TakesUpToBlankCommaOrTabAndKeepsDelimiter)
{
    std::string s = "5A3F  1234";
    std::string word;
    CutWord(s, word);
    EXPECT_EQ(word, "5A3F");
    EXPECT_EQ(s, "  1234");

    s = "abc,def";
    CutWord(s, word);
    EXPECT_EQ(word, "abc");
    EXPECT_EQ(s, ",def");

    s = "tail";
    CutWord(s, word);
    EXPECT_EQ(word, "tail");
    EXPECT_EQ(s, "");

    s = "\tx";
    CutWord(s, word);
    EXPECT_EQ(word, "");
    EXPECT_EQ(s, "\tx");
}

TEST(CutSeparator, RemovesOnlyAPresentSeparator)
{
    std::string s = ",12";
    EXPECT_TRUE(CutSeparator(s, ","));
    EXPECT_EQ(s, "12");
    EXPECT_FALSE(CutSeparator(s, ","));
    EXPECT_EQ(s, "12");
    std::string e;
    EXPECT_FALSE(CutSeparator(e, ","));
}

TEST(TrimControl, RemovesCodesUpTo32AtBothEnds)
{
    EXPECT_EQ(TrimControl("\r\n OK  \r"), "OK");
    EXPECT_EQ(TrimControl(std::string("\0\x01 a b\x1f", 7)), "a b");
    EXPECT_EQ(TrimControl(" \r\n"), "");
    EXPECT_EQ(TrimControl(""), "");
}

TEST(DebugCheck, ThrowsWithMessageWhileSwitchIsOn)
{
    ASSERT_TRUE(RynDebugSwitch()) << "the program starts with the debug switch on";
    try {
        RynDebugCheck("ses peknej jeliman");
        FAIL() << "no exception";
    } catch (const RynException &e) {
        EXPECT_STREQ(e.what(), "ses peknej jeliman");
    }
    SetRynDebugSwitch(false);
    EXPECT_NO_THROW(RynDebugCheck("quiet"));
    SetRynDebugSwitch(true);
}

} // namespace
