// The Simcom family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/simcom/SimcomParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// ---------------------------------------------------------------- +CPSI

class CpsiRead : public ::testing::TestWithParam<CellCase> {};

TEST_P(CpsiRead, FillsServingAndSecondary) { RunLines(GetParam(), parseCpsiRead); }

const std::string kSim8200Lte = Reply("simcom", "cpsi_lte");
const TRadioCell kSim8200Cell{.rat = Tech::Lte, .mcc = 460, .mnc = 11, .area = 0x5A1E, .cellId = 187214780,
                              .pci = 257, .channel = 1850, .band = "B3", .rssi = -54.5, .rsrp = -85.0,
                              .rsrq = -9.4, .sinr = 15.0};

INSTANTIATE_TEST_SUITE_P(
    Replies, CpsiRead,
    ::testing::Values(
        CellCase{"Sim8200Lte", {kSim8200Lte}, Tech::Lte, kSim8200Cell},
        CellCase{"Sim8200EnDc", {kSim8200Lte, Reply("simcom", "cpsi_nsa")}, Tech::Nr5gNsa,
                 kSim8200Cell,
                 TRadioCell{.rat = Tech::Nr5gNsa, .pci = 644, .channel = 627264, .band = "n78", .rsrp = -96.0,
                            .rsrq = -12.0, .sinr = 9.5}},
        CellCase{"Sim8200Standalone",
                 {Reply("simcom", "cpsi_nr_sa")}, Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 242, .mnc = 12, .area = 0x765D, .cellId = 4955280, .pci = 0,
                            .channel = 640704, .band = "n78", .rsrp = -74.0, .rsrq = -11.0, .sinr = 24.0}},
        CellCase{"CatMPlainUnits",
                 {Reply("simcom", "cpsi_cat_m")},
                 Tech::LteM,
                 TRadioCell{.rat = Tech::LteM, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 26385153, .pci = 311,
                            .channel = 6300, .band = "B20", .rssi = -70.0, .rsrp = -95.0, .rsrq = -10.0, .sinr = 8.0}},
        CellCase{"IndexLikeMeasuresUnknown",
                 {Reply("simcom", "cpsi_index_like")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 460, .mnc = 0, .area = 0x1234, .cellId = 12345, .pci = 100,
                            .channel = 1300, .band = "B3", .sinr = 19.0}},
        CellCase{"Gsm", {Reply("simcom", "cpsi_gsm")}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 15437, .channel = 62,
                            .band = "900", .rssi = -67.0}},
        CellCase{"GsmPcsNoMeasure", {Reply("simcom", "cpsi_gsm_pcs")}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 310, .mnc = 410, .area = 0x1A2B, .cellId = 15437, .channel = 600,
                            .band = "1900"}},
        CellCase{"Wcdma", {Reply("simcom", "cpsi_wcdma")},
                 Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 6160129, .pci = 251,
                            .channel = 10763, .band = "B1", .rscp = -85.0, .ecno = -6.5}},
        CellCase{"LimitedTruncatedNoSpace", {Reply("simcom", "cpsi_limited_truncated")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1A2B}},
        CellCase{"NoService", {Reply("simcom", "cpsi_no_service")}},
        CellCase{"NotCpsi", {Reply("simcom", "cpin_ready")}}),
    CaseName);


} // namespace
