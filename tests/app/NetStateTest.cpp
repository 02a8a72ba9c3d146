#include "NetState.h"
#include "modems/common/CellCases.h"

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

// A sample reply of the design family (modems/design/replies), shared with
// the fuzz target's seeds.
std::string Design(const char *name) { return cellcases::Reply("design", name); }

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
        LineCase{"Typical", Design("csq_typical"), [](TNetState &s) { Signal(s, 53, 0); }},
        LineCase{"NothingKnown", Design("csq_unknown"), [](TNetState &s) { Signal(s, 0, 0); }},
        LineCase{"Strongest", Design("csq_strongest"), [](TNetState &s) { Signal(s, 96, 0); }},
        LineCase{"Weakest", Design("csq_weakest"), [](TNetState &s) { Signal(s, 3, 7); }},
        LineCase{"OutOfRange", Design("csq_out_of_range"), [](TNetState &s) { Signal(s, 0, 0); }},
        LineCase{"Negative", Design("csq_negative"), [](TNetState &s) { Signal(s, 0, 0); }},
        LineCase{"BlanksAroundNumbers", Design("csq_blanks_around_numbers"), [](TNetState &s) { Signal(s, 62, 3); }},
        LineCase{"NotNumbers", Design("csq_not_numbers"), [](TNetState &s) { Signal(s, 0, 0); }},
        LineCase{"ThirdField", Design("csq_third_field"), [](TNetState &s) { Signal(s, 62, 0); }},
        LineCase{"TooLongIsUnknown", Design("csq_too_long_is_unknown"),
                 [](TNetState &s) {
                     Signal(s, 0, 2);
                     s.signalValid = false;
                 }},
        LineCase{"TooLongBerIsUnknown", Design("csq_too_long_ber_is_unknown"),
                 [](TNetState &s) {
                     Signal(s, 53, 0);
                     s.berValid = false;
                 }},
        LineCase{"ReplacesValidValues", Design("csq_replaces_valid_values"), [](TNetState &s) { Signal(s, 31, 1); }, Start::AllValid},
        LineCase{"NoComma", Design("csq_no_comma"), {}, Start::AllValid},
        LineCase{"NoColon", Design("csq_no_colon"), {}},
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
        LineCase{"LongName", Design("cops_name"), [](TNetState &s) { Name(s, "Vodafone.de"); }},
        LineCase{"Numeric", Design("cops_code"), [](TNetState &s) { Code(s, "26202"); }},
        LineCase{"NumericThreeDigitMnc", Design("cops_code_three_digit_mnc"), [](TNetState &s) { Code(s, "310260"); }},
        LineCase{"NameWithBlanks", Design("cops_name_with_blanks"), [](TNetState &s) { Name(s, "T-Mobile D"); }},
        LineCase{"NameWithCommaAndAccessTechnology", Design("cops_name_comma"),
                 [](TNetState &s) {
                     Name(s, "Orange, F");
                     s.copsRat = TRadioTech::Umts;
                 }},
        LineCase{"EnDcAccessTechnology", Design("cops_act"),
                 [](TNetState &s) {
                     Name(s, "CHINA MOBILE");
                     s.copsRat = TRadioTech::Nr5gNsa;
                 }},
        LineCase{"StandaloneNrNoSpace", Design("cops_standalone_nr_no_space"),
                 [](TNetState &s) {
                     Code(s, "99970");
                     s.copsRat = TRadioTech::Nr5gSa;
                 }},
        LineCase{"LteMAccessTechnology", Design("cops_lte_m_access_technology"),
                 [](TNetState &s) {
                     Name(s, "Orange F");
                     s.copsRat = TRadioTech::LteM;
                 }},
        LineCase{"NbIotAccessTechnology", Design("cops_nb_iot_access_technology"),
                 [](TNetState &s) {
                     Code(s, "26201");
                     s.copsRat = TRadioTech::NbIot;
                 }},
        LineCase{"UnknownAccessTechnology", Design("cops_unknown_access_technology"), [](TNetState &s) { Code(s, "26201"); }},
        LineCase{"AccessTechnologyNotANumber", Design("cops_access_technology_not_a_number"),
                 [](TNetState &s) { Name(s, "Telekom.de"); }},
        LineCase{"NameKeptUntrimmed", Design("cops_name_kept_untrimmed"), [](TNetState &s) { Name(s, " E-Plus "); }},
        LineCase{"BlanksAroundFormat", Design("cops_blanks_around_format"), [](TNetState &s) { Code(s, "23415"); }},
        LineCase{"ReplacesValidName", Design("cops_replaces_valid_name"), [](TNetState &s) { Name(s, "O2 - DE"); },
                 Start::AllValid},
        LineCase{"EmptyOperatorLeavesFlagsInvalid", Design("cops_empty"), Unknown},
        LineCase{"EmptyOperatorLeavesFlagsValid", Design("cops_empty_operator_leaves_flags_valid"), Unknown, Start::AllValid},
        LineCase{"ModeAlone", Design("cops_mode_only"),
                 [](TNetState &s) {
                     Name(s, "?");
                     Code(s, "?");
                 }},
        LineCase{"ModeAloneDeregistered", Design("cops_mode_alone_deregistered"),
                 [](TNetState &s) {
                     Name(s, "?");
                     Code(s, "?");
                 }},
        LineCase{"ShortAlphanumericFormatIgnored", Design("cops_short_alphanumeric_format_ignored"), {}},
        LineCase{"FormatNotANumber", Design("cops_format_not_a_number"), {}},
        LineCase{"NoQuotedOperator", Design("cops_no_quoted_operator"), {}, Start::AllValid},
        LineCase{"UnquotedOperator", Design("cops_unquoted_operator"), {}},
        LineCase{"UnclosedQuote", Design("cops_unclosed_quote"), {}},
        LineCase{"NoColon", Design("cops_no_colon"), {}}),
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
                         ::testing::Values(LineCase{"NotRegistered", Design("creg_not_registered"), Registration(0)},
                                           LineCase{"Home", Design("creg_home"), Registration(1)},
                                           LineCase{"Searching", Design("creg_searching"), Registration(2)},
                                           LineCase{"Roaming", Design("creg_roaming"), Registration(5)},
                                           LineCase{"UnknownStat", Design("creg_unknown_stat"), Registration(-1)},
                                           LineCase{"BlanksAroundStat", Design("creg_blanks_around_stat"), Registration(3)},
                                           LineCase{"LocationFields", Design("creg_location"),
                                                    Registration(1)},
                                           LineCase{"LocationAndAccessTechnology",
                                                    Design("creg_location_and_access_technology"), Registration(5)},
                                           LineCase{"LocationWithUnknownStat", Design("creg_location_with_unknown_stat"),
                                                    Registration(-1)},
                                           LineCase{"NotANumber", Design("creg_not_a_number"), Registration(-1)},
                                           LineCase{"TooLongIsUnknown", Design("creg_too_long_is_unknown"),
                                                    [](TNetState &s) { s.registration = -1; }},
                                           LineCase{"TooLongStaysUnknown", Design("creg_too_long_stays_unknown"),
                                                    [](TNetState &s) {
                                                        s.registration = -1;
                                                        s.registrationValid = false;
                                                    },
                                                    Start::AllValid},
                                           LineCase{"StatMissing", Design("creg_stat_missing"), Registration(-1)},
                                           LineCase{"NoComma", Design("creg_no_comma"), {}, Start::AllValid},
                                           LineCase{"NoColon", Design("creg_no_colon"), {}}),
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
                         ::testing::Values(LineCase{"Ready", Design("cpas_ready"), Activity(0)},
                                           LineCase{"Ringing", Design("cpas_ringing"), Activity(3)},
                                           LineCase{"CallInProgress", Design("cpas_call_in_progress"), Activity(4)},
                                           LineCase{"UnknownState", Design("cpas_unknown"), Activity(-1)},
                                           LineCase{"Unavailable", Design("cpas_unavailable"), Activity(-1)},
                                           LineCase{"ValueMissing", Design("cpas_value_missing"), Activity(-1)},
                                           LineCase{"ExtraField", Design("cpas_extra_field"), Activity(-1)},
                                           LineCase{"TooLongIsUnknown", Design("cpas_too_long_is_unknown"),
                                                    [](TNetState &s) { s.activity = -1; }},
                                           LineCase{"NoColon", Design("cpas_no_colon"), {}, Start::AllValid}),
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
        LineCase{"Registered", Design("moni_serving"),
                 Row(0, {true, 1011, 29, -79, 26, 262, 2})},
        LineCase{"ReplacesValidRow", Design("moni_replaces_valid_row"), Row(0, {true, 514, 21, -80, 18, 262, 7}),
                 Start::AllValid},
        LineCase{"ThreeDigitMnc", Design("moni_three_digit_mnc"), Row(0, {true, 128, 40, -71, 39, 310, 260})},
        LineCase{"TabsBetweenColumns", Design("moni_tabs"),
                 Row(0, {true, 62, 30, -78, 27, 262, 1})},
        LineCase{"C1Missing", Design("moni_c1_missing"), Row(0, {true, 62, 30, -78, kMissingInteger, 262, 1})},
        LineCase{"NotRegistered", Design("moni_unregistered"),
                 RowInvalid(0), Start::AllValid},
        LineCase{"Searching", Design("moni_searching"), RowInvalid(0), Start::AllValid},
        LineCase{"EmptyLineOnTimeout", "", RowInvalid(0), Start::AllValid},
        LineCase{"OnlyFourNumbers", Design("moni_four_numbers"), RowInvalid(0), Start::AllValid},
        // A number too long to read is unknown and no column moves into
        // its place: the row is not filled from the shifted line.
        LineCase{"TooLongLevelLeavesTheRowUnknown", Design("moni_too_long_level"),
                 RowInvalid(0), Start::AllValid},
        LineCase{"TooLongC1IsMissing", Design("moni_too_long_c1"),
                 Row(0, {true, 1011, 29, -79, kMissingInteger, 262, 2})}),
    CaseName);

