// The Qualcomm reference family's ^CA_INFO parser, table-driven; sample
// lines from replies/.

#include "modems/ModemFamily.h"
#include "modems/common/CarrierCases.h"
#include "modems/qualcomm/QualcommCarriers.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace carriercases;
using cellcases::Lines;
using cellcases::Reply;

// A cycle as the session reads it: the ^DEBUG answer, then from the first
// carrier line on, the ^CA_INFO answer.
struct Cycle {
    TDebugReading debug;
    TCaInfoReading caInfo;
    bool caInfoAnswer = false;

    void Read(const std::string &line, TNetState &state)
    {
        caInfoAnswer = caInfoAnswer || line.find(" info:") != std::string::npos;
        if (caInfoAnswer)
            parseCaInfoLine(line, caInfo, state);
        else
            parseDebugLine(line, debug, state);
    }
};

class CaInfo : public ::testing::TestWithParam<CarrierCase> {};

TEST_P(CaInfo, ListsTheCarriers)
{
    Cycle cycle;
    RunFromEmpty(GetParam(), [&](const std::string &line, TNetState &state) { cycle.Read(line, state); });
}

std::vector<std::string> With(std::vector<std::string> lines, std::initializer_list<std::string> more)
{
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

// The serving cell of replies/debug_labelled, on band 7.
const TCarrier kB7ServingPrimary{Role::Primary, Tech::Lte, "B7", 2850, 21, 20.0, -67.4, -98.0, -10.6, 2.0};

INSTANTIATE_TEST_SUITE_P(
    Replies, CaInfo,
    ::testing::Values(
        CarrierCase{"ThreeCarriers",
                    {Reply("qualcomm", "ca_info_pcc_b7"), Reply("qualcomm", "ca_info_scc1_b7"),
                     Reply("qualcomm", "ca_info_scc2_b3")},
                    {{Role::Primary, Tech::Lte, "B7", {}, {}, 20.0},
                     {Role::Secondary, Tech::Lte, "B7", {}, {}, 20.0},
                     {Role::Secondary, Tech::Lte, "B3", {}, {}, 10.0}}},
        // After ^DEBUG: the primary on the serving cell's band is that cell.
        CarrierCase{"PrimaryIsTheServingCell",
                    With(Lines(Reply("qualcomm", "debug_labelled")),
                         {Reply("qualcomm", "ca_info_pcc_b7"), Reply("qualcomm", "ca_info_scc2_b3")}),
                    {kB7ServingPrimary, {Role::Secondary, Tech::Lte, "B3", {}, {}, 10.0}}},
        CarrierCase{"PrimaryOnAnotherBandIsNotTheServingCell",
                    With(Lines(Reply("qualcomm", "debug_labelled")),
                         {Reply("qualcomm", "ca_info_pcc_b3"), Reply("qualcomm", "ca_info_scc1_b1")}),
                    {{Role::Primary, Tech::Lte, "B3", {}, {}, 10.0},
                     {Role::Secondary, Tech::Lte, "B1", {}, {}, 10.0}}},
        CarrierCase{"UnknownWordsStayUnknown", {Reply("qualcomm", "ca_info_unknown_words")},
                    {{Role::Secondary, Tech::Unknown}}},
        CarrierCase{"LinesAfterAnotherLineAreNotRead",
                    {Reply("qualcomm", "ca_info_pcc_b7"), "OK", Reply("qualcomm", "ca_info_scc1_b1")},
                    {{Role::Primary, Tech::Lte, "B7", {}, {}, 20.0}}},
        CarrierCase{"NotCarrierLines",
                    {Reply("qualcomm", "ca_info_unnumbered_scc"), Reply("fibocom", "gtcainfo_pcc_short"),
                     Reply("quectel", "qcainfo_lte_pcc")},
                    {}}),
    CaseName);

// An answer longer than the list takes keeps its first carriers.
TEST(CaInfoBound, KeepsAtMostTheCarriersTheRecordHolds)
{
    TNetState state;
    TCaInfoReading reading;
    for (std::size_t i = 0; i < kMaxCarriers + 3; ++i)
        EXPECT_TRUE(parseCaInfoLine(Reply("qualcomm", "ca_info_scc1_b1"), reading, state));
    EXPECT_EQ(state.carriers.size(), kMaxCarriers);
}

// The simulated module's answer reads back as the simulator's two carriers.
TEST(CaInfoSimulated, AnswerParsesBackToTheTruth)
{
    const auto &families = ModemFamilies();
    const auto it = std::find_if(families.begin(), families.end(),
                                 [](const ModemFamily *f) { return std::string(f->name) == "Qualcomm"; });
    ASSERT_NE(it, families.end());
    const ModemFamily &family = **it;
    const auto command = std::find_if(family.simCellCommands.begin(), family.simCellCommands.end(),
                                      [](const SimCellCommand &c) { return std::string(c.name) == "^CA_INFO"; });
    ASSERT_NE(command, family.simCellCommands.end());

    TRynSimTruth truth;
    truth.lte.serving.band = 3;
    truth.lte.serving.bandwidthMhz = 20;
    truth.lte.scc.band = 1;
    truth.lte.scc.bandwidthMhz = 15;
    const std::string model = "T99W175";
    int mode = 2;
    SimContext context{truth, model, true, 1, 0, mode};
    SimRequest read;
    read.read = true;
    std::vector<std::string> info;
    ASSERT_EQ(command->execute(read, context, info), kSimOk);
    ASSERT_EQ(info.size(), 1u);

    TNetState state;
    AnswerReading reading;
    const std::size_t index = 1; // AT^CA_INFO? after AT^DEBUG?
    ASSERT_EQ(std::string(family.commands[index].text), "AT^CA_INFO?\r");
    for (const std::string &line : Lines(info[0]))
        family.ParseLine(index, line, reading, state);
    EXPECT_EQ(state.carriers, (std::vector<TCarrier>{{Role::Primary, Tech::Lte, "B3", {}, {}, 20.0},
                                                     {Role::Secondary, Tech::Lte, "B1", {}, {}, 15.0}}));

    truth.registration = 0;
    info.clear();
    ASSERT_EQ(command->execute(read, context, info), kSimOk);
    EXPECT_EQ(info, std::vector<std::string>{""}) << "no carriers while not registered";
}

} // namespace
