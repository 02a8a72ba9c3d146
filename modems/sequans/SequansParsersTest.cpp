// The Sequans family's parser, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/sequans/SequansParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

class SqnmoniLine : public ::testing::TestWithParam<CellCase> {};

TEST_P(SqnmoniLine, FillsTheServingCell) { RunLines(GetParam(), parseSqnmoniLine); }

INSTANTIATE_TEST_SUITE_P(
    Replies, SqnmoniLine,
    ::testing::Values(
        CellCase{"CellIdAndBand", {Reply("sequans", "sqnmoni_band"), "OK"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 525, .mnc = 1, .area = 678, .cellId = 0xB36BC27, .pci = 472,
                            .channel = 3716, .band = "B8", .rssi = -55.02, .rsrp = -78.4, .rsrq = -15.6}},
        CellCase{"NameWithBlankAndCinr", {Reply("sequans", "sqnmoni_cinr")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 204, .mnc = 8, .area = 64503, .pci = 176, .channel = 6400,
                            .rssi = -74.52, .rsrp = -90.0, .rsrq = -7.7, .sinr = 18.0}},
        CellCase{"NumericName", {Reply("sequans", "sqnmoni_numeric_name")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 204, .mnc = 16, .area = 31, .pci = 222, .channel = 3700,
                            .rssi = -59.52, .rsrp = -80.2, .rsrq = -12.9, .sinr = 0.0}},
        CellCase{"HexTacAndFillers",
                 {Reply("sequans", "sqnmoni_hex_tac_fillers")},
                 Tech::Lte, TRadioCell{.rat = Tech::Lte, .area = 0x1A2B, .channel = 6300, .rsrq = -10.0}},
        CellCase{"NameOnly", {Reply("sequans", "sqnmoni_name_only"), Reply("sequans", "sqnmoni_empty")}},
        CellCase{"OtherCommand", {Reply("sequans", "moni_telit")}}),
    CaseName);

} // namespace
