// The Telit family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/telit/TelitParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// ---------------------------------------------------------------- Telit #RFSTS

class RfstsServing : public ::testing::TestWithParam<CellCase> {};

TEST_P(RfstsServing, FillsServingOfEachLayout) { RunLines(GetParam(), parseRfstsServing); }

const TRadioCell kTelitCx{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x1A2B301,
                          .channel = 6300, .band = "B20", .rssi = -65.0, .rsrp = -95.0, .rsrq = -10.5};

TRadioCell WithSinr(TRadioCell cell, double sinr)
{
    cell.sinr = sinr;
    return cell;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RfstsServing,
    ::testing::Values(
        CellCase{"Le910V2Turkcell",
                 {Reply("telit", "rfsts_lte")},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 286, .mnc = 1, .area = 0x2242, .cellId = 0x859315,
                            .channel = 6400, .band = "B20", .rssi = -66.0, .rsrp = -100.0, .rsrq = -18.0,
                            .sinr = -5.0}},
        CellCase{"Le910V2RedactedImsi",
                 {Reply("telit", "rfsts_le910_v2_redacted_imsi")},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 286, .mnc = 1, .area = 0x2242, .cellId = 0x859315,
                            .channel = 6400, .band = "B20", .rssi = -66.0, .rsrp = -100.0, .rsrq = -18.0,
                            .sinr = -5.0}},
        CellCase{"Le910CxIndexSinrUnknown",
                 {Reply("telit", "rfsts_le910cx_index_sinr")},
                 Tech::Lte, kTelitCx},
        CellCase{"Le910CxNegativeSinrIsDb",
                 {Reply("telit", "rfsts_le910cx_negative_sinr")},
                 Tech::Lte, WithSinr(kTelitCx, -3.0)},
        CellCase{"Lm960NoSinr",
                 {Reply("telit", "rfsts_lm960")},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 310, .mnc = 410, .area = 0x8C65, .cellId = 0xA14666A,
                            .channel = 5110, .band = "B12", .rssi = -60.0, .rsrp = -90.0, .rsrq = -9.0}},
        CellCase{"WcdmaActiveSet",
                 {Reply("telit", "rfsts_wcdma_active_set")},
                 Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x5E3F01, .pci = 131,
                            .channel = 10737, .rssi = -80.0, .rscp = -95.0, .ecno = -7.0},
                 {},
                 {{Tech::Umts, 10737, 200, {}, {}, {}, {}, -12.0}, {Tech::Umts, 10762, 301, {}, {}, {}, {}, -15.0}}},
        CellCase{"Gsm",
                 {Reply("telit", "rfsts_gsm")},
                 Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x3C4D, .channel = 62,
                            .band = "900", .rssi = -70.0}},
        CellCase{"NoImsiNoLayout", {Reply("telit", "rfsts_no_imsi")}},
        CellCase{"OtherCommand", {Reply("telit", "servinfo")}}),
    CaseName);


} // namespace
