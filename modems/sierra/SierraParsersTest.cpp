// The Sierra family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/sierra/SierraParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// ---------------------------------------------------------------- Sierra Wireless !GSTATUS

class GstatusLine : public ::testing::TestWithParam<CellCase> {};

TEST_P(GstatusLine, ReadsTheLabels) { RunLines(GetParam(), parseGstatusLine); }

INSTANTIATE_TEST_SUITE_P(
    Replies, GstatusLine,
    ::testing::Values(
        CellCase{"Em7455AttReadme",
                 {Reply("sierra", "gstatus_header"), Reply("sierra", "gstatus_time_temperature"),
                  Reply("sierra", "gstatus_reset_mode"), Reply("sierra", "gstatus_system_mode_lte"),
                  Reply("sierra", "gstatus_lte_band_b2"), Reply("sierra", "gstatus_lte_chan"),
                  Reply("sierra", "gstatus_ca_state"),
                  Reply("sierra", "gstatus_scell"), Reply("sierra", "gstatus_emm_state"),
                  Reply("sierra", "gstatus_rrc_state"), Reply("sierra", "gstatus_ims_state"), "",
                  Reply("sierra", "gstatus_pcc"), Reply("sierra", "gstatus_pcc_rxd"),
                  Reply("sierra", "gstatus_scc"), Reply("sierra", "gstatus_scc_rxd"),
                  Reply("sierra", "gstatus_tx_power_tac"),
                  Reply("sierra", "gstatus_rsrq_cell_id"), Reply("sierra", "gstatus_sinr"), "OK"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .area = 0x8C65, .cellId = 0x0A14666A, .channel = 800, .band = "B2",
                            .rssi = -45.0, .rsrp = -81.0, .rsrq = -14.0, .sinr = 23.8}},
        CellCase{"Em919xNrLeg",
                 {Reply("sierra", "gstatus_system_mode_lte_short"), Reply("sierra", "gstatus_lte_band_b3"),
                  Reply("sierra", "gstatus_lte_chan_1300"), Reply("sierra", "gstatus_nr_band"), Reply("sierra", "gstatus_nr_chan"),
                  Reply("sierra", "gstatus_nr"), Reply("sierra", "gstatus_nr_sinr")},
                 Tech::Nr5gNsa, TRadioCell{.rat = Tech::Lte, .channel = 1300, .band = "B3"},
                 TRadioCell{.rat = Tech::Nr5gNsa, .channel = 627264, .band = "n78", .rsrp = -85.0, .rsrq = -11.0,
                            .sinr = 12.5}},
        CellCase{"SystemModeEndc",
                 {Reply("sierra", "gstatus_system_mode_endc"), Reply("sierra", "gstatus_lte_band_b3"),
                  Reply("sierra", "gstatus_nr_band_rsrp")},
                 Tech::Nr5gNsa, TRadioCell{.rat = Tech::Lte, .band = "B3"},
                 TRadioCell{.rat = Tech::Nr5gNsa, .band = "n78", .rsrp = -85.0}},
        CellCase{"NrAbsentDashes",
                 {Reply("sierra", "gstatus_system_mode_only"), Reply("sierra", "gstatus_nr_dashes"),
                  Reply("sierra", "gstatus_pcc_rxm_rsrp")},
                 Tech::Lte, TRadioCell{.rat = Tech::Lte, .rsrp = -97.0}},
        CellCase{"BlanksOnlyNoSystemMode", {Reply("sierra", "gstatus_rsrq_cell_id_blanks")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .cellId = 0x01A2B3C4, .rsrq = -9.5}},
        CellCase{"UnknownLabels", {Reply("sierra", "gstatus_temperature_mode"),
                                   Reply("sierra", "gstatus_current_time")}}),
    CaseName);


} // namespace
