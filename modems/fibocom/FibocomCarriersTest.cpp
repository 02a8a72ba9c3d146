// The Fibocom carrier-aggregation parser, table-driven; sample lines from
// replies/.

#include "modems/common/CarrierCases.h"
#include "modems/fibocom/FibocomCarriers.h"

#include <gtest/gtest.h>

namespace {

using namespace carriercases;
using cellcases::Reply;

class Gtcainfo : public ::testing::TestWithParam<CarrierCase> {};

TEST_P(Gtcainfo, ListsTheCarriers) { RunCarrierLines(GetParam(), parseGtcainfoLine); }

// The RSRP of the primary agrees with the RSRP index of the same cell's
// +GTCCINFO row taken at the same moment (33: -108 dBm and above).
const TCarrier kB3Primary{Role::Primary, Tech::Lte, "B3", 1424, 280, 15.0, {}, -107.0};
const TCarrier kB1Secondary{Role::Secondary, Tech::Lte, "B1", 200, 62, 10.0, {}, -107.0};

INSTANTIATE_TEST_SUITE_P(
    Replies, Gtcainfo,
    ::testing::Values(
        CarrierCase{"LteAggregation",
                    {Reply("fibocom", "gtcainfo_header"), Reply("fibocom", "gtcainfo_pcc"),
                     Reply("fibocom", "gtcainfo_scc")},
                    {kB3Primary, kB1Secondary}},
        // An NR primary: its bandwidth has no settled scale.
        CarrierCase{"NrPrimaryWithLteSecondary",
                    {Reply("fibocom", "gtcainfo_header"), Reply("fibocom", "gtcainfo_nr_pcc"),
                     Reply("fibocom", "gtcainfo_scc_long")},
                    {{Role::Primary, Tech::Nr5gSa, "n78", 641760, 940, {}, {}, -80.0},
                     {Role::Secondary, Tech::Lte, "B3", 1444, 216, 10.0, {}, -81.0}}},
        CarrierCase{"FirstCarrierOnTheHeaderLineAndSecondaryWithoutBlank",
                    {Reply("fibocom", "gtcainfo_pcc_on_header"), Reply("fibocom", "gtcainfo_scc_no_blank")},
                    {kB3Primary, kB1Secondary}},
        CarrierCase{"DeconfiguredSecondaryLeftOut",
                    {Reply("fibocom", "gtcainfo_pcc"), Reply("fibocom", "gtcainfo_scc_deconfigured")},
                    {kB3Primary}},
        CarrierCase{"ShortLineHasNoRsrpAndUnknownCodeNoBand",
                    {Reply("fibocom", "gtcainfo_pcc_short"), Reply("fibocom", "gtcainfo_scc_short")},
                    {{Role::Primary, Tech::Unknown, "", 1424, 280},
                     {Role::Secondary, Tech::Lte, "B1", 200, 62}}},
        CarrierCase{"NoAggregation", {Reply("fibocom", "gtcainfo_header"), "OK",
                                      Reply("fibocom", "gtccinfo_header_no_blank"),
                                      Reply("fibocom", "gtccinfo_word_only"),
                                      Reply("fibocom", "gtcainfo_scc_truncated")}, {}}),
    CaseName);

} // namespace
