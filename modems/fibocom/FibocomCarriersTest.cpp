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
                    {"+GTCAINFO:", Reply("fibocom", "gtcainfo_pcc"), Reply("fibocom", "gtcainfo_scc")},
                    {kB3Primary, kB1Secondary}},
        // An NR primary: its bandwidth has no settled scale.
        CarrierCase{"NrPrimaryWithLteSecondary",
                    {"+GTCAINFO:", Reply("fibocom", "gtcainfo_nr_pcc"), Reply("fibocom", "gtcainfo_scc_long")},
                    {{Role::Primary, Tech::Nr5gSa, "n78", 641760, 940, {}, {}, -80.0},
                     {Role::Secondary, Tech::Lte, "B3", 1444, 216, 10.0, {}, -81.0}}},
        CarrierCase{"FirstCarrierOnTheHeaderLineAndSecondaryWithoutBlank",
                    {"+GTCAINFO: " + Reply("fibocom", "gtcainfo_pcc"), "SCC1:2,0,101,62,200,50,255,1,255,1,255,-107"},
                    {kB3Primary, kB1Secondary}},
        CarrierCase{"DeconfiguredSecondaryLeftOut",
                    {Reply("fibocom", "gtcainfo_pcc"), "SCC 2:0,0,101,62,200,50,255,1,255,1,255,-107"},
                    {kB3Primary}},
        CarrierCase{"ShortLineHasNoRsrpAndUnknownCodeNoBand",
                    {"PCC:7,280,1424,75", "SCC 1:2,0,101,62,200,0"},
                    {{Role::Primary, Tech::Unknown, "", 1424, 280},
                     {Role::Secondary, Tech::Lte, "B1", 200, 62}}},
        CarrierCase{"NoAggregation", {"+GTCAINFO:", "OK", "+GTCCINFO:", "PCC", "SCC 1:2,0"}, {}}),
    CaseName);

} // namespace
