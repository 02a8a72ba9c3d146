// The Cinterion family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/cinterion/CinterionParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// ---------------------------------------------------------------- ^SMONI

class SmoniServing : public ::testing::TestWithParam<CellCase> {};

TEST_P(SmoniServing, FillsServing) { RunLines(GetParam(), parseSmoniServing); }

INSTANTIATE_TEST_SUITE_P(
    Replies, SmoniServing,
    ::testing::Values(
        CellCase{"Ehs6Gsm", {Reply("cinterion", "smoni_ehs6_gsm")}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 3, .area = 0x0139, .cellId = 0x02C9, .pci = 24,
                            .channel = 990, .band = "900", .rssi = -75.0}},
        CellCase{"Ehs6Umts", {Reply("cinterion", "smoni_umts")}, Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 260, .mnc = 1, .area = 0x7D3D, .cellId = 0xC80BC9A, .pci = 131,
                            .channel = 10737, .rscp = -103.0, .ecno = -7.5}},
        CellCase{"MmLte", {Reply("cinterion", "smoni_lte")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 2, .area = 0xBF75, .cellId = 0x0345103, .pci = 350,
                            .channel = 6300, .band = "B20", .rsrp = -94.0, .rsrq = -7.0}},
        CellCase{"LteConnectedNoSpace", {Reply("cinterion", "smoni_lte_no_blank")},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x1A2B3C4, .pci = 123,
                            .channel = 1300, .band = "B3", .rsrp = -95.0, .rsrq = -12.5}},
        CellCase{"Searching", {Reply("cinterion", "smoni_lte_searching"), Reply("cinterion", "smoni_gsm_searching")}},
        CellCase{"NotSmoni", {Reply("cinterion", "smonp_gsm_short")}}),
    CaseName);

// ---------------------------------------------------------------- ^SMONP

class SmonpSection : public ::testing::TestWithParam<CellCase> {};

TEST_P(SmonpSection, AppendsNeighboursOfTheSection)
{
    const CellCase &c = GetParam();
    TNetState s = Start(c);
    TRadioTech section = Tech::Unknown;
    for (const std::string &line : c.lines)
        parseSmonpSection(line, section, s);
    ExpectRecord(s, c);
    EXPECT_EQ(section, c.section);
}


INSTANTIATE_TEST_SUITE_P(
    Replies, SmonpSection,
    ::testing::Values(
        CellCase{"Ehs6",
                 {Reply("cinterion", "smonp_2g_header"), Reply("cinterion", "smonp_2g_row1"),
                  Reply("cinterion", "smonp_2g_row2"),
                  Reply("cinterion", "smonp_2g_row3"), Reply("cinterion", "smonp_2g_row4"),
                  Reply("cinterion", "smonp_2g_row5"), Reply("cinterion", "smonp_2g_row6"), Reply("cinterion", "smonp_3g_header"),
                  Reply("cinterion", "smonp_3g_dashes"), "OK"},
                 Tech::Unknown, {}, {},
                 {Gsm(658, 60, -60), Gsm(666, 57, -64), Gsm(1006, 60, -74), Gsm(1021, 57, -75), Gsm(702, 59, -78),
                  Gsm(654, 61, -79)},
                 true, Tech::Unknown, {}, 0, Tech::Umts},
        CellCase{"UmtsAndLteHeaderWithData",
                 {Reply("cinterion", "smonp_3g_header"), Reply("cinterion", "smonp_3g_row"),
                  Reply("cinterion", "smonp_section_lte")}, Tech::Unknown, {}, {},
                 {{Tech::Umts, 10737, 131, {}, {}, {}, -103.0, -7.5}, {Tech::Lte, 6300, 350, {}, -95.0, -10.0, {}, {}}},
                 true, Tech::Unknown, {}, 0, Tech::Lte},
        CellCase{"BeforeAnyHeader", {Reply("cinterion", "smonp_2g_row1")}}),
    CaseName);


} // namespace
