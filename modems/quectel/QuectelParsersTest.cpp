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
                 {Reply("quectel", "qeng_lte")},
                 Tech::Lte, kRm5Lte},
        CellCase{"Ec2xLtePlainSinr",
                 {Reply("quectel", "qeng_ec2x_lte_plain_sinr")},
                 Tech::Lte, kEc2xLte},
        CellCase{"TruncatedAfterCqiSinrUnknown",
                 {Reply("quectel", "qeng_truncated_after_cqi_sinr_unknown")},
                 Tech::Lte, WithoutSinr(kEc2xLte)},
        CellCase{"Rm5EnDc",
                 {Reply("quectel", "qeng_serving_header_noconn"),
                  Reply("quectel", "qeng_endc_lte"),
                  Reply("quectel", "qeng_nsa")},
                 Tech::Nr5gNsa,
                 TRadioCell{.rat = Tech::Lte, .mcc = 460, .mnc = 1, .area = 0xDE10, .cellId = 0x5F1EA15, .pci = 12,
                            .channel = 1650, .band = "B3", .rssi = -67.0, .rsrp = -99.0, .rsrq = -12.0, .sinr = 2.0},
                 TRadioCell{.rat = Tech::Nr5gNsa, .mcc = 460, .mnc = 1, .pci = 747, .channel = 627264, .band = "n78",
                            .rsrp = -71.0, .rsrq = -11.0, .sinr = 33.0}},
        CellCase{"EnDcLegConfiguredNotMeasured",
                 {Reply("quectel", "qeng_en_dc_leg_configured_not_measured")}, Tech::Nr5gNsa},
        CellCase{"SatelliteNbIot",
                 {Reply("quectel", "qeng_satellite_nb_iot")},
                 Tech::NbIot, [] { TRadioCell c = kEc2xLte; c.rat = Tech::NbIot; return c; }()},
        CellCase{"NotCampedFillers",
                 {Reply("quectel", "qeng_not_camped_fillers")},
                 Tech::Lte, [] { TRadioCell c = kEc2xLte; c.mcc = c.mnc = {}; c.area = c.cellId = {}; c.rssi = {}; return c; }()},
        CellCase{"Rm5Standalone",
                 {Reply("quectel", "qeng_sa")},
                 Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 460, .mnc = 1, .area = 0x690E0F, .cellId = 0x19013B004,
                            .pci = 299, .channel = 633984, .band = "n78", .rsrp = -107.0, .rsrq = -13.0, .sinr = 2.0}},
        CellCase{"Wcdma",
                 {Reply("quectel", "qeng_wcdma")},
                 Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x5E3F01, .pci = 251,
                            .channel = 10763, .rscp = -85.0, .ecno = -6.0}},
        CellCase{"Gsm",
                 {Reply("quectel", "qeng_gsm")},
                 Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x3C4D, .pci = 24,
                            .channel = 62, .band = "900", .rssi = -67.0}},
        CellCase{"CatMLimitedWithDashes",
                 {Reply("quectel", "qeng_cat_m_limited_with_dashes")}, Tech::LteM,
                 TRadioCell{.rat = Tech::LteM, .mcc = 262, .mnc = 1, .channel = 6300, .band = "B20", .rsrp = -98.0}},
        CellCase{"Searching", {Reply("quectel", "qeng_searching")}},
        CellCase{"NeighbourLine", {Reply("quectel", "qeng_neighbour_intra")},
                 Tech::Unknown, {}, {}, {}, false},
        CellCase{"OtherCommand", {Reply("quectel", "qcsq_other_command")}, Tech::Unknown, {}, {}, {}, false}),
    CaseName);

class QengNeighbour : public ::testing::TestWithParam<CellCase> {};

TEST_P(QengNeighbour, AppendsNeighbours) { RunQeng(GetParam(), parseQengNeighbour); }

INSTANTIATE_TEST_SUITE_P(
    Replies, QengNeighbour,
    ::testing::Values(
        CellCase{"Rm5IntraAndInter",
                 {Reply("quectel", "qeng_neighbour_intra"),
                  Reply("quectel", "qeng_neighbour"),
                  Reply("quectel", "qeng_neighbour_inter_unmeasured")},
                 Tech::Lte, {}, {},
                 {{Tech::Lte, 38950, 276, -65.0, -88.0, -3.0, {}, {}}, {Tech::Lte, 39148, {}, {}, {}, {}, {}, {}},
                  {Tech::Lte, 37900, {}, {}, {}, {}, {}, {}}},
                 true, Tech::Lte},
        CellCase{"LteModeWcdmaAndGsm",
                 {Reply("quectel", "qeng_neighbour_wcdma"),
                  Reply("quectel", "qeng_neighbour_gsm_in_lte")},
                 Tech::Lte, {}, {},
                 {{Tech::Umts, 10763, 251, {}, {}, {}, -90.0, -8.0}, {Tech::Gsm, 62, 24, -80.0, {}, {}, {}, {}}},
                 true, Tech::Lte},
        CellCase{"WcdmaModeTenths",
                 {Reply("quectel", "qeng_neighbour_wcdma_tenths"),
                  Reply("quectel", "qeng_neighbour_lte_in_wcdma"), Reply("quectel", "qeng_neighbour_gsm_no_blank")},
                 Tech::Umts, {}, {},
                 {{Tech::Umts, 10763, 251, {}, {}, {}, -90.0, -6.5}, {Tech::Lte, 1300, 42, {}, -95.0, -11.0, {}, {}},
                  {Tech::Gsm, {}, 24, -80.0, {}, {}, {}, {}}},
                 true, Tech::Umts},
        CellCase{"GsmModeRxlevIndex", {Reply("quectel", "qeng_neighbour_gsm")},
                 Tech::Gsm, {}, {}, {{Tech::Gsm, 62, 24, -71.0, {}, {}, {}, {}}}, true, Tech::Gsm},
        CellCase{"ListFull", {Reply("quectel", "qeng_neighbour_intra")},
                 Tech::Lte, {}, {}, {}, true, Tech::Lte, {}, kMaxNeighbourCells},
        CellCase{"ServingLine", {Reply("quectel", "qeng_searching")}, Tech::Lte, {}, {}, {}, false, Tech::Lte}),
    CaseName);


} // namespace
