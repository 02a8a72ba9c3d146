// The cell commands of each family of the registry: chosen from the
// manufacturer, and the fallback within the same cycle when a family's
// command answers only ERROR, kept until the next reconnect.

#include "SessionHarness.h"
#include "modems/ModemFamily.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace {

using Writes = std::vector<std::string>;

const char *const kMainPoll = "AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r";
const Writes kMainAnswer{"+CSQ: 17,0", "+COPS: 0,0,\"T-Mobile CZ\",7", "+COPS: 0,2,\"23001\",7", "+CREG: 0,1",
                         "+CPAS: 0", "OK"};

// A model of a family as the registry lists it, and whether its family's
// first command answers ERROR in the first cycle.
struct ProfileCase {
    const ModemFamily *family;
    SimModel model;
    bool firstCommandErrs;
};

void PrintTo(const ProfileCase &c, std::ostream *os)
{
    *os << c.family->name << " " << c.model.model << (c.firstCommandErrs ? " (ERROR)" : "");
}

std::vector<ProfileCase> ProfileCases()
{
    std::vector<ProfileCase> cases;
    for (const ModemFamily *family : ModemFamilies())
        for (const SimModel &model : family->models)
            for (const bool errs : {false, true})
                if (!errs || family->choice == FamilyChoice::Identification ||
                    family->choice == FamilyChoice::AfterMoniError)
                    cases.push_back({family, model, errs});
    return cases;
}

std::string ProfileName(const ::testing::TestParamInfo<ProfileCase> &info)
{
    std::string name = std::string(info.param.family->name) + "_" + (*info.param.model.model ? info.param.model.model : "Other");
    name += info.param.firstCommandErrs ? "_Error" : "";
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

Writes Texts(const ModemFamily &family)
{
    Writes texts;
    for (const FamilyCommand &command : family.commands)
        texts.push_back(command.text);
    return texts;
}

// What a family's command answers when it has nothing to report: OK, and the
// header the session waits for before the rows of the design's commands.
Writes EmptyAnswer(const std::string &command)
{
    if (command == "AT^SMONP\r")
        return {"2G:", "OK"};
    if (command == "AT^MONI\r" || command == "AT^MONP\r")
        return {"chann", "OK"};
    return {"OK"};
}

class SessionProfile : public ::testing::TestWithParam<ProfileCase> {};

// The family's commands each cycle, then AT+CESQ after ERROR (kept until a
// reconnect); a family reached only after AT^MONI answers ERROR, and the
// fallback family, through that error.
TEST_P(SessionProfile, SendsTheFamilysCommandsAndFallsBackOnError)
{
    const ProfileCase &c = GetParam();
    const ModemFamily &fallback = FallbackFamily();
    const std::string model = *c.model.model ? c.model.model : "MC55";
    const bool design = c.family->choice == FamilyChoice::Design;
    const bool smonp = std::find_if(c.family->smonpModels.begin(), c.family->smonpModels.end(),
                                    [&](const char *m) { return model == m; }) != c.family->smonpModels.end();

    // What the session sends in the first cycle with the answer to each,
    // and what it sends in the later ones.
    std::vector<std::pair<std::string, Writes>> first;
    if (!design && c.family->choice != FamilyChoice::Identification)
        first.push_back({"AT^MONI\r", {"ERROR"}});
    Writes later = design ? (smonp ? Writes{"AT^SMONP\r"} : Writes{"AT^MONI\r", "AT^MONP\r"}) : Texts(*c.family);
    const ModemFamily *expected = c.family;
    if (c.firstCommandErrs) {
        first.push_back({later.front(), {"ERROR"}});
        later = Texts(fallback);
        expected = &fallback;
    }
    for (const std::string &command : later)
        first.push_back({command, EmptyAnswer(command)});

    SessionHarness h;
    h.Start();
    // Identification, then the main answer of the next cycle.
    auto identifyAndPoll = [&] {
        h.Reply("OK\r\n");
        h.ReplyLines({c.model.manufacturer, "OK"});
        h.ReplyLines({model, "OK"});
        h.TakeWrites();
        h.Advance(50);
        h.ReplyLines(kMainAnswer);
    };
    identifyAndPoll();
    Writes sent{kMainPoll};
    for (const auto &[command, answer] : first) {
        h.ReplyLines(answer);
        sent.push_back(command);
    }
    ASSERT_EQ(h.view.cycles, 1);
    EXPECT_EQ(h.TakeWrites(), sent);
    EXPECT_EQ(&h.session.Family(), expected) << h.session.Family().name;

    h.Advance(50);
    h.ReplyLines(kMainAnswer);
    for (const std::string &command : later)
        h.ReplyLines(EmptyAnswer(command));
    ASSERT_EQ(h.view.cycles, 2);
    Writes again{kMainPoll};
    again.insert(again.end(), later.begin(), later.end());
    EXPECT_EQ(h.TakeWrites(), again) << "the fallback is kept";
    EXPECT_EQ(h.session.DisplayRecordSnapshot().copsRat, TRadioTech::Lte);

    // A reconnect chooses from the identification again.
    h.channel.Lose();
    h.Advance(50);
    identifyAndPoll();
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll, first.front().first}));
}

INSTANTIATE_TEST_SUITE_P(Families, SessionProfile, ::testing::ValuesIn(ProfileCases()), ProfileName);

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

} // namespace
