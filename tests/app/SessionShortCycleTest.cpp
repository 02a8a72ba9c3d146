// The short poll cycle of the antenna-pointing mode: while it is on, a cycle
// sends the main command and the serving cell's command only; switched off,
// the full cycle comes back.

#include "SessionHarness.h"

#include <gtest/gtest.h>

namespace {

using Writes = std::vector<std::string>;

const char *const kMainPoll = "AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r";
const Writes kMainAnswer{"+CSQ: 17,0", "+COPS: 0,0,\"T-Mobile CZ\",7", "+COPS: 0,2,\"23001\",7", "+CREG: 0,1",
                         "+CPAS: 0", "OK"};

struct ShortCycleCase {
    const char *name;
    std::string manufacturer;
    std::string model;
    Writes answer; // of every cell command
    Writes fullCycle;
    Writes shortCycle;
};

class SessionShortCycle : public ::testing::TestWithParam<ShortCycleCase> {};

TEST_P(SessionShortCycle, SendsOnlyTheMainAndServingCellCommandsWhileOn)
{
    const ShortCycleCase &c = GetParam();
    SessionHarness h;
    h.Start();
    h.Reply("OK\r\n");
    h.ReplyLines({c.manufacturer, "OK"});
    h.ReplyLines({c.model, "OK"});
    h.TakeWrites();
    // One cycle: the main answer, then each cell command's until the cycle ends.
    const auto cycle = [&] {
        const int before = h.view.cycles;
        h.Advance(50);
        h.ReplyLines(kMainAnswer);
        for (int i = 0; i < 4 && h.view.cycles == before; ++i)
            h.ReplyLines(c.answer);
        EXPECT_EQ(h.view.cycles, before + 1);
        return h.TakeWrites();
    };
    EXPECT_EQ(cycle(), c.fullCycle);
    h.session.SetShortCycle(true);
    EXPECT_EQ(cycle(), c.shortCycle);
    EXPECT_EQ(cycle(), c.shortCycle);
    EXPECT_TRUE(h.session.DisplayRecordSnapshot().signalValid);
    h.session.SetShortCycle(false);
    EXPECT_EQ(cycle(), c.fullCycle) << "the full cycle is back";
}

const std::string kQengServing = "AT+QENG=\"servingcell\"\r";
const std::string kQengNeighbours = "AT+QENG=\"neighbourcell\"\r";

INSTANTIATE_TEST_SUITE_P(
    Families, SessionShortCycle,
    ::testing::Values(
        ShortCycleCase{"Quectel", "Quectel", "EC25", {"OK"}, {kMainPoll, kQengServing, kQengNeighbours},
                       {kMainPoll, kQengServing}},
        ShortCycleCase{"Huawei", "Huawei Technologies Co., Ltd.", "ME909s-120", {"OK"},
                       {kMainPoll, "AT^MONSC\r", "AT^MONNC\r"}, {kMainPoll, "AT^MONSC\r"}},
        ShortCycleCase{"SingleCommandFamily", "SIMCOM INCORPORATED", "SIM7600E", {"OK"},
                       {kMainPoll, "AT+CPSI?\r"}, {kMainPoll, "AT+CPSI?\r"}},
        ShortCycleCase{"DesignFamily", "SIEMENS", "MC55", {"chann", "OK"}, {kMainPoll, "AT^MONI\r", "AT^MONP\r"},
                       {kMainPoll, "AT^MONI\r"}},
        ShortCycleCase{"Bgs5", "Cinterion", "BGS5", {"2G:", "OK"}, {kMainPoll, "AT^SMONP\r"},
                       {kMainPoll, "AT^SMONP\r"}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
