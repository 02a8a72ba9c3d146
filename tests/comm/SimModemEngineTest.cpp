// The simulated modem's AT answers: formats the session's parsers accept,
// values that agree with the modem's reported truth, both model variants,
// the incoming call and operator switches.
#include "RynSimModem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char *kPollCommand = "AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r";

// The non-empty lines of an answer; fails the test when a line end is not CR LF.
std::vector<std::string> Lines(const std::string &answer)
{
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < answer.size(); ++i) {
        if (answer[i] == '\r') {
            EXPECT_TRUE(i + 1 < answer.size() && answer[i + 1] == '\n') << "bare CR in " << answer;
            if (!current.empty())
                lines.push_back(current);
            current.clear();
            ++i;
        } else {
            EXPECT_NE(answer[i], '\n') << "bare LF in " << answer;
            current += answer[i];
        }
    }
    EXPECT_TRUE(current.empty()) << "unterminated line \"" << current << "\"";
    return lines;
}

std::vector<std::string> Split(const std::string &line, char separator)
{
    std::vector<std::string> parts;
    if (separator == ' ') {
        std::istringstream in(line);
        for (std::string word; in >> word;)
            parts.push_back(word);
        return parts;
    }
    std::string part;
    std::istringstream in(line);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

TRynSimModemEngine QuietEngine(const std::string &model, std::uint32_t seed = 7)
{
    TRynSimModemEngine engine(seed);
    engine.SetModel(model);
    engine.Feed("ATE0\r");
    return engine;
}

struct ModelCase {
    const char *model;
    bool smonp;
    bool moni;
};

class SimModemModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(SimModemModel, IdentifiesManufacturerAndModel)
{
    TRynSimModemEngine engine = QuietEngine(GetParam().model);
    EXPECT_EQ(engine.Feed("AT+CGMI\r"), std::string("\r\n") + TRynSimModemEngine::kManufacturer + "\r\n\r\nOK\r\n");
    EXPECT_EQ(engine.Feed("AT+CGMM\r"), std::string("\r\n") + GetParam().model + "\r\n\r\nOK\r\n");
}

TEST_P(SimModemModel, AnswersOnlyTheCellMonitorOfItsFamily)
{
    TRynSimModemEngine engine = QuietEngine(GetParam().model);
    EXPECT_EQ(Lines(engine.Feed("AT^MONI\r")).back(), GetParam().moni ? "OK" : "ERROR");
    EXPECT_EQ(Lines(engine.Feed("AT^MONP\r")).back(), GetParam().moni ? "OK" : "ERROR");
    EXPECT_EQ(Lines(engine.Feed("AT^SMONP\r")).back(), GetParam().smonp ? "OK" : "ERROR");
}

INSTANTIATE_TEST_SUITE_P(Models, SimModemModel,
                         ::testing::Values(ModelCase{"BGS5", true, false}, ModelCase{"PX-2G", false, true},
                                           ModelCase{TRynSimModemEngine::kModelWithoutCellMonitor, false, false}),
                         [](const auto &info) {
                             return std::string(info.param.smonp ? "BGS5" : info.param.moni ? "Other" : "Generic");
                         });

// A module sold under another name: AT+CGMI and ATI say that name, the
// model's own cell commands stay, and the name outlives a change of model
// and a reset until it is cleared.
TEST(SimModemEngine, ManufacturerNamesAnotherSellerAndKeepsTheModelsCommands)
{
    TRynSimModemEngine engine = QuietEngine("ME909s-120");
    engine.SetManufacturer("TD Tech Ltd");
    EXPECT_EQ(engine.Feed("AT+CGMI\r"), "\r\nTD Tech Ltd\r\n\r\nOK\r\n");
    EXPECT_EQ(Lines(engine.Feed("ATI\r")).front(), "TD Tech Ltd");
    EXPECT_EQ(Lines(engine.Feed("AT^MONSC\r")).back(), "OK");
    engine.SetModel("EC25");
    engine.Feed("ATZE0\r");
    EXPECT_EQ(engine.Feed("AT+GMI\r"), "\r\nTD Tech Ltd\r\n\r\nOK\r\n");
    EXPECT_EQ(Lines(engine.Feed("AT+QENG=\"servingcell\"\r")).back(), "OK");
    engine.SetManufacturer("");
    EXPECT_EQ(engine.Feed("AT+CGMI\r"), "\r\nQuectel\r\n\r\nOK\r\n");
}

TEST(SimModemEngine, DelayedCommandsAnswerAfterTheirEcho)
{
    TRynSimModemEngine engine;
    engine.AddCommandDelay("ate0+cops=0", std::chrono::milliseconds(2500));
    engine.AddCommandDelay("COPS", std::chrono::milliseconds(100));
    const std::vector<TRynSimReply> replies = engine.FeedReplies("ATE0+COPS=0\rAT\r");
    ASSERT_EQ(replies.size(), 3u) << "the echo goes out at once, each answer after its delay";
    EXPECT_EQ(replies[0].bytes, "ATE0+COPS=0\r");
    EXPECT_EQ(replies[0].delay.count(), 0);
    EXPECT_EQ(replies[1].bytes, "\r\nOK\r\n");
    EXPECT_EQ(replies[1].delay.count(), 2500) << "the longest matching delay";
    EXPECT_EQ(replies[2].bytes, "\r\nOK\r\n");
    EXPECT_EQ(replies[2].delay.count(), 0);

    // The pacer keeps the order: an answer never overtakes the one before.
    TRynSimPacer pacer;
    const auto t0 = TRynSimPacer::Clock::now();
    const auto first = pacer.Due(t0, std::chrono::milliseconds(20), std::chrono::milliseconds(2500));
    const auto second = pacer.Due(t0 + std::chrono::milliseconds(5), std::chrono::milliseconds(20), {});
    EXPECT_EQ(first - t0, std::chrono::milliseconds(2520));
    EXPECT_EQ(second, first);
}

TEST(SimModemEngine, UnsolicitedLinesComeInsideAnAnswerOrAlone)
{
    TRynSimModemEngine engine = QuietEngine("MC55");
    engine.QueueUnsolicited(TRynSimUrcPlacement::InsideNextAnswer);
    const std::vector<std::string> lines = Lines(engine.Feed(kPollCommand));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3], "RING") << "in the middle of the answer";
    EXPECT_EQ(lines.back(), "OK");
    EXPECT_EQ(Lines(engine.Feed(kPollCommand)).size(), 6u) << "once";
    EXPECT_TRUE(engine.TakeUnsolicited().empty());
    engine.QueueUnsolicited(TRynSimUrcPlacement::OnItsOwn);
    EXPECT_EQ(engine.TakeUnsolicited(), "\r\n+CMTI: \"SM\",3\r\n");
}

