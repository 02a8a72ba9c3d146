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
        CellCase{"SaraR5Mode2Indices", {"+UCGED: 2", Reply("ublox", "ucged_rat"), kUcgedR5Cell, "OK"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 1, .mnc = 1, .area = 0xe8fe, .cellId = 0x1a2d001, .pci = 1,
                            .channel = 2525, .band = "B5", .rsrp = -113.0, .rsrq = -4.5, .sinr = 13.75}},
        CellCase{"LaraR6LteIndexLike",
                 {"+UCGED: 2", "4,0,262,01",
                  "6300,20,100,100,1a2b,1a2b301,350,d60814d1,8001,01,67,19,255,3,1,10,28,-50,-6,0,255,255"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1a2b, .cellId = 0x1a2b301, .pci = 350,
                            .channel = 6300, .band = "B20", .rsrp = -74.0, .rsrq = -10.5}},
        CellCase{"SaraR422DirectDbm", {"+UCGED: 2", "6,262,01", "6300,20,10,10,1a2b,350,-95,-11,13,0,0,0,0,0"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1a2b, .pci = 350, .channel = 6300,
                            .band = "B20", .rsrp = -95.0, .rsrq = -11.0}},
        CellCase{"SaraR422NotMeasuredMinusZero", {"+UCGED: 2", "6,262,01", "6300,20,10,10,1a2b,350,-0,-0,13,0,0,0,0,0"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1a2b, .pci = 350, .channel = 6300,
                            .band = "B20"}},
        CellCase{"LaraR6Gsm", {"+UCGED: 2", "2,262,01", "62,0,3c4d,24,1a2b,01,40,0,32,32,1,0"}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1a2b, .cellId = 0x3c4d, .pci = 24,
                            .channel = 62, .band = "900", .rssi = -71.0}},
        CellCase{"UnknownFillers",
                 {"+UCGED: 2", "6,0,fff,fff",
                  "65535,255,255,255,ffff,fffffff,65535,ffffffff,ffff,ff,255,255,255,255,255,255,255,0,0,0,255,255"},
                 Tech::Lte, TRadioCell{.rat = Tech::Lte}},
        CellCase{"ParticleMode5", {"+RSRP: 476,5110,\"-096.50\",", "+RSRQ: 476,5110,\"-20.00\","}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .pci = 476, .channel = 5110, .rsrp = -96.5, .rsrq = -20.0}},
        CellCase{"Mode5Neighbours",
                 {Reply("ublox", "ucged_mode5"),
                  "+RSRQ: 476,5110,\"-12.00\",310,5110,\"-15.50\",12,6300,\"-18.00\","},
                 Tech::Lte, TRadioCell{.rat = Tech::Lte, .pci = 476, .channel = 5110, .rsrp = -96.5, .rsrq = -12.0},
                 {},
                 {{Tech::Lte, 5110, 310, {}, -101.25, -15.5, {}, {}}, {Tech::Lte, 6300, 12, {}, {}, -18.0, {}, {}}},
                 true, Tech::Unknown, {}, 1},
        CellCase{"OtherModeIsNotRead", {"+UCGED: 0", Reply("ublox", "ucged_rat"), kUcgedR5Cell}},
        CellCase{"UnknownTechnology", {"+UCGED: 2", "9,4,001,01", kUcgedR5Cell}}),
    CaseName);


} // namespace
