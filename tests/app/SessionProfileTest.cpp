// The cell commands of each maker's family: chosen from the manufacturer,
// and the fallback within the same cycle when a family's command answers
// only ERROR, kept until the next reconnect.

#include "SessionHarness.h"

#include <gtest/gtest.h>

namespace {

using Writes = std::vector<std::string>;

const char *const kMainPoll = "AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r";
const Writes kMainAnswer{"+CSQ: 17,0", "+COPS: 0,0,\"T-Mobile CZ\",7", "+COPS: 0,2,\"23001\",7", "+CREG: 0,1",
                         "+CPAS: 0", "OK"};

struct ProfileCase {
    const char *name;
    std::string manufacturer;
    std::string model;
    // Answer to each command of the first cycle in turn.
    std::vector<Writes> firstCycle;
    Writes firstCommands;
    Writes laterCommands;
    TModemProfile profile;
};

class SessionProfile : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(SessionProfile, SendsTheFamilysCommandsAndFallsBackOnError)
{
    const ProfileCase &c = GetParam();
    SessionHarness h;
    h.Start();
    // Identification, then the main answer of the next cycle.
    auto identifyAndPoll = [&] {
        h.Reply("OK\r\n");
        h.ReplyLines({c.manufacturer, "OK"});
        h.ReplyLines({c.model, "OK"});
        h.TakeWrites();
        h.Advance(50);
        h.ReplyLines(kMainAnswer);
    };
    identifyAndPoll();
    for (const Writes &answer : c.firstCycle)
        h.ReplyLines(answer);
    ASSERT_EQ(h.view.cycles, 1);
    Writes first{kMainPoll};
    first.insert(first.end(), c.firstCommands.begin(), c.firstCommands.end());
    EXPECT_EQ(h.TakeWrites(), first);
    EXPECT_EQ(h.session.Profile(), c.profile);

    h.Advance(50);
    h.ReplyLines(kMainAnswer);
    for (std::size_t i = 0; i < c.laterCommands.size(); ++i)
        h.ReplyLines(c.profile == TModemProfile::Design ? Writes{"chann", "OK"} : Writes{"OK"});
    ASSERT_EQ(h.view.cycles, 2);
    Writes later{kMainPoll};
    later.insert(later.end(), c.laterCommands.begin(), c.laterCommands.end());
    EXPECT_EQ(h.TakeWrites(), later) << "the fallback is kept";
    EXPECT_EQ(h.session.DisplayRecordSnapshot().copsRat, TRadioTech::Lte);

    // A reconnect chooses from the identification again.
    h.channel.Lose();
    h.Advance(50);
    identifyAndPoll();
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll, c.firstCommands.front()}));
}

const std::string kQengServing = "AT+QENG=\"servingcell\"\r";
const std::string kQengNeighbours = "AT+QENG=\"neighbourcell\"\r";

