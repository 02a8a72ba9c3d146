// The Design family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/design/DesignParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// ---------------------------------------------------------------- the design's family

// A cycle's design-family lines in the order the session runs them, then the
// general cells; the record starts the cycle all invalid.
struct RowsCase {
    const char *name;
    std::function<void(TNetState &)> cycle;
    CellCase expected;
};

void PrintTo(const RowsCase &c, std::ostream *os) { *os << c.name; }

class DesignFamilyCells : public ::testing::TestWithParam<RowsCase> {};

TEST_P(DesignFamilyCells, RowsBecomeGeneralCells)
{
    TNetState s = Start(GetParam().expected);
    GetParam().cycle(s);
    TNetState e = Expected(GetParam().expected);
    e.cells = s.cells; // the rows are the design parsers' business
    EXPECT_EQ(s.rat, e.rat);
    EXPECT_EQ(s.serving, e.serving);
    EXPECT_EQ(s.neighbours, e.neighbours);
    EXPECT_TRUE(s == e);
}

const std::string kMoni = Reply("design", "moni_serving");
const TRadioCell kMoniCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 2, .area = 0x0084, .cellId = 0x4A3E,
                           .channel = 1011, .band = "900", .rssi = -79.0};
const std::vector<TNeighbourCell> kMonpCells{{Tech::Gsm, 653, {}, -84.0, {}, {}, {}, {}},
                                             {Tech::Gsm, 660, {}, -90.0, {}, {}, {}, {}}};

void Monp(TNetState &s)
{
    parseMonpNeighbour(Reply("design", "monp_line"), 0, s);
    parseMonpNeighbour("  660  20  -90  262  07   3    16  16", 1, s);
}

std::string RowsName(const ::testing::TestParamInfo<RowsCase> &info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Cycles, DesignFamilyCells,
    ::testing::Values(
        RowsCase{"IdentityBeforeRows",
                 [](TNetState &s) {
                     parseMoniCellIdentity(kMoni, s);
                     parseMoniServing(kMoni, s);
                     Monp(s);
                     FillCellsFromRows(s);
                 },
                 {"", {}, Tech::Gsm, kMoniCell, {}, kMonpCells}},
        RowsCase{"IdentityAfterRowsAndFilledTwice",
                 [](TNetState &s) {
                     parseMoniServing(kMoni, s);
                     Monp(s);
                     FillCellsFromRows(s);
                     parseMoniCellIdentity(kMoni, s);
                     FillCellsFromRows(s);
                 },
                 {"", {}, Tech::Gsm, kMoniCell, {}, kMonpCells}},
        RowsCase{"NotRegistered",
                 [](TNetState &s) {
                     const std::string line = Reply("design", "moni_unregistered");
                     parseMoniCellIdentity(line, s);
                     parseMoniServing(line, s);
                     Monp(s);
                     FillCellsFromRows(s);
                 },
                 {"", {}, Tech::Unknown, {}, {}, kMonpCells}},
        RowsCase{"HeaderIsNoIdentity",
                 [](TNetState &s) { parseMoniCellIdentity("chann rs  dBm  MCC  MNC  BCC  C1  C2 x y", s); },
                 {}},
        RowsCase{"Bgs5ChannelOfNoBand",
                 [](TNetState &s) {
                     parseSmonpNeighbour("200,17,-100,262,02,4,5,33,33,0084,4A3E", 0, s);
                     parseSmonpNeighbour("1017,17,-101,262,02,4,5,33,33,0084,4A3F", 1, s);
                     FillCellsFromRows(s);
                 },
                 {"", {}, Tech::Gsm, TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 2, .channel = 200, .rssi = -100.0},
                  {}, {{Tech::Gsm, 1017, {}, -101.0, {}, {}, {}, {}}}}}),
    RowsName);


} // namespace
