// The Huawei carrier-aggregation parser, table-driven; sample lines from
// replies/.

#include "modems/common/CarrierCases.h"
#include "modems/huawei/HuaweiCarriers.h"
#include "modems/huawei/HuaweiParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace carriercases;
using cellcases::Reply;

class Lcacell : public ::testing::TestWithParam<CarrierCase> {};

// The serving cell's answer first, as in a poll cycle.
TEST_P(Lcacell, ListsTheCarriers)
{
    RunFromEmpty(GetParam(), [](const std::string &line, TNetState &state) {
        parseMonscServing(line, state);
        parseLcacell(line, state);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Lcacell,
    ::testing::Values(
        // The primary carrier is the serving cell of ^MONSC (PCI 0x1F3).
        CarrierCase{"TwoSecondaryCarriers",
                    {Reply("huawei", "monsc_lte"), Reply("huawei", "lcacell_two_secondary")},
                    {{Role::Primary, Tech::Lte, "", 1650, 499, {}, -72.0, -98.0, -5.0},
                     {Role::Secondary, Tech::Lte},
                     {Role::Secondary, Tech::Lte}}},
        CarrierCase{"WithoutServingCell",
                    {Reply("huawei", "lcacell_two_entries")},
                    {{Role::Primary, Tech::Lte}, {Role::Secondary, Tech::Lte}}},
        CarrierCase{"NothingConfigured",
                    {Reply("huawei", "monsc_lte"), Reply("huawei", "lcacell_none_configured")},
                    {}},
        CarrierCase{"BrokenEntriesIgnored",
                    {Reply("huawei", "lcacell_broken_entries")},
                    {}}),
    CaseName);

} // namespace
