// The Qualcomm reference family's ^DEBUG parser, table-driven; the sample
// answers of replies/ are read line by line.

#include "modems/common/CellCases.h"
#include "modems/qualcomm/QualcommParsers.h"

#include <gtest/gtest.h>


namespace {

using namespace cellcases;

std::vector<std::string> ReplyLines(const char *name) { return Lines(Reply("qualcomm", name)); }

class DebugAnswer : public ::testing::TestWithParam<CellCase> {};

TEST_P(DebugAnswer, FillsServingAndSecondary)
{
    TDebugReading reading;
    RunLines(GetParam(), [&](const std::string &line, TNetState &state) { parseDebugLine(line, reading, state); });
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DebugAnswer,
    ::testing::Values(
        CellCase{"LteWithNrLegAndSecondaryCarriers", ReplyLines("debug_endc"), Tech::Nr5gNsa,
                 TRadioCell{.rat = Tech::Lte, .mcc = 222, .mnc = 88, .area = 30648, .cellId = 80389889, .pci = 28,
                            .channel = 1650, .band = "B3", .rssi = -50.6, .rsrp = -84.1, .rsrq = -13.6, .sinr = 13.4},
                 TRadioCell{.rat = Tech::Nr5gNsa, .pci = 532, .channel = 638016, .band = "n78", .rsrp = -87.0,
                            .rsrq = -11.0, .sinr = 29.0}},
        CellCase{"NrStandalone", ReplyLines("debug_sa"), Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 202, .mnc = 1, .area = 5615, .cellId = 4946788483, .pci = 363,
                            .channel = 634080, .band = "n78", .rsrp = -83.0, .rsrq = -11.0, .sinr = 8.5}},
        CellCase{"LabelledForm", ReplyLines("debug_labelled"), Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 250, .mnc = 2, .area = 6420, .cellId = 645413 * 256 + 2,
                            .pci = 21, .channel = 2850, .band = "B7", .rssi = -67.4, .rsrp = -98.0, .rsrq = -10.6,
                            .sinr = 2.0}},
        CellCase{"UnknownMeasures",
                 ReplyLines("debug_unknown_measures"), Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .band = "B3"}},
        CellCase{"EnDcLegNotMeasured", ReplyLines("debug_endc_leg_not_measured"), Tech::Nr5gNsa,
                 TRadioCell{.rat = Tech::Lte}},
        CellCase{"NoRatLineNothingRead", ReplyLines("debug_no_rat_line")},
        CellCase{"OtherTechnology", ReplyLines("debug_wcdma")}),
    CaseName);

} // namespace
