// The Ublox family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/ublox/UbloxParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// ---------------------------------------------------------------- u-blox +UCGED

class UcgedLine : public ::testing::TestWithParam<CellCase> {};

TEST_P(UcgedLine, FillsServingAndNeighboursInEitherMode)
{
    const CellCase &c = GetParam();
    TNetState s = Start(c);
    TUcgedReading reading;
    for (const std::string &line : c.lines)
        parseUcgedLine(line, reading, s);
    ExpectRecord(s, c);
}

const std::string kUcgedR5Cell = Reply("ublox", "ucged_r5_cell");

INSTANTIATE_TEST_SUITE_P(
    Replies, UcgedLine,
    ::testing::Values(
        CellCase{"SaraR5Mode2Indices", {Reply("ublox", "ucged_mode2"),
                                        Reply("ublox", "ucged_rat"), kUcgedR5Cell, "OK"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 1, .mnc = 1, .area = 0xe8fe, .cellId = 0x1a2d001, .pci = 1,
                            .channel = 2525, .band = "B5", .rsrp = -113.0, .rsrq = -4.5, .sinr = 13.75}},
        CellCase{"LaraR6LteIndexLike",
                 {Reply("ublox", "ucged_mode2"), Reply("ublox", "ucged_lara_r6_rat"),
                  Reply("ublox", "ucged_lara_r6_cell")},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1a2b, .cellId = 0x1a2b301, .pci = 350,
                            .channel = 6300, .band = "B20", .rsrp = -74.0, .rsrq = -10.5}},
        CellCase{"SaraR422DirectDbm", {Reply("ublox", "ucged_mode2"), Reply("ublox", "ucged_r422_rat"),
                                       Reply("ublox", "ucged_r422_cell")},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1a2b, .pci = 350, .channel = 6300,
                            .band = "B20", .rsrp = -95.0, .rsrq = -11.0}},
        CellCase{"SaraR422NotMeasuredMinusZero", {Reply("ublox", "ucged_mode2"), Reply("ublox", "ucged_r422_rat"),
                                                  Reply("ublox", "ucged_r422_cell_minus_zero")},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1a2b, .pci = 350, .channel = 6300,
                            .band = "B20"}},
        CellCase{"LaraR6Gsm", {Reply("ublox", "ucged_mode2"), Reply("ublox", "ucged_lara_r6_gsm_rat"),
                               Reply("ublox", "ucged_lara_r6_gsm_cell")}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1a2b, .cellId = 0x3c4d, .pci = 24,
                            .channel = 62, .band = "900", .rssi = -71.0}},
        CellCase{"UnknownFillers",
                 {Reply("ublox", "ucged_mode2"), Reply("ublox", "ucged_fillers_rat"),
                  Reply("ublox", "ucged_fillers_cell")},
                 Tech::Lte, TRadioCell{.rat = Tech::Lte}},
        CellCase{"ParticleMode5", {Reply("ublox", "ucged_mode5_rsrp"), Reply("ublox", "ucged_mode5_rsrq")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .pci = 476, .channel = 5110, .rsrp = -96.5, .rsrq = -20.0}},
        CellCase{"Mode5Neighbours",
                 {Reply("ublox", "ucged_mode5"),
                  Reply("ublox", "ucged_mode5_rsrq_neighbours")},
                 Tech::Lte, TRadioCell{.rat = Tech::Lte, .pci = 476, .channel = 5110, .rsrp = -96.5, .rsrq = -12.0},
                 {},
                 {{Tech::Lte, 5110, 310, {}, -101.25, -15.5, {}, {}}, {Tech::Lte, 6300, 12, {}, {}, -18.0, {}, {}}},
                 true, Tech::Unknown, {}, 1},
        CellCase{"OtherModeIsNotRead", {Reply("ublox", "ucged_mode0"), Reply("ublox", "ucged_rat"), kUcgedR5Cell}},
        CellCase{"UnknownTechnology", {Reply("ublox", "ucged_mode2"),
                                       Reply("ublox", "ucged_unknown_rat"), kUcgedR5Cell}}),
    CaseName);


} // namespace
