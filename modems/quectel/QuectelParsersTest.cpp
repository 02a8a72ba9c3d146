// The Quectel family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/quectel/QuectelParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// ---------------------------------------------------------------- +QENG

void RunQeng(const CellCase &c, bool (*parse)(const std::string &, TNetState &))
{
    RunLines(c, [&](const std::string &line, TNetState &s) {
        EXPECT_EQ(parse(line, s), c.recognised) << line;
    });
}

class QengServing : public ::testing::TestWithParam<CellCase> {};

TEST_P(QengServing, FillsServingAndSecondary) { RunQeng(GetParam(), parseQengServing); }

const TRadioCell kRm5Lte{.rat = Tech::Lte, .mcc = 460, .mnc = 1, .area = 0xDE10, .cellId = 0x5F1EA15, .pci = 12,
                         .channel = 1650, .band = "B3", .rssi = -68.0, .rsrp = -100.0, .rsrq = -12.0, .sinr = 2.0};
const TRadioCell kEc2xLte{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0xABCD, .cellId = 0x1A2B3C4, .pci = 123,
                          .channel = 1300, .band = "B3", .rssi = -65.0, .rsrp = -95.0, .rsrq = -10.0, .sinr = 12.0};

TRadioCell WithoutSinr(TRadioCell cell)
{
    cell.sinr.reset();
    return cell;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, QengServing,
    ::testing::Values(
        CellCase{"Rm5Lte",
                 {"+QENG: \"servingcell\",\"NOCONN\",\"LTE\",\"FDD\",460,01,5F1EA15,12,1650,3,5,5,DE10,-100,-12,-68,"
                  "11,0,-32768,27"},
                 Tech::Lte, kRm5Lte},
        CellCase{"Ec2xLtePlainSinr",
                 {"+QENG: \"servingcell\",\"CONNECT\",\"LTE\",\"FDD\",262,01,1A2B3C4,123,1300,3,5,5,ABCD,-95,-10,"
                  "-65,12,30"},
                 Tech::Lte, kEc2xLte},
        CellCase{"TruncatedAfterCqiSinrUnknown",
                 {"+QENG: \"servingcell\",\"CONNECT\",\"LTE\",\"FDD\",262,01,1A2B3C4,123,1300,3,5,5,ABCD,-95,-10,"
                  "-65,12,9,230"},
                 Tech::Lte, WithoutSinr(kEc2xLte)},
        CellCase{"Rm5EnDc",
                 {"+QENG: \"servingcell\",\"NOCONN\"",
                  "+QENG: \"LTE\",\"FDD\",460,01,5F1EA15,12,1650,3,5,5,DE10,-99,-12,-67,11,9,230,-",
                  Reply("quectel", "qeng_nsa")},
                 Tech::Nr5gNsa,
                 TRadioCell{.rat = Tech::Lte, .mcc = 460, .mnc = 1, .area = 0xDE10, .cellId = 0x5F1EA15, .pci = 12,
                            .channel = 1650, .band = "B3", .rssi = -67.0, .rsrp = -99.0, .rsrq = -12.0, .sinr = 2.0},
                 TRadioCell{.rat = Tech::Nr5gNsa, .mcc = 460, .mnc = 1, .pci = 747, .channel = 627264, .band = "n78",
                            .rsrp = -71.0, .rsrq = -11.0, .sinr = 33.0}},
        CellCase{"EnDcLegConfiguredNotMeasured",
                 {"+QENG: \"NR5G-NSA\",460,01,65535,-32768,-32768,-32768"}, Tech::Nr5gNsa},
        CellCase{"SatelliteNbIot",
                 {"+QENG: \"servingcell\",\"CONNECT\",\"NTN NBIoT\",\"FDD\",262,01,1A2B3C4,123,1300,3,5,5,ABCD,-95,"
                  "-10,-65,12,30"},
                 Tech::NbIot, [] { TRadioCell c = kEc2xLte; c.rat = Tech::NbIot; return c; }()},
        CellCase{"NotCampedFillers",
                 {"+QENG: \"servingcell\",\"LIMSRV\",\"LTE\",\"FDD\",000,00,FFFFFFF,123,1300,3,5,5,FFFF,-95,-10,"
                  "-0,12,30"},
                 Tech::Lte, [] { TRadioCell c = kEc2xLte; c.mcc = c.mnc = {}; c.area = c.cellId = {}; c.rssi = {}; return c; }()},
        CellCase{"Rm5Standalone",
                 {"+QENG: \"servingcell\",\"NOCONN\",\"NR5G-SA\",\"TDD\",460,01,19013B004,299,690E0F,633984,78,12,"
                  "-107,-13,2,1,-"},
                 Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 460, .mnc = 1, .area = 0x690E0F, .cellId = 0x19013B004,
                            .pci = 299, .channel = 633984, .band = "n78", .rsrp = -107.0, .rsrq = -13.0, .sinr = 2.0}},
        CellCase{"Wcdma",
                 {"+QENG: \"servingcell\",\"NOCONN\",\"WCDMA\",262,01,1A2B,5E3F01,10763,251,1,-85,-6,-,-,-,-,-"},
                 Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x5E3F01, .pci = 251,
                            .channel = 10763, .rscp = -85.0, .ecno = -6.0}},
        CellCase{"Gsm",
                 {"+QENG: \"servingcell\",\"NOCONN\",\"GSM\",262,01,1A2B,3C4D,24,62,0,-67,0,-67,0,30,30,1,-,-,-,-,-,"
                  "-,-,-,-,-"},
                 Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x3C4D, .pci = 24,
                            .channel = 62, .band = "900", .rssi = -67.0}},
        CellCase{"CatMLimitedWithDashes",
                 {"+QENG: \"servingcell\",\"LIMSRV\",\"eMTC\",\"FDD\",262,01,-,-,6300,20,-,-,-,-98,-,-,-"}, Tech::LteM,
                 TRadioCell{.rat = Tech::LteM, .mcc = 262, .mnc = 1, .channel = 6300, .band = "B20", .rsrp = -98.0}},
        CellCase{"Searching", {"+QENG: \"servingcell\",\"SEARCH\""}},
        CellCase{"NeighbourLine", {"+QENG: \"neighbourcell intra\",\"LTE\",38950,276,-3,-88,-65,0,37,7,16,6,44"},
                 Tech::Unknown, {}, {}, {}, false},
        CellCase{"OtherCommand", {"+QCSQ: \"LTE\",-52,-81,195,-10"}, Tech::Unknown, {}, {}, {}, false}),
    CaseName);

