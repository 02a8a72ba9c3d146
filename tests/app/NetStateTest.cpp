#include "NetState.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <utility>

// Whole-record failures print every field, so a diff shows what moved.
void PrintTo(const TCellRow &r, std::ostream *os)
{
    *os << (r.valid ? "valid" : "invalid") << " ch=" << r.channel << " rs=" << r.rssi << " dBm=" << r.dbm
        << " C1=" << r.c1 << " MCC=" << r.mcc << " MNC=" << r.mnc;
}

void PrintTo(const TNetState &s, std::ostream *os)
{
    auto flag = [](bool v) { return v ? "" : "(invalid)"; };
    *os << "{signal=" << s.signal << flag(s.signalValid) << " ber=" << s.ber << flag(s.berValid)
        << " reg=" << s.registration << flag(s.registrationValid) << " act=" << s.activity << flag(s.activityValid)
        << " name=\"" << s.operatorName << "\"" << flag(s.operatorNameValid) << " code=\"" << s.operatorCode << "\""
        << flag(s.operatorCodeValid);
    for (int i = 0; i < kNetStateCellCount; ++i) {
        *os << "\n  row " << i << ": ";
        PrintTo(s.cells[i], os);
    }
    *os << "}";
}

namespace {

enum class Start { AllInvalid, AllValid };

// Values no parser produces by accident, so a field that was not written
// cannot pass for one that was.
TNetState Prefilled(Start start)
{
    TNetState s;
    s.signal = 77;
    s.ber = 66;
    s.registration = 55;
    s.activity = 44;
    s.operatorName = "Old Name";
    s.operatorCode = "00000";
    for (int i = 0; i < kNetStateCellCount; ++i)
        s.cells[i] = TCellRow{true, 1000 + i, 10 + i, -110 + i, 20 + i, 900 + i, 90 + i};
    const bool valid = start == Start::AllValid;
    s.signalValid = s.berValid = s.registrationValid = s.activityValid = valid;
    s.operatorNameValid = s.operatorCodeValid = valid;
    for (TCellRow &row : s.cells)
        row.valid = valid;
    return s;
}

// One answer line, the record the parser starts from, and what it must
// change in that record (nothing, when change is empty).
struct LineCase {
    const char *name;
    std::string line;
    std::function<void(TNetState &)> change;
    Start start = Start::AllInvalid;
    int index = 0; // for the neighbour parsers
};

void PrintTo(const LineCase &c, std::ostream *os) { *os << "\"" << c.line << "\" (index " << c.index << ")"; }

std::string CaseName(const ::testing::TestParamInfo<LineCase> &info) { return info.param.name; }

TNetState Expected(const LineCase &c)
{
    TNetState e = Prefilled(c.start);
    if (c.change)
        c.change(e);
    return e;
}

void Signal(TNetState &s, int signal, int ber)
{
    s.signal = signal;
    s.ber = ber;
    s.signalValid = s.berValid = true;
}

// ---------------------------------------------------------------- +CSQ

class CsqExec : public ::testing::TestWithParam<LineCase> {};

TEST_P(CsqExec, FillsSignalAndBitErrorRate)
{
    TNetState s = Prefilled(GetParam().start);
    parseCsqExec(GetParam().line, s);
    EXPECT_EQ(s, Expected(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CsqExec,
    ::testing::Values(
        LineCase{"Typical", "+CSQ: 17,99", [](TNetState &s) { Signal(s, 53, 0); }},
        LineCase{"NothingKnown", "+CSQ: 99,99", [](TNetState &s) { Signal(s, 0, 0); }},
        LineCase{"Strongest", "+CSQ: 31,0", [](TNetState &s) { Signal(s, 96, 0); }},
        LineCase{"Weakest", "+CSQ: 1,7", [](TNetState &s) { Signal(s, 3, 7); }},
        LineCase{"OutOfRange", "+CSQ: 32,8", [](TNetState &s) { Signal(s, 0, 0); }},
        LineCase{"Negative", "+CSQ: -1,-1", [](TNetState &s) { Signal(s, 0, 0); }},
        LineCase{"BlanksAroundNumbers", "\r\n+CSQ:  20 , 3 \r", [](TNetState &s) { Signal(s, 62, 3); }},
        LineCase{"NotNumbers", "+CSQ: ab,1x", [](TNetState &s) { Signal(s, 0, 0); }},
        LineCase{"ThirdField", "+CSQ: 20,3,1", [](TNetState &s) { Signal(s, 62, 0); }},
        LineCase{"TooLongIsUnknown", "+CSQ: 99999999999999999999,2",
                 [](TNetState &s) {
                     Signal(s, 0, 2);
                     s.signalValid = false;
                 }},
        LineCase{"TooLongBerIsUnknown", "+CSQ: 17,-2147483649",
                 [](TNetState &s) {
                     Signal(s, 53, 0);
                     s.berValid = false;
                 }},
        LineCase{"ReplacesValidValues", "+CSQ: 10,1", [](TNetState &s) { Signal(s, 31, 1); }, Start::AllValid},
        LineCase{"NoComma", "+CSQ: 17", {}, Start::AllValid},
        LineCase{"NoColon", "+CSQ 17,99", {}},
        LineCase{"Empty", "", {}}),
    CaseName);

// ---------------------------------------------------------------- +COPS

class CopsRead : public ::testing::TestWithParam<LineCase> {};

TEST_P(CopsRead, FillsOperatorNameOrCode)
{
    TNetState s = Prefilled(GetParam().start);
    parseCopsRead(GetParam().line, s);
    EXPECT_EQ(s, Expected(GetParam()));
}

void Name(TNetState &s, const std::string &name)
{
    s.operatorName = name;
    s.operatorNameValid = true;
}
void Code(TNetState &s, const std::string &code)
{
    s.operatorCode = code;
    s.operatorCodeValid = true;
}
void Unknown(TNetState &s)
{
    s.operatorName = "?";
    s.operatorCode = "?";
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CopsRead,
    ::testing::Values(
        LineCase{"LongName", "+COPS: 0,0,\"Vodafone.de\"", [](TNetState &s) { Name(s, "Vodafone.de"); }},
        LineCase{"Numeric", "+COPS: 0,2,\"26202\"", [](TNetState &s) { Code(s, "26202"); }},
        LineCase{"NumericThreeDigitMnc", "+COPS: 0,2,\"310260\"", [](TNetState &s) { Code(s, "310260"); }},
        LineCase{"NameWithBlanks", "+COPS: 0,0,\"T-Mobile D\"", [](TNetState &s) { Name(s, "T-Mobile D"); }},
        LineCase{"NameWithCommaAndAccessTechnology", "+COPS: 1,0,\"Orange, F\",2",
                 [](TNetState &s) {
                     Name(s, "Orange, F");
                     s.copsRat = TRadioTech::Umts;
                 }},
        LineCase{"EnDcAccessTechnology", "+COPS: 0,0,\"CHINA MOBILE\",13",
                 [](TNetState &s) {
                     Name(s, "CHINA MOBILE");
                     s.copsRat = TRadioTech::Nr5gNsa;
                 }},
        LineCase{"StandaloneNrNoSpace", "+COPS:0,2,\"99970\",11",
                 [](TNetState &s) {
                     Code(s, "99970");
                     s.copsRat = TRadioTech::Nr5gSa;
                 }},
        LineCase{"LteMAccessTechnology", "+COPS: 0,0,\"Orange F\",8",
                 [](TNetState &s) {
                     Name(s, "Orange F");
                     s.copsRat = TRadioTech::LteM;
                 }},
        LineCase{"NbIotAccessTechnology", "+COPS: 0,2,\"26201\", 9 ",
                 [](TNetState &s) {
                     Code(s, "26201");
                     s.copsRat = TRadioTech::NbIot;
                 }},
        LineCase{"UnknownAccessTechnology", "+COPS: 0,2,\"26201\",14", [](TNetState &s) { Code(s, "26201"); }},
        LineCase{"AccessTechnologyNotANumber", "+COPS: 0,0,\"Telekom.de\",x7",
                 [](TNetState &s) { Name(s, "Telekom.de"); }},
        LineCase{"NameKeptUntrimmed", "+COPS: 0,0,\" E-Plus \"", [](TNetState &s) { Name(s, " E-Plus "); }},
        LineCase{"BlanksAroundFormat", "+COPS: 0, 2 ,\"23415\"", [](TNetState &s) { Code(s, "23415"); }},
        LineCase{"ReplacesValidName", "+COPS: 0,0,\"O2 - DE\"", [](TNetState &s) { Name(s, "O2 - DE"); },
                 Start::AllValid},
        LineCase{"EmptyOperatorLeavesFlagsInvalid", "+COPS: 0,0,\"\"", Unknown},
        LineCase{"EmptyOperatorLeavesFlagsValid", "+COPS: 0,2,\"\"", Unknown, Start::AllValid},
        LineCase{"ModeAlone", "+COPS: 0",
                 [](TNetState &s) {
                     Name(s, "?");
                     Code(s, "?");
                 }},
        LineCase{"ModeAloneDeregistered", "+COPS: 2\r",
                 [](TNetState &s) {
                     Name(s, "?");
                     Code(s, "?");
                 }},
        LineCase{"ShortAlphanumericFormatIgnored", "+COPS: 0,1,\"VF DE\"", {}},
        LineCase{"FormatNotANumber", "+COPS: 0,x,\"VF DE\"", {}},
        LineCase{"NoQuotedOperator", "+COPS: 0,0", {}, Start::AllValid},
        LineCase{"UnquotedOperator", "+COPS: 0,2,26202", {}},
        LineCase{"UnclosedQuote", "+COPS: 0,0,\"Vodafone", {}},
        LineCase{"NoColon", "+COPS 0", {}}),
    CaseName);

// ---------------------------------------------------------------- +CREG

class CregRead : public ::testing::TestWithParam<LineCase> {};

TEST_P(CregRead, FillsRegistration)
{
    TNetState s = Prefilled(GetParam().start);
    parseCregRead(GetParam().line, s);
    EXPECT_EQ(s, Expected(GetParam()));
}

std::function<void(TNetState &)> Registration(int value)
{
    return [value](TNetState &s) {
        s.registration = value;
        s.registrationValid = true;
    };
}

INSTANTIATE_TEST_SUITE_P(Replies, CregRead,
                         ::testing::Values(LineCase{"NotRegistered", "+CREG: 0,0", Registration(0)},
                                           LineCase{"Home", "+CREG: 0,1", Registration(1)},
                                           LineCase{"Searching", "+CREG: 1,2", Registration(2)},
                                           LineCase{"Roaming", "+CREG: 0,5", Registration(5)},
                                           LineCase{"UnknownStat", "+CREG: 0,6", Registration(-1)},
                                           LineCase{"BlanksAroundStat", "+CREG: 0, 3 ", Registration(3)},
                                           LineCase{"LocationFields", "+CREG: 2,1,\"00C3\",\"0000B7A1\"",
                                                    Registration(1)},
                                           LineCase{"LocationAndAccessTechnology",
                                                    "+CREG: 2,5,\"1A2B\",\"00C3D4\",0", Registration(5)},
                                           LineCase{"LocationWithUnknownStat", "+CREG: 2,9,\"1A2B\",\"00C3D4\"",
                                                    Registration(-1)},
                                           LineCase{"NotANumber", "+CREG: 0,x", Registration(-1)},
                                           LineCase{"TooLongIsUnknown", "+CREG: 0,2147483648",
                                                    [](TNetState &s) { s.registration = -1; }},
                                           LineCase{"TooLongStaysUnknown", "+CREG: 0,99999999999",
                                                    [](TNetState &s) {
                                                        s.registration = -1;
                                                        s.registrationValid = false;
                                                    },
                                                    Start::AllValid},
                                           LineCase{"StatMissing", "+CREG: 0,", Registration(-1)},
                                           LineCase{"NoComma", "+CREG: 1", {}, Start::AllValid},
                                           LineCase{"NoColon", "+CREG 0,1", {}}),
                         CaseName);

// ---------------------------------------------------------------- +CPAS

class CpasExec : public ::testing::TestWithParam<LineCase> {};

TEST_P(CpasExec, FillsActivity)
{
    TNetState s = Prefilled(GetParam().start);
    parseCpasExec(GetParam().line, s);
    EXPECT_EQ(s, Expected(GetParam()));
}

std::function<void(TNetState &)> Activity(int value)
{
    return [value](TNetState &s) {
        s.activity = value;
        s.activityValid = true;
    };
}

INSTANTIATE_TEST_SUITE_P(Replies, CpasExec,
                         ::testing::Values(LineCase{"Ready", "+CPAS: 0", Activity(0)},
                                           LineCase{"Ringing", "+CPAS: 3", Activity(3)},
                                           LineCase{"CallInProgress", "+CPAS: 4", Activity(4)},
                                           LineCase{"UnknownState", "+CPAS: 2", Activity(-1)},
                                           LineCase{"Unavailable", "+CPAS: 1", Activity(-1)},
                                           LineCase{"ValueMissing", "+CPAS:", Activity(-1)},
                                           LineCase{"ExtraField", "+CPAS: 0,1", Activity(-1)},
                                           LineCase{"TooLongIsUnknown", "+CPAS: -2147483649",
                                                    [](TNetState &s) { s.activity = -1; }},
                                           LineCase{"NoColon", "+CPAS 0", {}, Start::AllValid}),
                         CaseName);

// ---------------------------------------------------------------- cells

std::function<void(TNetState &)> Row(int row, TCellRow value)
{
    return [row, value](TNetState &s) { s.cells[row] = value; };
}
std::function<void(TNetState &)> RowInvalid(int row)
{
    return [row](TNetState &s) { s.cells[row].valid = false; };
}
void NeighboursInvalid(TNetState &s)
{
    for (int row = 1; row < kNetStateCellCount; ++row)
        s.cells[row].valid = false;
}

class MoniServing : public ::testing::TestWithParam<LineCase> {};

TEST_P(MoniServing, FillsRowZero)
{
    TNetState s = Prefilled(GetParam().start);
    parseMoniServing(GetParam().line, s);
    EXPECT_EQ(s, Expected(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MoniServing,
    ::testing::Values(
        LineCase{"Registered", " 1011 29  -79   262  02   0084 4A3E 7   7   33  -105   26 | No connection",
                 Row(0, {true, 1011, 29, -79, 26, 262, 2})},
        LineCase{"ReplacesValidRow", "  514 21 -80 262 07 0061 2B4D 3 1 30 -104 18", Row(0, {true, 514, 21, -80, 18, 262, 7}),
                 Start::AllValid},
        LineCase{"ThreeDigitMnc", "  128 40 -71 310 260 2B01 00C1 5 2 0 -110 39", Row(0, {true, 128, 40, -71, 39, 310, 260})},
        LineCase{"TabsBetweenColumns", "62\t30\t-78\t262\t1\t1A2B\t3C4D\t2\t5\t33\t-105\t27",
                 Row(0, {true, 62, 30, -78, 27, 262, 1})},
        LineCase{"C1Missing", "  62 30 -78 262 01 1A2B 3C4D 2 5 33 -105", Row(0, {true, 62, 30, -78, kMissingInteger, 262, 1})},
        LineCase{"NotRegistered", "   10 21  -80   ---  --   ---- ---- --  --  --  ----  --- | Limited Service",
                 RowInvalid(0), Start::AllValid},
        LineCase{"Searching", "Searching", RowInvalid(0), Start::AllValid},
        LineCase{"EmptyLineOnTimeout", "", RowInvalid(0), Start::AllValid},
        LineCase{"OnlyFourNumbers", " 1011 29 -79 262", RowInvalid(0), Start::AllValid},
        // A number too long to read is unknown and no column moves into
        // its place: the row is not filled from the shifted line.
        LineCase{"TooLongLevelLeavesTheRowUnknown", " 1011 29 -2147483648 262 02 0084 4A3E 7 7 33 -105 26",
                 RowInvalid(0), Start::AllValid},
        LineCase{"TooLongC1IsMissing", " 1011 29 -79 262 02 0084 4A3E 7 7 33 -105 2147483647",
                 Row(0, {true, 1011, 29, -79, kMissingInteger, 262, 2})}),
    CaseName);

class MonpNeighbour : public ::testing::TestWithParam<LineCase> {};

TEST_P(MonpNeighbour, FillsRowAfterIndex)
{
    TNetState s = Prefilled(GetParam().start);
    parseMonpNeighbour(GetParam().line, GetParam().index, s);
    EXPECT_EQ(s, Expected(GetParam()));
}

const char kMonpLine[] = "  653  26  -84  262  07   0    22  22";

INSTANTIATE_TEST_SUITE_P(
    Lines, MonpNeighbour,
    ::testing::Values(
        LineCase{"FirstLine", kMonpLine, Row(1, {true, 653, 26, -84, 22, 262, 7}), Start::AllInvalid, 0},
        LineCase{"SixthLine", "1013 9 -101 262 02 3 -5 -5", Row(6, {true, 1013, 9, -101, -5, 262, 2}), Start::AllValid, 5},
        LineCase{"C1Missing", "660 20 -90 262 07 3", Row(3, {true, 660, 20, -90, kMissingInteger, 262, 7}),
                 Start::AllInvalid, 2},
        LineCase{"ShortLine", "660 20 -90", RowInvalid(2), Start::AllValid, 1},
        LineCase{"SeventhLine", kMonpLine, NeighboursInvalid, Start::AllValid, 6},
        LineCase{"TimeoutIndex", "", NeighboursInvalid, Start::AllValid, -1}),
    CaseName);

class SmonpNeighbour : public ::testing::TestWithParam<LineCase> {};

TEST_P(SmonpNeighbour, FillsRowOfIndex)
{
    TNetState s = Prefilled(GetParam().start);
    parseSmonpNeighbour(GetParam().line, GetParam().index, s);
    EXPECT_EQ(s, Expected(GetParam()));
}

const char kSmonpLine[] = "1017,17,-100,262,02,4,5,33,33,0084,4A3E";

INSTANTIATE_TEST_SUITE_P(
    Lines, SmonpNeighbour,
    ::testing::Values(
        LineCase{"FirstLineIsRowZero", kSmonpLine, Row(0, {true, 1017, 17, -100, 33, 262, 2}), Start::AllInvalid, 0},
        LineCase{"SeventhLineIsRowSix", "52,30,-80,262,03,1,6,-2", Row(6, {true, 52, 30, -80, -2, 262, 3}),
                 Start::AllValid, 6},
        LineCase{"FiveValuesOnly", "52,30,-80,262,03", Row(2, {true, 52, 30, -80, kMissingInteger, 262, 3}),
                 Start::AllInvalid, 2},
        LineCase{"ShortLine", "1017,17,-100", RowInvalid(1), Start::AllValid, 1},
        LineCase{"TooLongLevelLeavesTheRowUnknown", "1017,17,-1000000000000,262,02,4,5,33", RowInvalid(3),
                 Start::AllValid, 3},
        LineCase{"BlankAfterCommaNotSkipped", "1017, 17,-100,262,02,4,5,33", RowInvalid(0), Start::AllValid, 0},
        LineCase{"EighthLineKeepsRowZero", kSmonpLine, NeighboursInvalid, Start::AllValid, 7},
        LineCase{"TimeoutIndex", "", NeighboursInvalid, Start::AllValid, -1}),
    CaseName);

// ---------------------------------------------------------------- a whole cycle

// The lines of one poll cycle, as the session hands them over, into a record
// that starts the cycle all invalid: rows without a line stay invalid.
TEST(PollCycle, MonitorModuleAnswersFillTheRecord)
{
    TNetState s = Prefilled(Start::AllValid);
    s.MarkAllInvalid();
    TNetState expected = s;

    parseCsqExec("+CSQ: 24,0", s);
    parseCopsRead("+COPS: 0,0,\"Telekom.de\"", s);
    parseCopsRead("+COPS: 0,2,\"26201\"", s);
    parseCregRead("+CREG: 0,1", s);
    parseCpasExec("+CPAS: 0", s);
    parseMoniServing("  62 30 -78 262 01 1A2B 3C4D 2 5 33 -105 27 | No connection", s);
    parseMonpNeighbour("  653  26  -84  262  01   0    22  22", 0, s);
    parseMonpNeighbour("  660  20  -90  262  01   3    16  16", 1, s);

    Signal(expected, 75, 0);
    Name(expected, "Telekom.de");
    Code(expected, "26201");
    Registration(1)(expected);
    Activity(0)(expected);
    expected.cells[0] = {true, 62, 30, -78, 27, 262, 1};
    expected.cells[1] = {true, 653, 26, -84, 22, 262, 1};
    expected.cells[2] = {true, 660, 20, -90, 16, 262, 1};
    EXPECT_EQ(s, expected);
}

// ---------------------------------------------------------------- the record

TEST(NetStateRecord, MarkAllInvalidClearsFlagsAndKeepsValues)
{
    TNetState s = Prefilled(Start::AllValid);
    s.MarkAllInvalid();
    EXPECT_EQ(s, Prefilled(Start::AllInvalid));
}

// The parser tests compare whole records; a field that equality missed would
// let a wrong value through unnoticed.
TEST(NetStateRecord, EqualityLooksAtEveryField)
{
    const std::pair<const char *, std::function<void(TNetState &)>> edits[] = {
        {"signal", [](TNetState &s) { ++s.signal; }},
        {"signalValid", [](TNetState &s) { s.signalValid = !s.signalValid; }},
        {"ber", [](TNetState &s) { ++s.ber; }},
        {"berValid", [](TNetState &s) { s.berValid = !s.berValid; }},
        {"registration", [](TNetState &s) { ++s.registration; }},
        {"registrationValid", [](TNetState &s) { s.registrationValid = !s.registrationValid; }},
        {"activity", [](TNetState &s) { ++s.activity; }},
        {"activityValid", [](TNetState &s) { s.activityValid = !s.activityValid; }},
        {"operatorName", [](TNetState &s) { s.operatorName += "x"; }},
        {"operatorNameValid", [](TNetState &s) { s.operatorNameValid = !s.operatorNameValid; }},
        {"operatorCode", [](TNetState &s) { s.operatorCode += "x"; }},
        {"operatorCodeValid", [](TNetState &s) { s.operatorCodeValid = !s.operatorCodeValid; }},
        {"cell valid", [](TNetState &s) { s.cells[6].valid = !s.cells[6].valid; }},
        {"cell channel", [](TNetState &s) { ++s.cells[3].channel; }},
        {"cell rssi", [](TNetState &s) { ++s.cells[3].rssi; }},
        {"cell dbm", [](TNetState &s) { ++s.cells[3].dbm; }},
        {"cell c1", [](TNetState &s) { ++s.cells[3].c1; }},
        {"cell mcc", [](TNetState &s) { ++s.cells[3].mcc; }},
        {"cell mnc", [](TNetState &s) { ++s.cells[0].mnc; }},
    };
    const TNetState base = Prefilled(Start::AllValid);
    for (const auto &[field, edit] : edits) {
        SCOPED_TRACE(field);
        TNetState changed = base;
        edit(changed);
        EXPECT_NE(changed, base);
    }
}

TEST(IntegerOrDefault, AcceptsOnlyAWholeDecimalInteger)
{
    const std::pair<std::string, int> cases[] = {
        {"17", 17},          {"-5", -5},         {"+5", 5},       {"007", 7},        {"", -1},
        {" 1", -1},          {"1 ", -1},         {"1a", -1},      {"-", -1},         {"+-1", -1},
        {"0x1F", -1},        {"2147483647", 2147483647},         {"-2147483648", -2147483647 - 1},
        {"2147483648", -1},  {"99999999999999999999", -1},
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE("\"" + text + "\"");
        EXPECT_EQ(integerOrDefault(text, -1), expected);
    }
}

TEST(BandOfChannel, EdgesOfEachBand)
{
    const std::pair<int, const char *> cases[] = {
        {-1, "?"},   {0, "900"},    {124, "900"},  {125, "?"},     {511, "?"},    {512, "1800"},
        {885, "1800"}, {886, "?"},  {954, "?"},    {955, "900"},   {1023, "900"}, {1024, "?"},
        {kMissingInteger, "?"},
    };
    for (const auto &[channel, band] : cases) {
        SCOPED_TRACE(channel);
        EXPECT_EQ(BandOfChannel(channel), band);
    }
}

} // namespace