INSTANTIATE_TEST_SUITE_P(
    Makers, SessionProfile,
    ::testing::Values(
        ProfileCase{"Quectel", "Quectel", "EC25", {{"OK"}, {"OK"}}, {kQengServing, kQengNeighbours},
                    {kQengServing, kQengNeighbours}, TModemProfile::Quectel},
        ProfileCase{"SimCom", "SIMCOM INCORPORATED", "SIM7600E", {{"OK"}}, {"AT+CPSI?\r"}, {"AT+CPSI?\r"},
                    TModemProfile::SimCom},
        ProfileCase{"QuectelWithoutQeng", "Quectel", "BG96", {{"ERROR"}, {"OK"}}, {kQengServing, "AT+CESQ\r"},
                    {"AT+CESQ\r"}, TModemProfile::ThreeGpp},
        ProfileCase{"NewerCinterion", "Cinterion", "ELS61", {{"ERROR"}, {"OK"}, {"OK"}},
                    {"AT^MONI\r", "AT^SMONI\r", "AT^SMONP\r"}, {"AT^SMONI\r", "AT^SMONP\r"},
                    TModemProfile::NewerCinterion},
        ProfileCase{"OtherMaker", "Nordic Semiconductor ASA", "nRF9160", {{"+CME ERROR: 100"}, {"OK"}},
                    {"AT^MONI\r", "AT+CESQ\r"}, {"AT+CESQ\r"}, TModemProfile::ThreeGpp},
        ProfileCase{"Huawei", "Huawei Technologies Co., Ltd.", "ME909s-120", {{"OK"}, {"OK"}},
                    {"AT^MONSC\r", "AT^MONNC\r"}, {"AT^MONSC\r", "AT^MONNC\r"}, TModemProfile::Huawei},
        ProfileCase{"HuaweiWithoutMonsc", "HUAWEI", "E3372", {{"ERROR"}, {"OK"}}, {"AT^MONSC\r", "AT+CESQ\r"},
                    {"AT+CESQ\r"}, TModemProfile::ThreeGpp},
        ProfileCase{"UBlox", "u-blox", "SARA-R510M8S", {{"OK"}}, {"AT+UCGED?\r"}, {"AT+UCGED?\r"},
                    TModemProfile::UBlox},
        ProfileCase{"UBloxWithoutUcged", "u-blox", "TOBY-L210", {{"+CME ERROR: 4"}, {"OK"}},
                    {"AT+UCGED?\r", "AT+CESQ\r"}, {"AT+CESQ\r"}, TModemProfile::ThreeGpp},
        ProfileCase{"Telit", "Telit", "LE910C1-EUX", {{"OK"}}, {"AT#RFSTS\r"}, {"AT#RFSTS\r"}, TModemProfile::Telit},
        ProfileCase{"TelitWithoutRfsts", "Telit", "GL865", {{"ERROR"}, {"OK"}}, {"AT#RFSTS\r", "AT+CESQ\r"},
                    {"AT+CESQ\r"}, TModemProfile::ThreeGpp},
        ProfileCase{"Sierra", "Sierra Wireless, Incorporated", "EM7565", {{"OK"}}, {"AT!GSTATUS?\r"},
                    {"AT!GSTATUS?\r"}, TModemProfile::Sierra},
        ProfileCase{"SierraWithoutGstatus", "Sierra Wireless, Incorporated", "MC7304", {{"ERROR"}, {"OK"}},
                    {"AT!GSTATUS?\r", "AT+CESQ\r"}, {"AT+CESQ\r"}, TModemProfile::ThreeGpp},
        ProfileCase{"Fibocom", "Fibocom Wireless Inc.", "FM350-GL", {{"OK"}}, {"AT+GTCCINFO?\r"},
                    {"AT+GTCCINFO?\r"}, TModemProfile::Fibocom},
        ProfileCase{"FibocomWithoutGtccinfo", "Fibocom", "L850-GL", {{"ERROR"}, {"OK"}},
                    {"AT+GTCCINFO?\r", "AT+CESQ\r"}, {"AT+CESQ\r"}, TModemProfile::ThreeGpp},
        ProfileCase{"DesignFamily", "SIEMENS", "MC55", {{"chann", "OK"}, {"chann", "OK"}}, {"AT^MONI\r", "AT^MONP\r"},
                    {"AT^MONI\r", "AT^MONP\r"}, TModemProfile::Design}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SessionProfile, FallbackIsSaidOnceInTheTerminal)
{
    SessionHarness h;
    h.Start();
    h.Reply("OK\r\n");
    h.ReplyLines({"Quectel", "OK"});
    h.ReplyLines({"EC21", "OK"});
    for (int cycle = 0; cycle < 2; ++cycle) {
        h.Advance(50);
        h.ReplyLines(kMainAnswer);
        h.ReplyLines({cycle == 0 ? "ERROR" : "OK"});
        h.ReplyLines({"OK"});
    }
    EXPECT_TRUE(h.view.HasLine(
        "machine: AT+QENG=\"servingcell\" answers ERROR; AT+CESQ used instead until the port is reopened"));
    EXPECT_EQ(h.view.cycles, 2);
}

} // namespace

