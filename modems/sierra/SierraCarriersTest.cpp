// The Sierra Wireless carrier-aggregation reading of !GSTATUS,
// table-driven; sample lines from replies/.

#include "modems/common/CarrierCases.h"
#include "modems/sierra/SierraCarriers.h"
#include "modems/sierra/SierraParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace carriercases;
using cellcases::Reply;

class GstatusCarriers : public ::testing::TestWithParam<CarrierCase> {};

// The report's lines through both readers, as the family routes them.
TEST_P(GstatusCarriers, ListsTheCarriers)
{
    RunFromEmpty(GetParam(), [](const std::string &line, TNetState &state) {
        parseGstatusLine(line, state);
        parseGstatusCarriers(line, state);
    });
}

const std::string kBand = Reply("sierra", "gstatus_lte_band_b2");
const std::string kChannel = Reply("sierra", "gstatus_lte_chan");

INSTANTIATE_TEST_SUITE_P(
    Replies, GstatusCarriers,
    ::testing::Values(
        CarrierCase{"ActiveAggregation",
                    {Reply("sierra", "gstatus_system_mode_lte"), kBand, kChannel,
                     Reply("sierra", "gstatus_ca_state"), Reply("sierra", "gstatus_scell"),
                     Reply("sierra", "gstatus_pcc"), Reply("sierra", "gstatus_pcc_rxd"),
                     Reply("sierra", "gstatus_scc"), Reply("sierra", "gstatus_scc_rxd"),
                     Reply("sierra", "gstatus_rsrq_cell_id"), Reply("sierra", "gstatus_sinr")},
                    {{Role::Primary, Tech::Lte, "B2", 800, {}, 20.0, -45.0, -81.0, -14.0, 23.8},
                     {Role::Secondary, Tech::Lte, "B12", 5110, {}, 10.0, -52.0, -83.0}}},
        CarrierCase{"NotAssignedListsNone",
                    {Reply("sierra", "gstatus_system_mode_lte"), kBand, kChannel,
                     Reply("sierra", "gstatus_ca_not_assigned"), Reply("sierra", "gstatus_pcc"), Reply("sierra", "gstatus_sinr")},
                    {}},
        // The numbered secondary carriers of later firmware.
        CarrierCase{"NumberedSecondaryCarriers",
                    {kBand, kChannel, Reply("sierra", "gstatus_ca_active"), Reply("sierra", "gstatus_scc2_band"),
                     Reply("sierra", "gstatus_scc2_chan"), Reply("sierra", "gstatus_scc2_levels")},
                    {{Role::Primary, Tech::Lte, "B2", 800, {}, 20.0},
                     {Role::Secondary, Tech::Lte},
                     {Role::Secondary, Tech::Lte, "B7", 3100, {}, 15.0, -60.0, -90.0}}},
        CarrierCase{"WithoutCaStateNoSecondary",
                    {Reply("sierra", "gstatus_scell"), Reply("sierra", "gstatus_scc"), Reply("sierra", "gstatus_sinr")},
                    {}}),
    CaseName);

} // namespace
