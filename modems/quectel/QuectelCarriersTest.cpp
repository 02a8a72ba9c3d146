// The Quectel carrier-aggregation parser, table-driven; sample lines from
// replies/.

#include "modems/common/CarrierCases.h"
#include "modems/quectel/QuectelCarriers.h"

#include <gtest/gtest.h>

namespace {

using namespace carriercases;
using cellcases::Reply;

class Qcainfo : public ::testing::TestWithParam<CarrierCase> {};

TEST_P(Qcainfo, ListsTheCarriers) { RunCarrierLines(GetParam(), parseQcainfo); }

const TCarrier kB7Primary{Role::Primary, Tech::Lte, "B7", 2850, 52, 20.0, -70.0, -103.0, -12.0, 7.0};
const TCarrier kB1Primary{Role::Primary, Tech::Lte, "B1", 275, 280, 15.0, -67.0, -99.0, -14.0, -4.0};

INSTANTIATE_TEST_SUITE_P(
    Replies, Qcainfo,
    ::testing::Values(
        CarrierCase{"LtePrimaryAndSecondaryWithUplinkFields",
                    {Reply("quectel", "qcainfo_lte_pcc"), Reply("quectel", "qcainfo_lte_scc_uplink")},
                    {kB7Primary, {Role::Secondary, Tech::Lte, "B1", 326, 167, 5.0, -69.0, -87.0, -9.0, 0.0}}},
        // The NR leg of EN-DC in the short form: no levels, bandwidth code
        // 10 = 80 MHz.
        CarrierCase{"EnDcLeg",
                    {Reply("quectel", "qcainfo_endc_pcc"), Reply("quectel", "qcainfo_endc_nr_leg")},
                    {kB1Primary, {Role::Secondary, Tech::Nr5gNsa, "n78", 648768, 920, 80.0}}},
        // Stand-alone: the NR primary without a state field, the NR
        // secondary with state and uplink fields but no levels.
        CarrierCase{"NrStandAlone",
                    {Reply("quectel", "qcainfo_sa_pcc"), Reply("quectel", "qcainfo_sa_scc")},
                    {{Role::Primary, Tech::Nr5gSa, "n71", 126490, 24, 10.0},
                     {Role::Secondary, Tech::Nr5gSa, "n41", 520110, 625, 100.0}}},
        // The EC2x form: lower-case roles, a secondary without uplink fields.
        CarrierCase{"LowerCaseRoles",
                    {Reply("quectel", "qcainfo_lower_case_pcc"),
                     Reply("quectel", "qcainfo_lower_case_scc")},
                    {{Role::Primary, Tech::Lte, "B3", 1300, 123, 20.0, -52.0, -82.0, -8.0, 16.0},
                     {Role::Secondary, Tech::Lte, "B1", 100, 123, 15.0, -57.0, -86.0, -10.0, 11.0}}},
        CarrierCase{"DeconfiguredSecondaryLeftOut",
                    {Reply("quectel", "qcainfo_lte_pcc"),
                     Reply("quectel", "qcainfo_scc_deconfigured")},
                    {kB7Primary}},
        CarrierCase{"FillersAndUnknownBandwidthStayUnknown",
                    {Reply("quectel", "qcainfo_pcc_fillers")},
                    {{Role::Primary, Tech::Lte, "B3", 1300, 244}}},
        CarrierCase{"OtherLinesChangeNothing",
                    {Reply("quectel", "qeng_serving_header_noconn"), Reply("quectel", "qcainfo_unknown_role"),
                     Reply("quectel", "qcainfo_gsm_band"), Reply("quectel", "qcainfo_short")},
                    {}}),
    CaseName);

// An answer longer than the list takes keeps its first carriers.
TEST(QcainfoBound, KeepsAtMostTheCarriersTheRecordHolds)
{
    TNetState state;
    for (std::size_t i = 0; i < kMaxCarriers + 3; ++i)
        EXPECT_TRUE(parseQcainfo(Reply("quectel", "qcainfo_lte_scc_uplink"), state));
    EXPECT_EQ(state.carriers.size(), kMaxCarriers);
}

} // namespace