TEST(SimModemEngine, ModemLeftReportingItsLocationKeepsDoingSo)
{
    TRynSimModemEngine engine = QuietEngine("MC55");
    engine.SetCregStartMode(2);
    for (const char *reset : {"AT\r", "ATZ\r"}) {
        engine.Feed(reset);
        engine.Feed("ATE0\r");
        const std::vector<std::string> lines = Lines(engine.Feed(kPollCommand));
        ASSERT_GE(lines.size(), 4u);
        EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(\+CREG: 2,1,"[0-9A-F]{4}","[0-9A-F]{4}",0)")))
            << lines[3];
    }
}

TEST(SimModemEngine, EchoesUntilEchoIsSwitchedOff)
{
    TRynSimModemEngine engine;
    EXPECT_TRUE(engine.Echo());
    // The line that switches echo off is still echoed as it is typed.
    EXPECT_EQ(engine.Feed("ATE0+COPS=0\r"), "ATE0+COPS=0\r\r\nOK\r\n");
    EXPECT_FALSE(engine.Echo());
    EXPECT_EQ(engine.Feed("AT\r"), "\r\nOK\r\n");
    EXPECT_EQ(engine.Feed("ATE1\r"), "\r\nOK\r\n");
    EXPECT_EQ(engine.Feed("AT\r"), "AT\r\r\nOK\r\n");
}

TEST(SimModemEngine, PollCommandGivesOneLinePerPartAndAFinalOk)
{
    TRynSimModemEngine engine = QuietEngine("BGS5");
    const std::vector<std::string> lines = Lines(engine.Feed(kPollCommand));
    const TRynSimTruth &truth = engine.Truth();
    ASSERT_EQ(lines.size(), 6U);
    EXPECT_EQ(lines[0], "+CSQ: " + std::to_string(truth.rssi) + "," + std::to_string(truth.ber));
    EXPECT_EQ(lines[1], "+COPS: 0,0,\"T-Mobile CZ\"");
    EXPECT_EQ(lines[2], "+COPS: 0,2,\"23001\"");
    EXPECT_EQ(lines[3], "+CREG: 0,1");
    EXPECT_EQ(lines[4], "+CPAS: 0");
    EXPECT_EQ(lines[5], "OK");
    EXPECT_GE(truth.rssi, 0);
    EXPECT_LE(truth.rssi, 31);
    EXPECT_EQ(truth.operatorName, "T-Mobile CZ");
    EXPECT_EQ(truth.operatorCode, "23001");
}

TEST(SimModemEngine, ServingCellLineHasTwelveColumnsMatchingTheTruth)
{
    TRynSimModemEngine engine = QuietEngine("PX-2G", 11);
    engine.Feed(kPollCommand);
    const std::vector<std::string> lines = Lines(engine.Feed("AT^MONI\r"));
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0].rfind("chann", 0), 0U);
    const std::vector<std::string> columns = Split(lines[1], ' ');
    ASSERT_EQ(columns.size(), 12U) << lines[1];
    const TRynSimCell &serving = engine.Truth().cells[0];
    EXPECT_EQ(std::stoi(columns[0]), serving.channel);
    EXPECT_EQ(std::stoi(columns[1]), serving.rssi);
    EXPECT_EQ(std::stoi(columns[2]), serving.dbm);
    EXPECT_EQ(std::stoi(columns[3]), serving.mcc);
    EXPECT_EQ(std::stoi(columns[4]), serving.mnc);
    EXPECT_EQ(std::stoi(columns[11]), serving.c1);
    EXPECT_EQ(serving.mcc, 230);
    EXPECT_EQ(serving.mnc, 1);
    EXPECT_EQ(serving.rssi, serving.dbm + 110);
    EXPECT_EQ(lines[2], "OK");
}

TEST(SimModemEngine, NeighbourLinesListEveryNeighbourInOrder)
{
    TRynSimModemEngine engine = QuietEngine("PX-2G", 3);
    engine.Feed(kPollCommand);
    const std::vector<std::string> lines = Lines(engine.Feed("AT^MONP\r"));
    const TRynSimTruth &truth = engine.Truth();
    ASSERT_GE(truth.cellCount, 2);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(truth.cellCount) + 1) << "header, neighbours, OK";
    EXPECT_EQ(lines[0].rfind("chann", 0), 0U);
    for (int i = 1; i < truth.cellCount; ++i) {
        SCOPED_TRACE(lines[static_cast<std::size_t>(i)]);
        const std::vector<std::string> c = Split(lines[static_cast<std::size_t>(i)], ' ');
        ASSERT_EQ(c.size(), 8U);
        const TRynSimCell &cell = truth.cells[static_cast<std::size_t>(i)];
        EXPECT_EQ(std::stoi(c[0]), cell.channel);
        EXPECT_EQ(std::stoi(c[1]), cell.rssi);
        EXPECT_EQ(std::stoi(c[2]), cell.dbm);
        EXPECT_EQ(std::stoi(c[3]), cell.mcc);
        EXPECT_EQ(std::stoi(c[4]), cell.mnc);
        EXPECT_EQ(std::stoi(c[6]), cell.c1);
    }
    EXPECT_LE(truth.cellCount - 1, 6);
    EXPECT_EQ(lines.back(), "OK");
}

