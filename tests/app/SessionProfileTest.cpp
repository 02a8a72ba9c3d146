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
    // Every family's first command, answered ERROR, when the session tries
    // them to tell the family by the answers.
    const auto probes = [&](const ModemFamily *tried) {
        for (const ModemFamily *family : ProbeOrder(tried))
            first.push_back({family->commands.front().text, {"ERROR"}});
    };
    if (!design && c.family->choice != FamilyChoice::Identification)
        first.push_back({"AT^MONI\r", {"ERROR"}});
    if (c.family == &fallback)
        probes(nullptr);
    Writes later = design ? (smonp ? Writes{"AT^SMONP\r"} : Writes{"AT^MONI\r", "AT^MONP\r"}) : Texts(*c.family);
    const ModemFamily *expected = c.family;
    if (c.firstCommandErrs) {
        first.push_back({later.front(), {"ERROR"}});
        probes(c.family);
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
        h.AnswerIdentity();
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

// The families chosen at identification, whose own first command answers
// ERROR, as do all the other families' commands.
std::vector<ProfileCase> FallbackCases()
{
    std::vector<ProfileCase> cases = ProfileCases();
    cases.erase(std::remove_if(cases.begin(), cases.end(),
                               [](const ProfileCase &c) {
                                   return c.family->choice != FamilyChoice::Identification || !c.firstCommandErrs;
                               }),
                cases.end());
    return cases;
}

class SessionFallback : public ::testing::TestWithParam<ProfileCase> {};

// The fallback is said once, naming the family's command and then the
// fallback's.
TEST_P(SessionFallback, IsSaidOnceInTheTerminal)
{
    const ProfileCase &c = GetParam();
    SessionHarness h;
    h.Start();
    h.Reply("OK\r\n");
    h.ReplyLines({c.model.manufacturer, "OK"});
    h.ReplyLines({c.model.model, "OK"});
    h.AnswerIdentity();
    for (int cycle = 0; cycle < 2; ++cycle) {
        h.Advance(50);
        h.ReplyLines(kMainAnswer);
        if (cycle == 0)
            for (std::size_t i = 0; i <= ProbeOrder(c.family).size(); ++i)
                h.ReplyLines({"ERROR"});
        for (std::size_t i = 0; i < FallbackFamily().commands.size(); ++i)
            h.ReplyLines({"OK"});
    }
    const std::string first = c.family->commands.front().text;
    EXPECT_TRUE(h.view.HasLine("machine: " + first.substr(0, first.size() - 1) +
                               " answers ERROR; trying the other families' cell commands"));
    EXPECT_TRUE(
        h.view.HasLine("machine: no family's cell command answers; AT+CESQ used instead until the port is reopened"));
    EXPECT_EQ(h.view.cycles, 2);
    const auto said = std::count_if(h.view.lines.begin(), h.view.lines.end(),
                                    [](const std::string &l) { return l.find("used instead") != std::string::npos; });
    EXPECT_EQ(said, 1);
}

INSTANTIATE_TEST_SUITE_P(Families, SessionFallback, ::testing::ValuesIn(FallbackCases()), ProfileName);

// The short poll cycle of the antenna-pointing mode: while it is on, a
// cycle sends the main command and the serving cell's command only;
// switched off, the full cycle comes back.
struct ShortCycleCase {
    std::string name;
    std::string manufacturer;
    std::string model;
    Writes answer; // of every cell command
    Writes fullCycle;
    Writes shortCycle;
};

void PrintTo(const ShortCycleCase &c, std::ostream *os) { *os << c.name; }

// Every model of every family the identification picks (and the design's
// own), with its family's commands: all of them in the full cycle, the
// first in the short one.
std::vector<ShortCycleCase> ShortCycleCases()
{
    std::vector<ShortCycleCase> cases;
    for (const ModemFamily *family : ModemFamilies()) {
        if (family->choice != FamilyChoice::Identification && family->choice != FamilyChoice::Design)
            continue;
        for (const SimModel &m : family->models) {
            const std::string model = *m.model ? m.model : "MC55";
            Writes commands = Texts(*family);
            if (commands.empty()) {
                const bool smonp = std::find(family->smonpModels.begin(), family->smonpModels.end(), model) !=
                                   family->smonpModels.end();
                commands = smonp ? Writes{"AT^SMONP\r"} : Writes{"AT^MONI\r", "AT^MONP\r"};
            }
            ShortCycleCase c{std::string(family->name) + "_" + model, m.manufacturer, model, EmptyAnswer(commands[0]),
                             {kMainPoll}, {kMainPoll, commands[0]}};
            c.fullCycle.insert(c.fullCycle.end(), commands.begin(), commands.end());
            std::replace_if(c.name.begin(), c.name.end(),
                            [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
            cases.push_back(std::move(c));
        }
    }
    return cases;
}

class SessionShortCycle : public ::testing::TestWithParam<ShortCycleCase> {};

TEST_P(SessionShortCycle, SendsOnlyTheMainAndServingCellCommandsWhileOn)
{
    const ShortCycleCase &c = GetParam();
    SessionHarness h;
    h.Start();
    h.Reply("OK\r\n");
    h.ReplyLines({c.manufacturer, "OK"});
    h.ReplyLines({c.model, "OK"});
    h.AnswerIdentity();
    h.TakeWrites();
    // One cycle: the main answer, then each cell command's until the cycle ends.
    const auto cycle = [&] {
        const int before = h.view.cycles;
        h.Advance(50);
        h.ReplyLines(kMainAnswer);
        for (int i = 0; i < 5 && h.view.cycles == before; ++i)
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

INSTANTIATE_TEST_SUITE_P(Families, SessionShortCycle, ::testing::ValuesIn(ShortCycleCases()),
                         [](const auto &info) { return info.param.name; });

} // namespace
