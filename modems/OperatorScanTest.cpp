#include "modems/OperatorScan.h"

#include <gtest/gtest.h>

void PrintTo(const ScannedOperator &op, std::ostream *os)
{
    *os << '(' << op.status << ",\"" << op.longName << "\",\"" << op.shortName << "\",\"" << op.code << "\","
        << op.accessTechnology << ')';
}

namespace {

// +COPS=? answers in the forms the makers' manuals print them.
TEST(OperatorScan, NetworksOfTheAnswers)
{
    using Ops = std::vector<ScannedOperator>;
    const struct {
        const char *line;
        std::optional<Ops> expected;
    } cases[] = {
        {R"x(+COPS: (1,"CHN-UNICOM","UNICOM","46001",7),(3,"CHINA MOBILE","CMCC","46000",7),,(0,1,2,3,4),(0,1,2))x",
         Ops{{1, "CHN-UNICOM", "UNICOM", "46001", 7}, {3, "CHINA MOBILE", "CMCC", "46000", 7}}},
        // No short names, no technology, the lists given as ranges.
        {R"x(+COPS: (2,"D1-TELEKOM",,"26201"),(3,"D2  PRIVAT",,"26202"),,(0-4),(0,2))x",
         Ops{{2, "D1-TELEKOM", "", "26201", -1}, {3, "D2  PRIVAT", "", "26202", -1}}},
        // Commas and parentheses inside a name; a three-digit MNC; no blank after the colon.
        {R"x(+COPS:(2,"Orange, F (pro)","OF","208001",2),(0,"","","310260",0),,(0-4),(0-2))x",
         Ops{{2, "Orange, F (pro)", "OF", "208001", 2}, {0, "", "", "310260", 0}}},
        // Bytes around the quotes, and a second quoted part, are no part of the name.
        {R"x(+COPS: (2,"Vodafone CZ"xx,P"VF CZ""DE","23003",7))x", Ops{{2, "Vodafone CZ", "VF CZ", "23003", 7}}},
        // No network found.
        {"+COPS: ,,(0-4),(0-2)x", Ops{}},
        // A group cut off at the end of the line is left out, the whole ones kept.
        {R"x(+COPS: (2,"Vodafone CZ","VF CZ","23003",7),(1,"T-Mob)x", Ops{{2, "Vodafone CZ", "VF CZ", "23003", 7}}},
        // Groups that are no network: a status out of range, a code that is no code.
        {R"x(+COPS: (7,"A","B","23001",7),(1,"A","B","2300X",7),(1,"A","B","230",7))x", Ops{}},
        // The read answer and other lines are no scan.
        {R"x(+COPS: 0,0,"Vodafone CZ",7)x", std::nullopt},
        {"+COPS: 0", std::nullopt},
        {"OK", std::nullopt},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ParseOperatorScan(c.line), c.expected) << c.line;
        EXPECT_EQ(IsOperatorScanLine(c.line), c.expected.has_value()) << c.line;
    }
}

TEST(OperatorScan, OutcomeTexts)
{
    OperatorScanResult result;
    EXPECT_EQ(ScanOutcomeText(result, 180), "no network found");
    result.operators.resize(3);
    EXPECT_EQ(ScanOutcomeText(result, 180), "3 networks found");
    result = {ScanOutcome::Refused, {}, "+CME ERROR: 30"};
    EXPECT_EQ(ScanOutcomeText(result, 180), "the modem refused the scan: +CME ERROR: 30");
    result.outcome = ScanOutcome::TimedOut;
    EXPECT_EQ(ScanOutcomeText(result, 180), "the scan got no answer within 180 s");
}

} // namespace
