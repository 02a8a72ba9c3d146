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
const std::string kFm350LteRow = Reply("fibocom", "gtccinfo_endc_lte");
const std::string kFm350NrRow = Reply("fibocom", "gtccinfo_endc_nr");

INSTANTIATE_TEST_SUITE_P(
    Replies, GtccinfoLine,
    ::testing::Values(
        CellCase{"Fm350Fixture",
                 {Reply("fibocom", "gtccinfo_header"), Reply("fibocom", "gtccinfo_serving"), "",
                  Reply("fibocom", "gtccinfo_neighbour"), Reply("fibocom", "gtccinfo_neighbour_fillers"), "", "OK"},
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
        CellCase{"WcdmaIdentityOnly", {Reply("fibocom", "gtccinfo_wcdma")}, Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x5E3F01, .pci = 131,
                            .channel = 10737}},
        CellCase{"NotRows", {Reply("fibocom", "gtccinfo_header"), Reply("fibocom", "gtccinfo_unknown_rat"),
                             Reply("fibocom", "gtccinfo_short"), "OK"}}),
    CaseName);


} // namespace