class MonpNeighbour : public ::testing::TestWithParam<LineCase> {};

TEST_P(MonpNeighbour, FillsRowAfterIndex)
{
    TNetState s = Prefilled(GetParam().start);
    parseMonpNeighbour(GetParam().line, GetParam().index, s);
    EXPECT_EQ(s, Expected(GetParam()));
}

const std::string kMonpLine = Design("monp_line");

INSTANTIATE_TEST_SUITE_P(
    Lines, MonpNeighbour,
    ::testing::Values(
        LineCase{"FirstLine", kMonpLine, Row(1, {true, 653, 26, -84, 22, 262, 7}), Start::AllInvalid, 0},
        LineCase{"SixthLine", Design("monp_sixth_line"), Row(6, {true, 1013, 9, -101, -5, 262, 2}), Start::AllValid, 5},
        LineCase{"C1Missing", Design("monp_c1_missing"), Row(3, {true, 660, 20, -90, kMissingInteger, 262, 7}),
                 Start::AllInvalid, 2},
        LineCase{"ShortLine", Design("monp_short"), RowInvalid(2), Start::AllValid, 1},
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

const std::string kSmonpLine = Design("smonp_line");

INSTANTIATE_TEST_SUITE_P(
    Lines, SmonpNeighbour,
    ::testing::Values(
        LineCase{"FirstLineIsRowZero", kSmonpLine, Row(0, {true, 1017, 17, -100, 33, 262, 2}), Start::AllInvalid, 0},
        LineCase{"SeventhLineIsRowSix", Design("smonp_seventh_line"), Row(6, {true, 52, 30, -80, -2, 262, 3}),
                 Start::AllValid, 6},
        LineCase{"FiveValuesOnly", Design("smonp_five_values"), Row(2, {true, 52, 30, -80, kMissingInteger, 262, 3}),
                 Start::AllInvalid, 2},
        LineCase{"ShortLine", Design("smonp_short"), RowInvalid(1), Start::AllValid, 1},
        LineCase{"TooLongLevelLeavesTheRowUnknown", Design("smonp_too_long_level"), RowInvalid(3),
                 Start::AllValid, 3},
        LineCase{"BlankAfterCommaNotSkipped", Design("smonp_blank_after_comma"), RowInvalid(0), Start::AllValid, 0},
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

    parseCsqExec(Design("csq_poll_cycle"), s);
    parseCopsRead(Design("cops_name_telekom"), s);
    parseCopsRead(Design("cops_code_26201"), s);
    parseCregRead(Design("creg_home"), s);
    parseCpasExec(Design("cpas_ready"), s);
    parseMoniServing(Design("moni_no_connection"), s);
    parseMonpNeighbour(Design("monp_line_653"), 0, s);
    parseMonpNeighbour(Design("monp_line_660"), 1, s);

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