namespace {

// One cycle of each family with a real answer: the serving cell reaches the
// display record, and the technology with it.
struct RecordCase {
    const char *name;
    std::string manufacturer;
    std::vector<Writes> answers;
    TRadioTech rat;
    std::int32_t channel;
    std::int32_t pci;
    double rsrp;
};

class SessionProfileRecord : public ::testing::TestWithParam<RecordCase> {};

TEST_P(SessionProfileRecord, ServingCellReachesTheDisplayRecord)
{
    const RecordCase &c = GetParam();
    SessionHarness h;
    h.Start();
    h.Reply("OK\r\n");
    h.ReplyLines({c.manufacturer, "OK"});
    h.ReplyLines({"X1", "OK"});
    h.Advance(50);
    h.ReplyLines(kMainAnswer);
    for (const Writes &answer : c.answers)
        h.ReplyLines(answer);
    ASSERT_EQ(h.view.cycles, 1);
    const TNetState r = h.session.DisplayRecordSnapshot();
    ASSERT_TRUE(r.serving.has_value());
    EXPECT_EQ(r.rat, c.rat);
    EXPECT_EQ(r.serving->channel, c.channel);
    EXPECT_EQ(r.serving->pci, c.pci);
    EXPECT_EQ(r.serving->rsrp, c.rsrp);
    EXPECT_FALSE(r.cells[0].valid) << "no GSM cell rows";
}

INSTANTIATE_TEST_SUITE_P(
    Families, SessionProfileRecord,
    ::testing::Values(
        RecordCase{"Quectel",
                   "Quectel",
                   {{"+QENG: \"servingcell\",\"NOCONN\",\"LTE\",\"FDD\",262,01,1A2B3C4,123,1300,3,5,5,ABCD,-95,-10,"
                     "-65,12,30",
                     "OK"},
                    {"+QENG: \"neighbourcell intra\",\"LTE\",1300,124,-12,-101,-70,0,37,7,16,6,44", "OK"}},
                   TRadioTech::Lte,
                   1300,
                   123,
                   -95.0},
        RecordCase{"SimCom",
                   "SIMCOM INCORPORATED",
                   {{"+CPSI: LTE,Online,460-11,0x5A1E,187214780,257,EUTRAN-BAND3,1850,5,5,-94,-850,-545,15", "OK"}},
                   TRadioTech::Lte,
                   1850,
                   257,
                   -85.0},
        RecordCase{"NewerCinterion",
                   "Cinterion",
                   {{"ERROR"},
                    {"^SMONI: 4G,6300,20,10,10,FDD,262,02,BF75,0345103,350,33,-94,-7,NOCONN", "OK"},
                    {"4G:", "OK"}},
                   TRadioTech::Lte,
                   6300,
                   350,
                   -94.0},
        RecordCase{"UBloxMode2AcrossLines",
                   "u-blox",
                   {{"+UCGED: 2", "6,4,262,01",
                     "6300,20,50,50,1a2b,1a2b301,350,d60814d1,8001,01,46,20,9.50,3,1,10,28,-50,-6,0,255,255,0", "OK"}},
                   TRadioTech::Lte,
                   6300,
                   350,
                   -95.0},
        RecordCase{"FibocomRowsWithoutPrefix",
                   "Fibocom",
                   {{"+GTCCINFO: ", "1,4,262,2,1A2B,0012345AB,1300,42,103,,8,,50,20", "",
                     "2,4,,,FFFF,00FFFFFFF,6300,207,,42,42,15", "OK"}},
                   TRadioTech::Lte,
                   1300,
                   42,
                   -91.0}),
    [](const auto &info) { return std::string(info.param.name); });

// The short poll cycle of the antenna-pointing mode: while it is on, a
// cycle sends the main command and the serving cell's command only;
// switched off, the full cycle comes back.
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