class QengNeighbour : public ::testing::TestWithParam<CellCase> {};

TEST_P(QengNeighbour, AppendsNeighbours) { RunQeng(GetParam(), parseQengNeighbour); }

INSTANTIATE_TEST_SUITE_P(
    Replies, QengNeighbour,
    ::testing::Values(
        CellCase{"Rm5IntraAndInter",
                 {"+QENG: \"neighbourcell intra\",\"LTE\",38950,276,-3,-88,-65,0,37,7,16,6,44",
                  Reply("quectel", "qeng_neighbour"),
                  "+QENG: \"neighbourcell inter\",\"LTE\",37900,-,-,-,-,-,0,0,30,6,-,-,-,-"},
                 Tech::Lte, {}, {},
                 {{Tech::Lte, 38950, 276, -65.0, -88.0, -3.0, {}, {}}, {Tech::Lte, 39148, {}, {}, {}, {}, {}, {}},
                  {Tech::Lte, 37900, {}, {}, {}, {}, {}, {}}},
                 true, Tech::Lte},
        CellCase{"LteModeWcdmaAndGsm",
                 {"+QENG: \"neighbourcell\",\"WCDMA\",10763,3,14,2,251,-90,-8,20",
                  "+QENG: \"neighbourcell\",\"GSM\",62,3,10,2,1,0,24,-80,20"},
                 Tech::Lte, {}, {},
                 {{Tech::Umts, 10763, 251, {}, {}, {}, -90.0, -8.0}, {Tech::Gsm, 62, 24, -80.0, {}, {}, {}, {}}},
                 true, Tech::Lte},
        CellCase{"WcdmaModeTenths",
                 {"+QENG: \"neighbourcell\",\"WCDMA\",10763,8,251,-900,-65,1,2,20",
                  "+QENG: \"neighbourcell\",\"LTE\",1300,42,-95,-11,20", "+QENG:\"neighbourcell\",\"GSM\",24,-80,31,5"},
                 Tech::Umts, {}, {},
                 {{Tech::Umts, 10763, 251, {}, {}, {}, -90.0, -6.5}, {Tech::Lte, 1300, 42, {}, -95.0, -11.0, {}, {}},
                  {Tech::Gsm, {}, 24, -80.0, {}, {}, {}, {}}},
                 true, Tech::Umts},
        CellCase{"GsmModeRxlevIndex", {Reply("quectel", "qeng_neighbour_gsm")},
                 Tech::Gsm, {}, {}, {{Tech::Gsm, 62, 24, -71.0, {}, {}, {}, {}}}, true, Tech::Gsm},
        CellCase{"ListFull", {"+QENG: \"neighbourcell intra\",\"LTE\",38950,276,-3,-88,-65,0,37,7,16,6,44"},
                 Tech::Lte, {}, {}, {}, true, Tech::Lte, {}, kMaxNeighbourCells},
        CellCase{"ServingLine", {"+QENG: \"servingcell\",\"SEARCH\""}, Tech::Lte, {}, {}, {}, false, Tech::Lte}),
    CaseName);


} // namespace
