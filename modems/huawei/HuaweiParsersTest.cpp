// The Huawei family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/huawei/HuaweiParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// ---------------------------------------------------------------- Huawei ^MONSC / ^MONNC

class MonscServing : public ::testing::TestWithParam<CellCase> {};

TEST_P(MonscServing, FillsServing) { RunLines(GetParam(), parseMonscServing); }

INSTANTIATE_TEST_SUITE_P(
    Replies, MonscServing,
    ::testing::Values(
        CellCase{"HwFwLte", {Reply("huawei", "monsc_lte")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 460, .mnc = 1, .area = 0x183D, .cellId = 0xA5C933, .pci = 499,
                            .channel = 1650, .rssi = -72.0, .rsrp = -98.0, .rsrq = -5.0}},
        CellCase{"HwFwNr", {Reply("huawei", "monsc_nr")}, Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 460, .mnc = 1, .area = 0x1234AB, .cellId = 0xAB12345678,
                            .pci = 499, .channel = 1650, .rsrp = -80.0, .rsrq = -10.0, .sinr = 32.0}},
        CellCase{"NrInvalidMarkers", {Reply("huawei", "monsc_nr_invalid_markers")},
                 Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 460, .mnc = 1, .area = 0x1234AB, .cellId = 0xAB12345678,
                            .pci = 499, .channel = 627264}},
        CellCase{"Wcdma", {Reply("huawei", "monsc_wcdma")}, Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 460, .mnc = 1, .area = 0x1A2B, .cellId = 0x5E3F01, .pci = 301,
                            .channel = 10700, .rssi = -70.0, .rscp = -85.0, .ecno = -6.0}},
        CellCase{"GsmIdleEmptyFields", {Reply("huawei", "monsc_gsm_empty_fields")}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 460, .mnc = 1, .area = 0x1A2B, .cellId = 0x3C4D, .pci = 24,
                            .channel = 62, .band = "900", .rssi = -67.0}},
        CellCase{"LteOutOfRange", {Reply("huawei", "monsc_lte_out_of_range")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 460, .mnc = 1, .area = 0x183D, .cellId = 0xA5C933, .pci = 499,
                            .channel = 1650}},
        CellCase{"NoService", {Reply("huawei", "monsc_none")}},
        CellCase{"NeighbourLine", {Reply("huawei", "monnc_lte")}}),
    CaseName);

class MonncNeighbour : public ::testing::TestWithParam<CellCase> {};

TEST_P(MonncNeighbour, AppendsNeighbours) { RunLines(GetParam(), parseMonncNeighbour); }

INSTANTIATE_TEST_SUITE_P(
    Replies, MonncNeighbour,
    ::testing::Values(
        CellCase{"HwFwGsmAndWcdma",
                 {Reply("huawei", "monnc_gsm"), Reply("huawei", "monnc_gsm_hw_fw"), Reply("huawei", "monnc_wcdma"),
                  Reply("huawei", "monnc_wcdma_2")},
                 Tech::Lte, {}, {},
                 {Gsm(128, 9, -66), Gsm(130, 9, -69), {Tech::Umts, 10750, 301, {}, {}, {}, -78.0, -2.0},
                  {Tech::Umts, 10562, 351, {}, {}, {}, -79.0, -3.0}},
                 true, Tech::Lte, {}, 1},
        CellCase{"LteDecimalPciNrHexPci",
                 {Reply("huawei", "monnc_lte"), Reply("huawei", "monnc_nr")}, Tech::Nr5gSa, {}, {},
                 {{Tech::Lte, 1650, 301, -75.0, -101.0, -12.0, {}, {}},
                  {Tech::Nr5gSa, 627264, 747, {}, -90.0, -11.0, {}, {}}},
                 true, Tech::Nr5gSa},
        CellCase{"ListFull", {Reply("huawei", "monnc_lte")}, Tech::Lte, {}, {}, {}, true, Tech::Lte, {},
                 kMaxNeighbourCells},
        CellCase{"NoneAndServingLine", {Reply("huawei", "monnc_none"), Reply("huawei", "monsc_lte")}}),
    CaseName);


} // namespace
