// The cells found by what the modem answers: a modem whose identification
// names no family, or whose family's command answers only ERROR, gets the
// first command of each family in registry order until one answers with
// lines its parser reads; that family is kept until the next reconnect,
// AT+CESQ when none answers.

#include "SessionHarness.h"
#include "modems/ModemFamily.h"
#include "RynUtils.h"
#include "modems/common/CellCases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

using Writes = std::vector<std::string>;

const char *const kMainPoll = "AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r";
const Writes kMainAnswer{"+CSQ: 17,0", "+COPS: 0,0,\"Operator\",7", "+COPS: 0,2,\"46001\",7", "+CREG: 0,1",
                         "+CPAS: 0", "OK"};

// A sample reply of a family's replies/ folder, line by line.
Writes ReplyLines(const char *family, const char *name)
{
    Writes lines;
    std::string text = cellcases::Reply(family, name);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string line = TrimControl(text.substr(start, end - start));
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The first commands of the families tried, up to and including the
// family named (all of them for nullptr).
Writes ProbesUpTo(const ModemFamily *tried, const char *last)
{
    Writes out;
    for (const ModemFamily *family : ProbeOrder(tried)) {
        out.push_back(family->commands.front().text);
        if (last && std::string(family->name) == last)
            break;
    }
    return out;
}

struct ProbeCase {
    const char *name;
    std::string manufacturer;
    std::string model;
    // What the modem answers to each cell command; every other one ERROR.
    std::map<std::string, Writes> answers;
    const char *family;       // the family kept
    Writes firstCycle;        // the cell commands of the first cycle
    Writes laterCycle;        // and of the next
    std::string said;         // the terminal's line of the choice; empty: none
    bool servingRead = true;  // whether the record holds a serving cell
};

void PrintTo(const ProbeCase &c, std::ostream *os) { *os << c.name; }

// The commands of the family named, as the registry lists them.
Writes Commands(const char *name)
{
    Writes commands;
    for (const ModemFamily *family : ModemFamilies())
        if (std::string(family->name) == name)
            for (const FamilyCommand &command : family->commands)
                commands.push_back(command.text);
    return commands;
}

std::vector<ProbeCase> ProbeCases()
{
    const Writes kQueng = Commands("Quectel");
    const Writes kHuawei = Commands("Huawei");
    Writes huaweiFirst{"AT^MONI\r"};
    for (const std::string &probe : ProbesUpTo(nullptr, "Huawei"))
        huaweiFirst.push_back(probe);
    huaweiFirst.insert(huaweiFirst.end(), kHuawei.begin(), kHuawei.end());
    Writes quectelFirst{"AT^MONI\r", kQueng[0]};
    quectelFirst.insert(quectelFirst.end(), kQueng.begin(), kQueng.end());
    Writes noneFirst{"AT^MONI\r"};
    for (const std::string &probe : ProbesUpTo(nullptr, nullptr))
        noneFirst.push_back(probe);
    noneFirst.push_back("AT+CESQ\r");
    Writes quectelLine = ReplyLines("quectel", "qeng_lte");
    quectelLine.push_back("OK");
    Writes huaweiLine = ReplyLines("huawei", "monsc_lte");
    huaweiLine.push_back("OK");
    return {
        // A maker the registry knows: its family at once, nothing tried.
        {"KnownMaker", "Quectel", "EC25", {{kQueng[0], quectelLine}, {kQueng[1], {"OK"}}}, "Quectel", kQueng, kQueng, ""},
        // A Huawei platform under another name: AT^MONI and the families
        // before Huawei answer ERROR or nothing the parser reads (Quectel's
        // bare OK), AT^MONSC answers its cells.
        {"UnknownMakerAnsweringAFamilysCommand",
         "Some Other Name",
         "ME909s-120",
         {{kQueng[0], {"OK"}}, {kHuawei[0], huaweiLine}, {kHuawei[1], {"OK"}}},
         "Huawei",
         huaweiFirst,
         kHuawei,
         "machine: AT^MONSC answers; reading cells as Huawei"},
        // A module that is not camped yet: a line of the command's own
        // prefix without a cell tells the family.
        {"UnknownMakerNotCamped",
         "Some Other Name",
         "EC25",
         {{kQueng[0], {"+QENG: \"servingcell\",\"SEARCH\"", "OK"}}},
         "Quectel",
         quectelFirst,
         kQueng,
         "machine: AT+QENG=\"servingcell\" answers; reading cells as Quectel",
         false},
        // Nothing answers: AT+CESQ.
        {"NothingAnswering",
         "Some Other Name",
         "X1",
         {{"AT+CESQ\r", {"+CESQ: 99,99,255,255,30,50", "OK"}}},
         "3GPP",
         noneFirst,
         {"AT+CESQ\r"},
         "machine: no family's cell command answers; AT+CESQ used instead until the port is reopened"},
    };
}

// One poll cycle: the main answer, then every cell command answered from
// the case; the cell commands sent, in order.
Writes Cycle(SessionHarness &h, const ProbeCase &c)
{
    const int before = h.view.cycles;
    h.Advance(50);
    Writes sent;
    for (int round = 0; round < 100 && h.view.cycles == before; ++round) {
        const Writes writes = h.TakeWrites();
        if (writes.empty())
            break;
        for (const std::string &command : writes) {
            if (command == kMainPoll) {
                h.ReplyLines(kMainAnswer);
                continue;
            }
            sent.push_back(command);
            const auto answer = c.answers.find(command);
            h.ReplyLines(answer != c.answers.end() ? answer->second : Writes{"ERROR"});
        }
    }
    EXPECT_EQ(h.view.cycles, before + 1);
    return sent;
}

class SessionProbe : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(SessionProbe, KeepsTheFirstFamilyWhoseCommandAnswers)
{
    const ProbeCase &c = GetParam();
    SessionHarness h;
    h.Start();
    const auto identify = [&] {
        h.Reply("OK\r\n");
        h.ReplyLines({c.manufacturer, "OK"});
        h.ReplyLines({c.model, "OK"});
        h.AnswerIdentity();
        h.TakeWrites();
    };
    identify();
    EXPECT_EQ(Cycle(h, c), c.firstCycle);
    EXPECT_STREQ(h.session.Family().name, c.family);
    EXPECT_EQ(h.session.DisplayRecordSnapshot().serving.has_value(), c.servingRead);
    EXPECT_EQ(Cycle(h, c), c.laterCycle) << "the choice is kept";

    const auto choices = std::count_if(h.view.lines.begin(), h.view.lines.end(), [](const std::string &l) {
        return l.find("reading cells as") != std::string::npos || l.find("no family's") != std::string::npos;
    });
    EXPECT_EQ(choices, c.said.empty() ? 0 : 1) << "said once";
    if (!c.said.empty()) {
        EXPECT_TRUE(h.view.HasLine(c.said));
    }

    // A reconnect tries again from the identification.
    h.channel.Lose();
    h.Advance(50);
    identify();
    EXPECT_EQ(Cycle(h, c), c.firstCycle);
}

INSTANTIATE_TEST_SUITE_P(Cases, SessionProbe, ::testing::ValuesIn(ProbeCases()),
                         [](const ::testing::TestParamInfo<ProbeCase> &info) { return std::string(info.param.name); });

} // namespace
