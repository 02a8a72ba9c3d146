// The Altair family's parsers, table-driven; sample lines from replies/.

#include "modems/altair/AltairParsers.h"
#include "modems/common/CellCases.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// A cycle's lines as the session reads them: the %MEAS answer, then the
// %PCONI answer's labelled lines.
class MeasAndPconi : public ::testing::TestWithParam<CellCase> {};

TEST_P(MeasAndPconi, FillTheServingCell)
{
    RunLines(GetParam(), [](const std::string &line, TNetState &state) {
        if (line.find("%MEAS") != std::string::npos)
            parseMeasLine(line, state);
        else
            parsePconiLine(line, state);
    });
}

std::string Altair(const char *name) { return Reply("altair", name); }

// The public capture's %PCONI answer, whole.
const std::vector<std::string> kPconi{Altair("pconi_duplexing"), Altair("pconi_transmission"),
                                      Altair("pconi_bandwidth"),  Altair("pconi_earfcn"),
                                      Altair("pconi_global_cell_id"), Altair("pconi_pci")};

std::vector<std::string> Then(std::vector<std::string> lines, const std::vector<std::string> &more)
{
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

const TRadioCell kLevels{.rat = Tech::Lte, .rssi = -67.0, .rsrp = -93.0, .rsrq = -10.0, .sinr = 5.0};

INSTANTIATE_TEST_SUITE_P(
    Replies, MeasAndPconi,
    ::testing::Values(
        CellCase{"MeasLevels", {Altair("meas_levels")}, Tech::Lte, kLevels},
        CellCase{"MeasWithoutBlanks", {Altair("meas_no_blanks")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .rssi = -75.0, .rsrp = -101.0, .rsrq = -12.0, .sinr = -3.0}},
        CellCase{"NotCampedShowsNoCell", {Altair("meas_not_camped")}},
        CellCase{"OutOfRangeLevelsUnknown", {Altair("meas_out_of_range")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .rsrq = -10.0}},
        CellCase{"PconiIdentity", kPconi, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .cellId = 0x2E01, .pci = 11, .channel = 38000}},
        CellCase{"MeasThenPconi", Then({Altair("meas_levels")}, kPconi), Tech::Lte,
                 [] {
                     TRadioCell c = kLevels;
                     c.cellId = 0x2E01;
                     c.pci = 11;
                     c.channel = 38000;
                     return c;
                 }()},
        CellCase{"PconiFillers",
                 {Altair("pconi_earfcn_filler"), Altair("pconi_cell_id_filler"), Altair("pconi_pci_filler")}},
        // Another maker's %MEAS layout and a 3GPP line are not this family's.
        CellCase{"OtherLines", {Altair("meas_other_layout"), Reply("design", "creg_location")}}),
    CaseName);

} // namespace
