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

const std::string kBand = "LTE band:      B2     \t\tLTE bw:      20 MHz  ";
const std::string kChannel = "LTE Rx chan:   800\t\tLTE Tx chan: 18800";

INSTANTIATE_TEST_SUITE_P(
    Replies, GstatusCarriers,
    ::testing::Values(
        CarrierCase{"ActiveAggregation",
                    {"System mode:   LTE        \tPS state:    Attached     ", kBand, kChannel,
                     Reply("sierra", "gstatus_ca_state"), Reply("sierra", "gstatus_scell"),
                     Reply("sierra", "gstatus_pcc"), "PCC RxD RSSI:  -44\t\tRSRP (dBm):  -79",
                     Reply("sierra", "gstatus_scc"), "SCC RxD RSSI:  -51\t\tRSRP (dBm):  -81",
                     "RSRQ (dB):     -14.0\t\tCell ID:     0A14666A (169106666)", "SINR (dB):     23.8"},
                    {{Role::Primary, Tech::Lte, "B2", 800, {}, 20.0, -45.0, -81.0, -14.0, 23.8},
                     {Role::Secondary, Tech::Lte, "B12", 5110, {}, 10.0, -52.0, -83.0}}},
        CarrierCase{"NotAssignedListsNone",
                    {"System mode:   LTE        \tPS state:    Attached     ", kBand, kChannel,
                     "LTE CA state:  NOT ASSIGNED", Reply("sierra", "gstatus_pcc"), "SINR (dB):     23.8"},
                    {}},
        // The numbered secondary carriers of later firmware.
        CarrierCase{"NumberedSecondaryCarriers",
                    {kBand, kChannel, "LTE CA state:  ACTIVE", "LTE SCC2 band: B7\t\tLTE SCC2 bw: 15 MHz",
                     "LTE SCC2 chan: 3100", "SCC2 RxM RSSI: -60\t\tRSRP (dBm):  -90"},
                    {{Role::Primary, Tech::Lte, "B2", 800, {}, 20.0},
                     {Role::Secondary, Tech::Lte},
                     {Role::Secondary, Tech::Lte, "B7", 3100, {}, 15.0, -60.0, -90.0}}},
        CarrierCase{"WithoutCaStateNoSecondary",
                    {Reply("sierra", "gstatus_scell"), Reply("sierra", "gstatus_scc"), "SINR (dB):     23.8"},
                    {}}),
    CaseName);

} // namespace
