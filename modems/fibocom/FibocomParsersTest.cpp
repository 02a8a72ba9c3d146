// The Fibocom family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/fibocom/FibocomParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// ---------------------------------------------------------------- Fibocom +GTCCINFO

class GtccinfoLine : public ::testing::TestWithParam<CellCase> {};

TEST_P(GtccinfoLine, FillsServingAndNeighbours) { RunLines(GetParam(), parseGtccinfoLine); }

const TRadioCell kFm350Lte{.rat = Tech::Lte, .mcc = 262, .mnc = 2, .area = 0x1A2B, .cellId = 0x12345AB, .pci = 42,
                           .channel = 1300, .band = "B3", .rsrp = -91.0, .rsrq = -10.0, .sinr = 8.0};
const TRadioCell kFm350Nr{.rat = Tech::Nr5gNsa, .mcc = 262, .mnc = 2, .area = 0x1A2B, .cellId = 0xABCDEF1,
                          .pci = 500, .channel = 627264, .band = "n78", .sinr = 12.0};
const char kFm350LteRow[] = "1,4,262,2,1A2B,0012345AB,1300,42,103,,8,,50,20";
const char kFm350NrRow[] = "1,9,262,2,1A2B,00ABCDEF1,627264,500,5078,,12,,60,70";

INSTANTIATE_TEST_SUITE_P(
    Replies, GtccinfoLine,
    ::testing::Values(
        CellCase{"Fm350Fixture",
                 {"+GTCCINFO: ", Reply("fibocom", "gtccinfo_serving"), "",
                  Reply("fibocom", "gtccinfo_neighbour"), "2,4,,,FFFF,00FFFFFFF,6300,207,,42,42,15", "", "OK"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 2, .area = 0x1A2B, .cellId = 0x12345AB, .pci = 42,
                            .channel = 100, .rsrp = -112.0, .rsrq = -18.0, .sinr = -7.0},
                 {},
                 {{Tech::Lte, 9460, 71, {}, -98.0, -15.0, {}, {}}, {Tech::Lte, 6300, 207, {}, -99.0, -12.5, {}, {}}}},
        CellCase{"EnDcLteFirst", {kFm350LteRow, kFm350NrRow}, Tech::Nr5gNsa, kFm350Lte, kFm350Nr},
        CellCase{"EnDcNrFirst", {kFm350NrRow, kFm350LteRow}, Tech::Nr5gNsa, kFm350Lte, kFm350Nr},
        CellCase{"NrStandaloneMeasuresOfNoScale", {kFm350NrRow}, Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 262, .mnc = 2, .area = 0x1A2B, .cellId = 0xABCDEF1,
                            .pci = 500, .channel = 627264, .band = "n78", .sinr = 12.0}},
        CellCase{"WcdmaIdentityOnly", {"1,2,262,1,1A2B,5E3F01,10737,131,,,,,40,30"}, Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x5E3F01, .pci = 131,
                            .channel = 10737}},
        CellCase{"NotRows", {"+GTCCINFO: ", "3,4,262,2,1A2B,0012345AB,100,42,,,-7,29,29,4", "1,4,262", "OK"}}),
    CaseName);


} // namespace
