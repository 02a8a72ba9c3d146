// The Nordic nRF91 family's parser, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/nordic/NordicParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

class XmonitorLine : public ::testing::TestWithParam<CellCase> {};

TEST_P(XmonitorLine, FillsTheServingCell) { RunLines(GetParam(), parseXmonitorLine); }

INSTANTIATE_TEST_SUITE_P(
    Replies, XmonitorLine,
    ::testing::Values(
        CellCase{"LteM", {Reply("nordic", "xmonitor_ltem"), "OK"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 95, .area = 0xB7, .cellId = 0x11B07, .pci = 7,
                            .channel = 2300, .band = "B4", .rsrp = -78.0, .sinr = 14.0}},
        CellCase{"NbIot", {Reply("nordic", "xmonitor_nbiot")}, Tech::NbIot,
                 TRadioCell{.rat = Tech::NbIot, .mcc = 525, .mnc = 1, .area = 0x287, .cellId = 0xB2A3127, .pci = 288,
                            .channel = 3716, .band = "B8", .rsrp = -101.0, .sinr = -25.0}},
        CellCase{"NotCampedUnknowns",
                 {Reply("nordic", "xmonitor_not_camped")},
                 Tech::Lte, TRadioCell{.rat = Tech::Lte}},
        CellCase{"Searching", {Reply("nordic", "xmonitor_searching")}},
        CellCase{"Denied", {Reply("nordic", "xmonitor_denied")}},
        CellCase{"OtherTechnology", {Reply("nordic", "xmonitor_gsm_act")}}),
    CaseName);

} // namespace
