// The ZTE family's parser, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/threegpp/ThreeGppParsers.h"
#include "modems/zte/ZteParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// Both commands of the cycle, in either order.
class ZcellinfoLine : public ::testing::TestWithParam<CellCase> {};

TEST_P(ZcellinfoLine, FillsTheServingCell)
{
    RunLines(GetParam(), [](const std::string &line, TNetState &state) {
        if (line.find("+CESQ:") != std::string::npos)
            parseCesqExec(line, state);
        else
            parseZcellinfoLine(line, state);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ZcellinfoLine,
    ::testing::Values(
        CellCase{"DecimalWithCesqLevels", {Reply("zte", "zcellinfo_decimal"), "OK", Reply("zte", "cesq_lte")},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .cellId = 21627653, .pci = 242, .channel = 1300, .band = "B3",
                            .rsrp = -97.0, .rsrq = -10.0}},
        CellCase{"CesqFirstKeepsItsLevels", {Reply("zte", "cesq_lte"), Reply("zte", "zcellinfo_decimal")},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .cellId = 21627653, .pci = 242, .channel = 1300, .band = "B3",
                            .rsrp = -97.0, .rsrq = -10.0}},
        CellCase{"HexWithTac", {Reply("zte", "zcellinfo_hex")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .area = 0x1A2B, .cellId = 0x01496A05, .pci = 242, .channel = 6300,
                            .band = "B20"}},
        CellCase{"GsmUnknownIdentity", {Reply("zte", "zcellinfo_gsm_unknown")}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .band = "900"}},
        CellCase{"Labelled", {Reply("zte", "zcellinfo_labelled")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .area = 6699, .cellId = 21627653, .pci = 242, .band = "B3"}},
        CellCase{"NotCamped", {Reply("zte", "zcellinfo_not_camped")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte}},
        CellCase{"NoBandWord", {Reply("zte", "zcellinfo_no_band_word"), Reply("zte", "zcellinfo_band_only"), "OK"}}),
    CaseName);

} // namespace