TEST(SimModemEngine, SmonpListsServingCellFirstWithC1AsEighthValue)
{
    TRynSimModemEngine engine = QuietEngine("BGS5", 5);
    engine.Feed(kPollCommand);
    const std::vector<std::string> lines = Lines(engine.Feed("AT^SMONP\r"));
    const TRynSimTruth &truth = engine.Truth();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(truth.cellCount) + 2) << "header, cells, OK";
    EXPECT_EQ(lines[0], "2G:");
    for (int i = 0; i < truth.cellCount; ++i) {
        const std::string &line = lines[static_cast<std::size_t>(i) + 1];
        SCOPED_TRACE(line);
        EXPECT_EQ(line.find(' '), std::string::npos) << "the parser skips no blanks";
        const std::vector<std::string> v = Split(line, ',');
        ASSERT_GE(v.size(), 8U);
        const TRynSimCell &cell = truth.cells[static_cast<std::size_t>(i)];
        EXPECT_EQ(std::stoi(v[0]), cell.channel);
        EXPECT_EQ(std::stoi(v[1]), cell.rssi);
        EXPECT_EQ(std::stoi(v[2]), cell.dbm);
        EXPECT_EQ(std::stoi(v[3]), cell.mcc);
        EXPECT_EQ(std::stoi(v[4]), cell.mnc);
        EXPECT_EQ(std::stoi(v[7]), cell.c1);
    }
}

TEST(SimModemEngine, OperatorSwitchChangesWhatCopsReportsAndBack)
{
    TRynSimModemEngine engine = QuietEngine("PX-2G");
    EXPECT_EQ(engine.Feed("AT+COPS=1,2,\"23003\"\r"), "\r\nOK\r\n");
    std::vector<std::string> lines = Lines(engine.Feed(kPollCommand));
    ASSERT_EQ(lines.size(), 6U);
    EXPECT_EQ(lines[1], "+COPS: 1,0,\"Vodafone CZ\"");
    EXPECT_EQ(lines[2], "+COPS: 1,2,\"23003\"");
    EXPECT_EQ(engine.Truth().operatorCode, "23003");
    EXPECT_EQ(engine.Truth().cells[0].mnc, 3) << "the cells belong to the new network";

    EXPECT_EQ(engine.Feed("AT+COPS=0\r"), "\r\nOK\r\n");
    lines = Lines(engine.Feed(kPollCommand));
    EXPECT_EQ(lines[1], "+COPS: 0,0,\"T-Mobile CZ\"");
    EXPECT_EQ(lines[2], "+COPS: 0,2,\"23001\"");
    EXPECT_EQ(engine.Truth().cells[0].mnc, 1);
}

TEST(SimModemEngine, SwitchToUnknownOperatorFailsAndKeepsTheOldOne)
{
    TRynSimModemEngine engine = QuietEngine("PX-2G");
    EXPECT_EQ(engine.Feed("AT+COPS=1,2,\"99999\"\r"), "\r\nERROR\r\n");
    EXPECT_EQ(engine.Truth().operatorCode, "23001");
    engine.Feed("AT+CMEE=1\r");
    EXPECT_EQ(engine.Feed("AT+COPS=1,2,\"99999\"\r"), "\r\n+CME ERROR: 30\r\n");
    EXPECT_EQ(engine.Feed("AT+COPS=1,0,\"O2 - CZ\"\r"), "\r\nOK\r\n") << "by long name";
    EXPECT_EQ(engine.Truth().operatorCode, "23002");
}

TEST(SimModemEngine, DeregistrationReportsModeOnly)
{
    TRynSimModemEngine engine = QuietEngine("PX-2G");
    engine.Feed("AT+COPS=2\r");
    const std::vector<std::string> lines = Lines(engine.Feed(kPollCommand));
    ASSERT_EQ(lines.size(), 6U);
    EXPECT_EQ(lines[0], "+CSQ: 99,99");
    EXPECT_EQ(lines[1], "+COPS: 2");
    EXPECT_EQ(lines[3], "+CREG: 0,0");
}

TEST(SimModemEngine, IncomingCallRingsUntilAnsweredThenEnds)
{
    TRynSimModemEngine engine = QuietEngine("BGS5");
    EXPECT_EQ(engine.Feed("ATA\r"), "\r\nNO CARRIER\r\n") << "nothing to answer";
    engine.StartIncomingCall();
    EXPECT_TRUE(engine.RingIndicator());
    EXPECT_EQ(Lines(engine.Feed(kPollCommand))[4], "+CPAS: 3");
    EXPECT_TRUE(engine.RingIndicator()) << "rings until ATA";
    EXPECT_EQ(engine.Feed("ATA\r"), "\r\nOK\r\n");
    EXPECT_FALSE(engine.RingIndicator());
    for (int i = 1; i < TRynSimModemEngine::kCallPolls; ++i)
        EXPECT_EQ(Lines(engine.Feed(kPollCommand))[4], "+CPAS: 4") << "poll " << i;
    EXPECT_EQ(Lines(engine.Feed(kPollCommand))[4], "+CPAS: 0");
    EXPECT_EQ(engine.Truth().activity, 0);
}

TEST(SimModemEngine, CallAfterPollsRingsAtThatPoll)
{
    TRynSimModemEngine engine = QuietEngine("PX-2G");
    engine.SetCallAfterPolls(3);
    engine.Feed(kPollCommand);
    engine.Feed(kPollCommand);
    EXPECT_FALSE(engine.RingIndicator());
    engine.Feed(kPollCommand);
    EXPECT_TRUE(engine.RingIndicator());
    EXPECT_EQ(engine.Feed("ATH\r"), "\r\nOK\r\n");
    EXPECT_FALSE(engine.RingIndicator());
    EXPECT_TRUE(engine.TakeUnsolicited().empty()) << "no RING line unless asked for";
}

TEST(SimModemEngine, UnsolicitedRingOnlyWhenEnabled)
{
    TRynSimModemEngine engine = QuietEngine("PX-2G");
    engine.SetUnsolicitedRing(true);
    engine.StartIncomingCall();
    EXPECT_EQ(engine.TakeUnsolicited(), "\r\nRING\r\n");
    EXPECT_EQ(engine.TakeUnsolicited(), "");
}

struct ErrorCase {
    const char *name;
    const char *input;
    const char *answer;
};

class SimModemErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SimModemErrors, Answers)
{
    TRynSimModemEngine engine = QuietEngine("PX-2G");
    EXPECT_EQ(engine.Feed(GetParam().input), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, SimModemErrors,
    ::testing::Values(ErrorCase{"UnknownExtended", "AT+FOO\r", "\r\nERROR\r\n"},
                      ErrorCase{"NotAnAtCommand", "hello\r", "\r\nERROR\r\n"},
                      ErrorCase{"UnknownBasic", "ATK\r", "\r\nERROR\r\n"},
                      ErrorCase{"EmptyLineIsIgnored", "\r", ""},
                      ErrorCase{"LowerCase", "at+cgmm\r", "\r\nPX-2G\r\n\r\nOK\r\n"},
                      ErrorCase{"CrLfFromATerminal", "AT\r\nAT\r\n", "\r\nOK\r\n\r\nOK\r\n"},
                      ErrorCase{"BackspaceEditsTheLine", "AT+CGMX\bM\r", "\r\nPX-2G\r\n\r\nOK\r\n"},
                      ErrorCase{"ErrorStopsTheRestOfTheLine", "AT+CPAS;+FOO;+CGMM\r", "\r\n+CPAS: 0\r\n\r\nERROR\r\n"},
                      ErrorCase{"UnterminatedQuote", "AT+COPS=1,2,\"23003\r", "\r\nERROR\r\n"},
                      ErrorCase{"CsqTest", "AT+CSQ=?\r", "\r\n+CSQ: (0-31,99),(0-7,99)\r\n\r\nOK\r\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SimModemEngine, CommandSplitAcrossFeedsIsAnsweredAtItsCarriageReturn)
{
    TRynSimModemEngine engine = QuietEngine("BGS5");
    EXPECT_EQ(engine.Feed("AT+CG"), "");
    EXPECT_EQ(engine.Feed("MM"), "");
    EXPECT_EQ(engine.Feed("\rAT\r"), "\r\nBGS5\r\n\r\nOK\r\n\r\nOK\r\n");
}

std::string Script(TRynSimModemEngine &engine, int polls)
{
    std::string out;
    for (int i = 0; i < polls; ++i)
        out += engine.Feed(kPollCommand) + engine.Feed("AT^MONI\r") + engine.Feed("AT^MONP\r");
    return out;
}

TEST(SimModemEngine, SameSeedSameModemOtherSeedOtherModem)
{
    TRynSimModemEngine a(42), b(42), c(43);
    for (auto *e : {&a, &b, &c})
        e->SetModel("PX-2G");
    const std::string first = Script(a, 30);
    EXPECT_EQ(first, Script(b, 30));
    EXPECT_NE(first, Script(c, 30));
    a.Reset(42);
    EXPECT_EQ(Script(a, 30), first) << "Reset replays the seed";
}

TEST(SimModemEngine, SignalWandersWithinRangeAndServingCellChangesNowAndThen)
{
    TRynSimModemEngine engine = QuietEngine("BGS5", 9);
    const int firstChannel = engine.Truth().cells[0].channel;
    int minRssi = 99, maxRssi = -1, changes = 0, previousDbm = engine.Truth().cells[0].dbm;
    int previousChannel = firstChannel;
    // Long enough for the serving cell's longest stretch to end.
    for (int i = 0; i < 2 * TRynSimModemEngine::kServingDwellMaxPolls; ++i) {
        engine.Feed(kPollCommand);
        const TRynSimTruth &t = engine.Truth();
        ASSERT_GE(t.rssi, 0);
        ASSERT_LE(t.rssi, 31);
        ASSERT_GE(t.ber, 0);
        ASSERT_LE(t.ber, 7);
        if (t.cells[0].channel == previousChannel) {
            ASSERT_LE(std::abs(t.cells[0].dbm - previousDbm), 2) << "wanders, does not jump";
        }
        minRssi = std::min(minRssi, t.rssi);
        maxRssi = std::max(maxRssi, t.rssi);
        changes += t.cells[0].channel != previousChannel;
        previousDbm = t.cells[0].dbm;
        previousChannel = t.cells[0].channel;
    }
    EXPECT_GT(maxRssi - minRssi, 2) << "the signal moves";
    EXPECT_GT(changes, 0) << "the serving cell changes now and then";
    EXPECT_LT(changes, 100) << "but not on most polls";
}

// The BGS5 as its ^SMONP answer shows it over hours of polling: the serving
// cell is kept for minutes, a neighbour takes over only once it is clearly
// stronger, and the neighbours are listed strongest first.
TEST(SimModemEngine, Bgs5KeepsItsServingCellForMinutesAndListsNeighboursByStrength)
{
    for (const std::uint32_t seed : {3U, 9U, 2024U}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TRynSimModemEngine engine = QuietEngine("BGS5", seed);
        constexpr int kPolls = 20000;
        int changes = 0, sinceChange = 0, shortest = kPolls;
        int previousChannel = -1, previousDbm = 0;
        for (int poll = 0; poll < kPolls; ++poll) {
            engine.Feed(kPollCommand);
            const std::vector<std::string> lines = Lines(engine.Feed("AT^SMONP\r"));
            ASSERT_GE(lines.size(), 3U) << "header, serving cell, OK";
            std::vector<std::vector<std::string>> cells;
            for (std::size_t i = 1; i + 1 < lines.size(); ++i)
                cells.push_back(Split(lines[i], ','));
            for (std::size_t i = 2; i < cells.size(); ++i)
                ASSERT_GE(std::stoi(cells[i - 1][2]), std::stoi(cells[i][2])) << "poll " << poll << ": " << lines[i + 1];
            const int channel = std::stoi(cells[0][0]);
            const int dbm = std::stoi(cells[0][2]);
            if (previousChannel >= 0 && channel != previousChannel) {
                ++changes;
                if (changes > 1)
                    shortest = std::min(shortest, sinceChange);
                sinceChange = 0;
                const auto old = std::find_if(cells.begin() + 1, cells.end(), [&](const auto &c) {
                    return std::stoi(c[0]) == previousChannel;
                });
                ASSERT_NE(old, cells.end()) << "the old serving cell stays a neighbour";
                EXPECT_GE(dbm, std::stoi((*old)[2]) + TRynSimModemEngine::kReselectHysteresisDb) << "poll " << poll;
            } else if (previousChannel >= 0) {
                ASSERT_LE(std::abs(dbm - previousDbm), 2) << "fades, does not jump";
            }
            ++sinceChange;
            previousChannel = channel;
            previousDbm = dbm;
        }
        EXPECT_GE(changes, 3) << "the serving cell does change, every few minutes";
        EXPECT_GE(shortest, TRynSimModemEngine::kServingDwellMinPolls) << "never after seconds";
    }
}

// ---------------------------------------------------------------- LTE models

// The groups of line index of an answer, which must match pattern; an
// unmatched group is empty.
using Groups = std::vector<std::string>;

Groups MatchLine(const std::vector<std::string> &lines, std::size_t index, const char *pattern)
{
    std::smatch match;
    const std::regex expression(pattern);
    Groups groups(expression.mark_count() + 1);
    if (index >= lines.size()) {
        ADD_FAILURE() << "no line " << index;
        return groups;
    }
    EXPECT_TRUE(std::regex_match(lines[index], match, expression)) << lines[index];
    for (std::size_t i = 0; i < match.size(); ++i)
        groups[i] = match[i].str();
    return groups;
}

int Number(const std::string &text, int base = 10) { return text.empty() ? -1 : std::stoi(text, nullptr, base); }
double Level(const std::string &text, double scale = 1) { return text.empty() ? NAN : std::stod(text) / scale; }

void ExpectServingIdentity(const Groups &m, const TRynSimLteServing &c, int mcc, int mnc, int cellId, int pci,
                           int earfcn, int band, int tac, int cellIdBase = 16)
{
    EXPECT_EQ(Number(m[mcc]), c.mcc);
    EXPECT_EQ(Number(m[mnc]), c.mnc);
    EXPECT_EQ(Number(m[cellId], cellIdBase), c.cellId);
    EXPECT_EQ(Number(m[pci]), c.pci);
    EXPECT_EQ(Number(m[earfcn]), c.earfcn);
    EXPECT_EQ(Number(m[band]), c.band);
    EXPECT_EQ(Number(m[tac], 16), c.tac);
}

void CheckQeng(TRynSimModemEngine &engine)
{
    const TRynSimLteTruth &t = engine.Truth().lte;
    const std::vector<std::string> lines = Lines(engine.Feed("AT+QENG=\"servingcell\"\r"));
    if (!t.hasNr) {
        const Groups m = MatchLine(lines, 0,
                                        R"re(\+QENG: "servingcell","NOCONN","LTE","FDD",(\d{3}),(\d{2}),([0-9A-F]+),(\d+),(\d+),(\d+),([0-5]),([0-5]),([0-9A-F]+),(-?\d+),(-?\d+),(-?\d+),(-?\d+),(-?\d+))re");
        ExpectServingIdentity(m, t.serving, 1, 2, 3, 4, 5, 6, 9);
        EXPECT_EQ(Level(m[10]), t.serving.rsrp.value);
        EXPECT_EQ(Level(m[11]), t.serving.rsrq.value);
        EXPECT_EQ(Level(m[12]), t.serving.rssi.value);
        EXPECT_EQ(Level(m[13]), t.serving.sinr.value) << "the EC2x prints SINR in dB";
    } else {
        ASSERT_EQ(lines.size(), 4U);
        EXPECT_EQ(lines[0], R"(+QENG: "servingcell","NOCONN")");
        const Groups m = MatchLine(lines, 1,
                                        R"re(\+QENG: "LTE","FDD",(\d{3}),(\d{2}),([0-9A-F]+),(\d+),(\d+),(\d+),([0-5]),([0-5]),([0-9A-F]+),(-?\d+),(-?\d+),(-?\d+),(-?\d+),\d+,-32768,-)re");
        ExpectServingIdentity(m, t.serving, 1, 2, 3, 4, 5, 6, 9);
        EXPECT_EQ(Level(m[10]), t.serving.rsrp.value);
        EXPECT_EQ(Level(m[11]), t.serving.rsrq.value);
        EXPECT_EQ(2 * Level(m[13]) - 20, t.serving.sinr.value) << "the RM5xx prints X for 2 X - 20 dB";
        const Groups nr =
            MatchLine(lines, 2, R"re(\+QENG:"NR5G-NSA",(\d{3}),(\d{2}),(\d+),(-?\d+),(-?\d+),(-?\d+),(\d+),78,12,1)re");
        EXPECT_EQ(Number(nr[3]), t.nr.pci);
        EXPECT_EQ(Level(nr[4]), t.nr.rsrp.value);
        EXPECT_EQ(Level(nr[5]), t.nr.sinr.value) << "SINR before RSRQ";
        EXPECT_EQ(Level(nr[6]), t.nr.rsrq.value);
        EXPECT_EQ(Number(nr[7]), t.nr.arfcn);
    }
    const std::vector<std::string> neighbours = Lines(engine.Feed("AT+QENG=\"neighbourcell\"\r"));
    ASSERT_EQ(neighbours.size(), t.neighbours.size() + 1);
    for (std::size_t i = 0; i < t.neighbours.size(); ++i) {
        const TRynSimLteCell &c = t.neighbours[i];
        const Groups m = MatchLine(
            neighbours, i, R"re(\+QENG: "neighbourcell (intra|inter)","LTE",(\d+),(\d+),(-?\d+),(-?\d+),(-?\d+),-,\d+(,\d+){3,4})re");
        EXPECT_EQ(m[1] == "intra", c.earfcn == t.serving.earfcn);
        EXPECT_EQ(Number(m[2]), c.earfcn);
        EXPECT_EQ(Number(m[3]), c.pci);
        EXPECT_EQ(Level(m[4]), c.rsrq.value) << "RSRQ before RSRP";
        EXPECT_EQ(Level(m[5]), c.rsrp.value);
        EXPECT_EQ(Level(m[6]), c.rssi.value);
    }
}

void CheckCpsi(TRynSimModemEngine &engine)
{
    const TRynSimLteServing &c = engine.Truth().lte.serving;
    const Groups m = MatchLine(Lines(engine.Feed("AT+CPSI?\r")), 0,
                                    R"re(\+CPSI: LTE,Online,(\d{3})-(\d{2}),0x([0-9A-F]{4}),(\d+),(\d+),EUTRAN-BAND(\d+),(\d+),([0-5]),([0-5]),(-?\d+),(-?\d+),(-?\d+),(-?\d+))re");
    ExpectServingIdentity(m, c, 1, 2, 4, 5, 7, 6, 3, 10);
    EXPECT_EQ(Level(m[10], 10), c.rsrq.value) << "tenths";
    EXPECT_EQ(Level(m[11], 10), c.rsrp.value);
    EXPECT_EQ(Level(m[12], 10), c.rssi.value);
    EXPECT_EQ(Level(m[13]), c.sinr.value);
}

void CheckSmoni(TRynSimModemEngine &engine)
{
    const TRynSimLteTruth &t = engine.Truth().lte;
    const Groups m = MatchLine(Lines(engine.Feed("AT^SMONI\r")), 0,
                                    R"re(\^SMONI: 4G,(\d+),(\d+),(\d+),(\d+),FDD,(\d{3}),(\d{2}),([0-9A-F]{4}),([0-9A-F]{7}),(\d+),(\d+),(-?\d+),(-?\d+(?:\.5)?),NOCONN)re");
    ExpectServingIdentity(m, t.serving, 5, 6, 8, 9, 1, 2, 7);
    EXPECT_EQ(Number(m[3]), t.serving.bandwidthMhz);
    EXPECT_EQ(Level(m[11]), t.serving.rsrp.value);
    EXPECT_EQ(Level(m[12]), t.serving.rsrq.value);

    const std::vector<std::string> lines = Lines(engine.Feed("AT^SMONP\r"));
    ASSERT_EQ(lines.size(), t.neighbours.size() + 6) << "2G, 3G, 4G blocks and OK";
    EXPECT_EQ(lines[0], "2G:");
    EXPECT_EQ(lines[2], "3G:");
    EXPECT_EQ(lines[3], "-----,---,-----,----") << "an empty block prints dashes";
    EXPECT_EQ(lines[4], "4G:");
    for (std::size_t i = 0; i < t.neighbours.size(); ++i) {
        const Groups n = MatchLine(lines, i + 5, R"re((\d+),(-?\d+(?:\.5)?),(-?\d+),(\d+),(\d+),-?\d+)re");
        EXPECT_EQ(Number(n[1]), t.neighbours[i].earfcn);
        EXPECT_EQ(Level(n[2]), t.neighbours[i].rsrq.value);
        EXPECT_EQ(Level(n[3]), t.neighbours[i].rsrp.value);
        EXPECT_EQ(Number(n[5]), t.neighbours[i].pci);
    }
}

// The answers the end-to-end test over palvex-modemsim reads into records:
// here only that the serving cell's EARFCN and the neighbours' PCIs are in
// it (decimal), one neighbour a line where the format lists them.
void CheckServingAndNeighbours(TRynSimModemEngine &engine, const char *command, bool neighbours)
{
    const TRynSimLteTruth &t = engine.Truth().lte;
    const std::string answer = engine.Feed(command);
    EXPECT_NE(answer.find("," + std::to_string(t.serving.earfcn) + ","), std::string::npos) << answer;
    for (const TRynSimLteCell &n : neighbours ? t.neighbours : std::vector<TRynSimLteCell>{})
        EXPECT_NE(answer.find(std::to_string(n.earfcn) + "," + std::to_string(n.pci) + ","), std::string::npos)
            << answer;
}

void CheckUcged(TRynSimModemEngine &engine)
{
    const TRynSimLteServing &c = engine.Truth().lte.serving;
    const std::vector<std::string> lines = Lines(engine.Feed("AT+UCGED?\r"));
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[0], "+UCGED: 2");
    const Groups m = MatchLine(lines, 2, R"re((\d+),(\d+),\d+,\d+,([0-9a-f]+),([0-9a-f]+),(\d+),\w+,\w+,\w+,(\d+),(\d+),(-?\d+\.\d\d),(?:[-\d]+,){9}0)re");
    EXPECT_EQ(Number(m[3], 16), c.tac);
    EXPECT_EQ(Number(m[4], 16), c.cellId);
    EXPECT_EQ(Number(m[6]) - 141, c.rsrp.value) << "indices";
    EXPECT_EQ(Number(m[7]) / 2.0 - 20, c.rsrq.value);
    EXPECT_EQ(Level(m[8]), c.sinr.value);
    // Mode 5, once a user set it: the serving cell and the neighbours.
    engine.Feed("AT+UCGED=5\r");
    const std::vector<std::string> mode5 = Lines(engine.Feed("AT+UCGED?\r"));
    engine.Feed("AT+UCGED=2\r");
    ASSERT_EQ(mode5.size(), 3U);
    const Groups r = MatchLine(mode5, 0, R"re(\+RSRP: (\d+),(\d+),"(-\d{3}\.\d\d)",.*)re");
    EXPECT_EQ(Number(r[1]), c.pci);
    EXPECT_EQ(Level(r[3]), c.rsrp.value);
    EXPECT_EQ(std::count(mode5[1].begin(), mode5[1].end(), '"'), 2 * int(engine.Truth().lte.neighbours.size() + 1));
}

void CheckRfsts(TRynSimModemEngine &engine)
{
    const TRynSimTruth &t = engine.Truth();
    const TRynSimLteServing &c = t.lte.serving;
    const Groups m = MatchLine(Lines(engine.Feed("AT#RFSTS\r")), 0,
                               R"re(#RFSTS: "(\d{3}) (\d{2})",(\d+),(-\d+),(-\d+),(-\d+(?:\.5)?),([0-9A-F]{4}),,128,3,0,([0-9A-F]+),"(\d{15})","([^"]*)",3,(\d+),(\d+))re");
    EXPECT_EQ(Number(m[3]), c.earfcn);
    EXPECT_EQ(Level(m[4]), c.rsrp.value);
    EXPECT_EQ(Level(m[6]), c.rsrq.value);
    EXPECT_EQ(Number(m[8], 16), c.cellId);
    EXPECT_EQ(m[10], t.operatorName);
    EXPECT_EQ(Number(m[11]), c.band);
    EXPECT_EQ(Level(m[12]) / 5 - 20, c.sinr.value) << "the LE910Cx SINR index";
}

struct LteModelCase {
    const char *model;
    const char *manufacturer;
    int accessTechnology;
    std::vector<std::string> commands; // the cell commands it answers
    std::function<void(TRynSimModemEngine &)> check;
    const char *searching; // the first line of commands[0] when not registered
};

class SimModemLteModel : public ::testing::TestWithParam<LteModelCase> {};

TEST_P(SimModemLteModel, AnswersInItsMakersFormatWhatTheTruthSays)
{
    const LteModelCase &c = GetParam();
    TRynSimModemEngine engine = QuietEngine(c.model, 21);
    EXPECT_EQ(engine.Feed("AT+CGMI\r"), std::string("\r\n") + c.manufacturer + "\r\n\r\nOK\r\n");
    EXPECT_EQ(engine.Feed("AT+CGMM\r"), std::string("\r\n") + c.model + "\r\n\r\nOK\r\n");
    for (int poll = 0; poll < 3; ++poll) {
        SCOPED_TRACE("poll " + std::to_string(poll));
        const std::vector<std::string> lines = Lines(engine.Feed(kPollCommand));
        const TRynSimTruth &t = engine.Truth();
        ASSERT_EQ(lines.size(), 6U);
        EXPECT_EQ(lines[0], "+CSQ: " + std::to_string(t.rssi) + ",99");
        EXPECT_EQ(t.rssi, std::clamp(static_cast<int>(std::floor((t.lte.serving.rssi.value + 113) / 2)), 0, 31))
            << "+CSQ follows the LTE RSSI";
        EXPECT_EQ(lines[1], "+COPS: 0,0,\"T-Mobile CZ\"," + std::to_string(c.accessTechnology));
        EXPECT_EQ(t.lte.accessTechnology, c.accessTechnology);

        const Groups cesq = MatchLine(Lines(engine.Feed("AT+CESQ\r")), 0,
                                           R"re(\+CESQ: 99,99,255,255,(\d+),(\d+)(?:,(\d+),(\d+),(\d+))?)re");
        EXPECT_EQ(Level(cesq[1]) / 2 - 20, t.lte.serving.rsrq.value);
        EXPECT_EQ(Level(cesq[2]) - 141, t.lte.serving.rsrp.value);
        EXPECT_EQ(!cesq[3].empty(), t.lte.hasNr) << "the NR fields only in EN-DC";
        if (t.lte.hasNr) {
            EXPECT_EQ(Level(cesq[3]) / 2 - 43.5, t.lte.nr.rsrq.value);
            EXPECT_EQ(Level(cesq[4]) - 157, t.lte.nr.rsrp.value);
            EXPECT_EQ(Level(cesq[5]) / 2 - 23.5, t.lte.nr.sinr.value);
        }
        c.check(engine);
    }
    for (const char *other : {"AT^MONI\r", "AT^MONP\r", "AT^SMONP\r", "AT^SMONI\r", "AT+QENG=\"servingcell\"\r",
                              "AT+QENG=\"neighbourcell\"\r", "AT+CPSI?\r", "AT^MONSC\r", "AT^MONNC\r",
                              "AT+UCGED?\r", "AT#RFSTS\r", "AT!GSTATUS?\r", "AT+GTCCINFO?\r", "AT+XMCI=1\r",
                              "AT+XCESQ?\r", "AT+SQNMONI=9\r", "AT%XMONITOR\r", "AT^DEBUG?\r", "AT+ZCELLINFO?\r",
                              "AT^CA_INFO?\r", "AT%MEAS=\"8\"\r", "AT%PCONI\r"}) {
        const bool known = std::find(c.commands.begin(), c.commands.end(), other) != c.commands.end();
        EXPECT_EQ(Lines(engine.Feed(other)).back(), known ? "OK" : "ERROR") << other;
    }

    engine.Feed("AT+COPS=2\r");
    EXPECT_EQ(Lines(engine.Feed(c.commands.front()))[0], c.searching);
    EXPECT_EQ(Lines(engine.Feed("AT+CESQ\r"))[0].rfind("+CESQ: 99,99,255,255,255,255", 0), 0U);
    engine.Feed("AT+COPS=1,2,\"23003\"\r");
    EXPECT_EQ(Lines(engine.Feed(kPollCommand))[1], "+COPS: 1,0,\"Vodafone CZ\"," + std::to_string(c.accessTechnology));
    EXPECT_EQ(engine.Truth().lte.serving.mnc, 3);
    c.check(engine);
}

INSTANTIATE_TEST_SUITE_P(
    Models, SimModemLteModel,
    ::testing::Values(
        LteModelCase{"EC25", "Quectel", 7, {"AT+QENG=\"servingcell\"\r", "AT+QENG=\"neighbourcell\"\r"}, CheckQeng,
                     R"(+QENG: "servingcell","SEARCH")"},
        LteModelCase{"RM500Q", "Quectel", 13, {"AT+QENG=\"servingcell\"\r", "AT+QENG=\"neighbourcell\"\r"}, CheckQeng,
                     R"(+QENG: "servingcell","SEARCH")"},
        LteModelCase{"SIM7600", "SIMCOM INCORPORATED", 7, {"AT+CPSI?\r"}, CheckCpsi, "+CPSI: NO SERVICE,Online"},
        LteModelCase{"ELS61", "Cinterion", 7, {"AT^SMONI\r", "AT^SMONP\r"}, CheckSmoni, "^SMONI: 4G,SEARCH"},
        LteModelCase{"ME909s-120", "Huawei Technologies Co., Ltd.", 7, {"AT^MONSC\r", "AT^MONNC\r"},
                     [](TRynSimModemEngine &e) {
                         CheckServingAndNeighbours(e, "AT^MONSC\r", false);
                         CheckServingAndNeighbours(e, "AT^MONNC\r", true);
                     },
                     "^MONSC: NONE"},
        LteModelCase{"SARA-R510M8S", "u-blox", 7, {"AT+UCGED?\r"}, CheckUcged, "+UCGED: 2"},
        LteModelCase{"LE910C1-EUX", "Telit", 7, {"AT#RFSTS\r"}, CheckRfsts,
                     "#RFSTS: \"\",,,,,,,,0,0,,\"230010000000021\",\"\",0,,"},
        LteModelCase{"EM7565", "Sierra Wireless, Incorporated", 7, {"AT!GSTATUS?\r"},
                     [](TRynSimModemEngine &e) {
                         const std::string answer = e.Feed("AT!GSTATUS?\r");
                         EXPECT_NE(answer.find("LTE Rx chan:   " + std::to_string(e.Truth().lte.serving.earfcn)),
                                   std::string::npos);
                     },
                     "!GSTATUS: "},
        LteModelCase{"FM350-GL", "Fibocom Wireless Inc.", 7, {"AT+GTCCINFO?\r"},
                     [](TRynSimModemEngine &e) { CheckServingAndNeighbours(e, "AT+GTCCINFO?\r", true); },
                     "+GTCCINFO: "},
        LteModelCase{"XMM7360", "Intel Corporation", 7, {"AT+XMCI=1\r", "AT+XCESQ?\r"},
                     [](TRynSimModemEngine &e) {
                         const TRynSimLteTruth &t = e.Truth().lte;
                         const std::string answer = e.Feed("AT+XMCI=1\r");
                         char serving[32];
                         std::snprintf(serving, sizeof serving, "\"0x%08X\"", t.serving.earfcn);
                         EXPECT_NE(answer.find(serving), std::string::npos) << answer;
                         EXPECT_EQ(std::count(answer.begin(), answer.end(), '+'), 1 + std::ptrdiff_t(t.neighbours.size()));
                     },
                     "OK"},
        LteModelCase{"GM02S", "Sequans Communications", 7, {"AT+SQNMONI=9\r"},
                     [](TRynSimModemEngine &e) {
                         EXPECT_NE(e.Feed("AT+SQNMONI=9\r").find(" EARFCN:" + std::to_string(e.Truth().lte.serving.earfcn) + " "),
                                   std::string::npos);
                     },
                     "OK"},
        LteModelCase{"nRF9160-SICA", "Nordic Semiconductor ASA", 7, {"AT%XMONITOR\r"},
                     [](TRynSimModemEngine &e) { CheckServingAndNeighbours(e, "AT%XMONITOR\r", false); },
                     "%XMONITOR: 2"},
        LteModelCase{"T99W175", "Foxconn", 13, {"AT^DEBUG?\r", "AT^CA_INFO?\r"},
                     [](TRynSimModemEngine &e) {
                         const TRynSimLteTruth &t = e.Truth().lte;
                         const std::string answer = e.Feed("AT^DEBUG?\r");
                         EXPECT_NE(answer.find("channel:" + std::to_string(t.serving.earfcn) + " pci:" +
                                               std::to_string(t.serving.pci)),
                                   std::string::npos)
                             << answer;
                         EXPECT_NE(answer.find("nr_channel:" + std::to_string(t.nr.arfcn)), std::string::npos) << answer;
                     },
                     "RAT:NONE"},
        LteModelCase{"ME3630-E", "ZTE CORPORATION", 7, {"AT+ZCELLINFO?\r"},
                     [](TRynSimModemEngine &e) {
                         EXPECT_NE(e.Feed("AT+ZCELLINFO?\r").find(", " + std::to_string(e.Truth().lte.serving.earfcn)),
                                   std::string::npos);
                     },
                     "+ZCELLINFO: 0XFFFE,0XFFFFFFFF,0X00000000,LTE B0,0"},
        LteModelCase{"Type1SC", "Murata Manufacturing Co., Ltd.", 7, {"AT%MEAS=\"8\"\r", "AT%PCONI\r"},
                     [](TRynSimModemEngine &e) {
                         const TRynSimLteServing &c = e.Truth().lte.serving;
                         const std::string meas = e.Feed("AT%MEAS=\"8\"\r");
                         EXPECT_NE(meas.find("RSRP = " + c.rsrp.printed + ", RSRQ = " + c.rsrq.printed), std::string::npos)
                             << meas;
                         const std::string pconi = e.Feed("AT%PCONI\r");
                         EXPECT_NE(pconi.find("EARFCN: " + std::to_string(c.earfcn) + "\r\n"), std::string::npos) << pconi;
                         EXPECT_NE(pconi.find("Physical Cell ID: " + std::to_string(c.pci) + "\r\n"), std::string::npos)
                             << pconi;
                     },
                     "%MEAS: Signal Quality: RSRP = N/A, RSRQ = N/A, SINR = N/A, RSSI = N/A"}),
    [](const auto &info) {
        std::string name = info.param.model;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(SimModemEngine, LteLevelsWanderAndTheServingCellIsReselectedNowAndThen)
{
    for (const char *model : {"EC25", "RM500Q", "SIM7600", "ELS61"}) {
        SCOPED_TRACE(model);
        TRynSimModemEngine engine = QuietEngine(model, 5);
        TRynSimLteServing previous = engine.Truth().lte.serving;
        double low = previous.rsrp.value, high = low;
        int reselections = 0;
        for (int i = 0; i < 200; ++i) {
            engine.Feed(kPollCommand);
            const TRynSimLteServing &now = engine.Truth().lte.serving;
            if (now.pci != previous.pci || now.earfcn != previous.earfcn) {
                ++reselections;
                EXPECT_NE(now.cellId, previous.cellId);
            } else {
                ASSERT_LE(std::abs(now.rsrp.value - previous.rsrp.value), 2) << "wanders, does not jump";
                EXPECT_EQ(now.cellId, previous.cellId);
            }
            low = std::min(low, now.rsrp.value);
            high = std::max(high, now.rsrp.value);
            previous = now;
        }
        EXPECT_GT(high - low, 3) << "the signal moves";
        EXPECT_GT(reselections, 0);
        EXPECT_LT(reselections, 40) << "but not on most polls";
    }
}

} // namespace
