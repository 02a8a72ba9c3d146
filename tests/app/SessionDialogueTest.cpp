// The dialogue with slow, chatty and unfamiliar modems: late answers after a
// time-out, unsolicited lines inside answers, modems without the cell
// monitor, and a port lost while the machine waits a minute.

#include "SessionHarness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using State = ModemSession::State;
using Writes = std::vector<std::string>;

const char *const kMainPoll = "AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r";

const Writes kMainAnswer{"+CSQ: 17,0", "+COPS: 0,0,\"T-Mobile CZ\"", "+COPS: 0,2,\"23001\"", "+CREG: 0,1",
                         "+CPAS: 0", "OK"};
const Writes kMoniAnswer{"chann rs  dBm   MCC  MNC  LAC  cell NCC BCC PWR RXLev C1",
                         "  62  40  -73  230  01  0E3C  1A2B   3   4  33   40  25", "OK"};
const Writes kMonpAnswer{"chann rs  dBm MCC MNC BCC C1 C2", "  70  30  -83 230  01   5 15 15",
                         " 105  20  -93 230  01   2  5  5", "OK"};

bool Sent(const Writes &writes, const std::string &command)
{
    return std::find(writes.begin(), writes.end(), command) != writes.end();
}

// ---------------------------------------------------------------- late answers

TEST(SessionLateAnswers, SlowNetworkSelectionStillIdentifiesTheModem)
{
    // ATE0+COPS=0 makes the modem search for a network: its OK comes after
    // the time-out. The CGMI answer is late too.
    SessionHarness h;
    h.Start();
    h.Advance(2500);
    h.ReplyLines({"OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{"ATE0+COPS=0\r", "AT+CGMI\r"}));
    h.Advance(2500);
    h.ReplyLines({"ACME", "OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMM\r"}));
    h.ReplyLines({"BGS5", "OK"});
    h.AnswerIdentity();
    h.TakeWrites();
    EXPECT_EQ(h.session.Manufacturer(), "ACME");
    EXPECT_EQ(h.session.Model(), "BGS5");
    h.Advance(50);
    h.ReplyLines(kMainAnswer);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll, "AT^SMONP\r"}));
}

TEST(SessionLateAnswers, RepeatThatGotNoLateAnswerGoesOutAfterTheWait)
{
    SessionHarness h;
    h.Start();
    h.Reply("OK\r\n");
    h.TakeWrites();
    h.Advance(2050);
    EXPECT_TRUE(h.TakeWrites().empty());
    h.Advance(ModemSession::kLateAnswerWait.count() - 50);
    EXPECT_TRUE(h.TakeWrites().empty());
    h.Advance(100);
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMI\r"}));
    EXPECT_EQ(h.view.commandTimeouts, 1) << "the wait for a late answer is no second time-out";
}

TEST(SessionLateAnswers, LateMoniAnswerIsNotReadAsTheNeighbourList)
{
    SessionHarness h;
    h.Start();
    h.Identify("MC55");
    h.Advance(50);
    h.ReplyLines(kMainAnswer);
    h.TakeWrites();
    h.Advance(1050);
    EXPECT_TRUE(h.TakeWrites().empty()) << "AT^MONP waits for the end of the late AT^MONI answer";
    h.ReplyLines(kMoniAnswer);
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT^MONP\r"}));
    h.ReplyLines(kMonpAnswer);
    ASSERT_EQ(h.view.cycles, 1);
    const TNetState r = h.session.DisplayRecordSnapshot();
    EXPECT_FALSE(r.cells[0].valid) << "the serving cell came too late for this cycle";
    EXPECT_TRUE(r.cells[1].valid);
    EXPECT_EQ(r.cells[1].channel, 70);
    EXPECT_EQ(r.cells[1].c1, 15);
    EXPECT_EQ(r.cells[2].channel, 105);
    EXPECT_FALSE(r.cells[3].valid);
}

TEST(SessionLateAnswers, LateMainAnswerIsNotTakenByTheNextCycle)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.Advance(50);
    h.TakeWrites();
    h.Advance(550);
    ASSERT_EQ(h.view.cycles, 1) << "the main answer timed out";
    h.Advance(50);
    EXPECT_TRUE(h.TakeWrites().empty()) << "the next main poll waits for the late answer";
    h.ReplyLines({"+CSQ: 31,0", "+COPS: 0,0,\"Old\"", "+COPS: 0,2,\"23003\"", "+CREG: 0,5", "+CPAS: 0", "OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll}));
    h.ReplyLines({"+CSQ: 10,0", "+COPS: 0,0,\"T-Mobile CZ\"", "+COPS: 0,2,\"23001\"", "+CREG: 0,1", "+CPAS: 0",
                  "OK"});
    h.ReplyLines({"2G:", "OK"});
    ASSERT_EQ(h.view.cycles, 2);
    const TNetState r = h.session.DisplayRecordSnapshot();
    EXPECT_EQ(r.signal, 10 * 100 / 32);
    EXPECT_EQ(r.operatorCode, "23001");
    EXPECT_EQ(r.registration, 1);
}

// An operator switch or ATA in a cycle whose cell monitor timed out waits
// for its own answer, not for the first line that comes.
struct MinuteWaitCase {
    const char *name;
    bool call;
};

class SessionMinuteWait : public ::testing::TestWithParam<MinuteWaitCase> {};

TEST_P(SessionMinuteWait, AfterACellMonitorTimeoutWaitsForItsOwnAnswer)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    if (GetParam().call)
        h.channel.ring = true;
    else
        h.session.RequestOperator("23002");
    h.Advance(50);
    h.ReplyLines(kMainAnswer);
    h.TakeWrites();
    h.Advance(1050);
    h.ReplyLines({"OK"}); // the late end of the AT^SMONP answer
    const std::string command = GetParam().call ? "ATA\r" : "AT+COPS=1,2,\"23002\"\r";
    EXPECT_EQ(h.TakeWrites(), (Writes{command}));
    h.channel.ring = false;
    h.Reply("\r\n");
    h.ReplyLines({"+CSQ: 17,0"});
    h.Advance(1000);
    EXPECT_TRUE(h.TakeWrites().empty()) << "still waiting for the answer";
    h.ReplyLines({GetParam().call ? "CONNECT 9600" : "OK"});
    h.Advance(50);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll}));
}

INSTANTIATE_TEST_SUITE_P(Waits, SessionMinuteWait,
                         ::testing::Values(MinuteWaitCase{"OperatorSwitch", false}, MinuteWaitCase{"Call", true}),
                         [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- unsolicited lines

class SessionUnsolicited : public ::testing::TestWithParam<const char *> {};

// The unsolicited line comes inside every answer of a session: it is no
// identification, no answer line and no cell row.
TEST_P(SessionUnsolicited, InsideEveryAnswerChangesNothing)
{
    const std::string urc = GetParam();
    auto inside = [&](Writes answer) {
        answer.insert(answer.begin() + std::ptrdiff_t(answer.size() / 2), urc);
        return answer;
    };
    SessionHarness h;
    h.Start();
    h.ReplyLines({urc, "OK"});
    h.ReplyLines(inside({"Palvex Simulated", "OK"}));
    h.ReplyLines({urc});
    h.ReplyLines(inside({"MC55", "OK"}));
    h.ReplyLines(inside({"REV 1.0", "OK"}));
    for (int i = 0; i < 4; ++i)
        h.ReplyLines(inside({"ERROR"}));
    EXPECT_EQ(h.session.Manufacturer(), "Palvex Simulated");
    EXPECT_EQ(h.session.Model(), "MC55");
    EXPECT_EQ(h.session.Identity().firmware, "REV 1.0");
    h.TakeWrites();
    h.Advance(50);
    h.ReplyLines(inside(kMainAnswer));
    h.ReplyLines(inside(kMoniAnswer));
    h.ReplyLines(inside(kMonpAnswer));
    ASSERT_EQ(h.view.cycles, 1);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll, "AT^MONI\r", "AT^MONP\r"}));

    const TNetState r = h.session.DisplayRecordSnapshot();
    EXPECT_EQ(r.signal, 17 * 100 / 32);
    EXPECT_EQ(r.registration, 1);
    EXPECT_EQ(r.operatorName, "T-Mobile CZ");
    EXPECT_EQ(r.cells[0], (TCellRow{true, 62, 40, -73, 25, 230, 1}));
    EXPECT_EQ(r.cells[1], (TCellRow{true, 70, 30, -83, 15, 230, 1}));
    EXPECT_EQ(r.cells[2], (TCellRow{true, 105, 20, -93, 5, 230, 1}));
    EXPECT_FALSE(r.cells[3].valid);
    EXPECT_TRUE(h.view.HasLine(urc)) << "shown in the terminal all the same";
}

INSTANTIATE_TEST_SUITE_P(Lines, SessionUnsolicited,
                         ::testing::Values("RING", "+CRING: VOICE", "+CLIP: \"+420603123456\",145,,,,0",
                                           "+CMTI: \"SM\",3", "+CREG: 1", "+CREG: 5,\"1A2B\",\"00C3D4\",0",
                                           "+CGEV: ME PDN ACT 1", "^SYSSTART", "NO CARRIER"),
                         [](const auto &info) {
                             std::string name;
                             for (const char c : std::string(info.param))
                                 if (std::isalnum(static_cast<unsigned char>(c)))
                                     name += c;
                             return name + std::to_string(info.index);
                         });

TEST(SessionUnsolicited, EchoOfARestartedModemIsNoAnswer)
{
    SessionHarness h;
    h.Start();
    h.ReplyLines({"ATE0+COPS=0", "OK", "AT+CGMI", "Palvex Simulated", "OK"});
    EXPECT_EQ(h.session.Manufacturer(), "Palvex Simulated");
}

// A modem that was just plugged in or reset prints its boot lines while it
// is being identified: before each answer, and an unknown status line in
// place of one. Neither becomes its identity; an answer that named nothing
// is asked again at once.
TEST(SessionUnsolicited, BootLinesAreNoIdentity)
{
    const Writes boot{"+CPIN: READY", "+CFUN: 1", "PB DONE", "SMS DONE", "Call Ready", "SMS Ready", "+PACSP0"};
    SessionHarness h;
    h.Start();
    h.ReplyLines({"OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{"ATE0+COPS=0\r", "AT+CGMI\r"}));
    h.ReplyLines(boot);
    h.ReplyLines({"SOME MAKER INCORPORATED", "OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMM\r"}));
    h.ReplyLines({"+XSTATUS: 3", "OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMM\r"})) << "an answer of a status line only is asked again";
    h.ReplyLines(boot);
    h.ReplyLines({"SOMEMAKER_X7600E-H", "OK"});
    h.AnswerIdentity();
    EXPECT_EQ(h.session.Manufacturer(), "SOME MAKER INCORPORATED");
    EXPECT_EQ(h.session.Model(), "SOMEMAKER_X7600E-H");
    EXPECT_EQ(h.session.CurrentState(), State::Poll);
    EXPECT_EQ(h.view.commandTimeouts, 0);
}

// A channel without a ring line (a USB modem, a pty) answers a call on its
// RING line; one with a ring line goes by the line alone.
struct RingCase {
    const char *name;
    bool ringLine;
    bool answered;
};

class SessionRingLine : public ::testing::TestWithParam<RingCase> {};

TEST_P(SessionRingLine, RingTextAnswersOnlyWithoutARingLine)
{
    SessionHarness h;
    h.channel.ringLine = GetParam().ringLine;
    h.Start();
    h.Identify("BGS5");
    h.Advance(50);
    h.ReplyLines(kMainAnswer);
    h.ReplyLines({"RING", "2G:", "OK"});
    const Writes w = h.TakeWrites();
    EXPECT_EQ(Sent(w, "ATA\r"), GetParam().answered);
    // One RING is one call: the next cycle does not answer again.
    h.ReplyLines({"NO CARRIER"});
    h.Advance(50);
    h.ReplyLines(kMainAnswer);
    h.ReplyLines({"2G:", "OK"});
    EXPECT_FALSE(Sent(h.TakeWrites(), "ATA\r"));
}

INSTANTIATE_TEST_SUITE_P(Channels, SessionRingLine,
                         ::testing::Values(RingCase{"UsbModem", false, true}, RingCase{"SerialPort", true, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SessionUnsolicited, RegistrationWithLocationFieldsIsRead)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.Advance(50);
    h.ReplyLines({"+CSQ: 17,0", "+COPS: 0,0,\"T-Mobile CZ\"", "+COPS: 0,2,\"23001\"",
                  "+CREG: 2,5,\"1A2B\",\"00C3D4\",0", "+CPAS: 0", "OK", "2G:", "OK"});
    ASSERT_EQ(h.view.cycles, 1);
    EXPECT_EQ(h.session.DisplayRecordSnapshot().registration, 5);
}

// ---------------------------------------------------------------- no cell monitor

struct ErrorCase {
    const char *name;
    std::string model;
    std::string error;
    bool moni; // AT^MONI answers before the neighbour list errs
    std::string erring;
};

class SessionNoCellMonitor : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SessionNoCellMonitor, ErrorEndsTheStepAndThreeCyclesStopTheCommand)
{
    const ErrorCase &c = GetParam();
    SessionHarness h;
    h.Start();
    h.Identify(c.model);
    auto cycle = [&](bool erring) {
        h.TakeWrites();
        h.Advance(50);
        h.ReplyLines(kMainAnswer);
        if (c.moni)
            h.ReplyLines(kMoniAnswer);
        if (erring)
            h.ReplyLines({c.error});
    };
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE("cycle " + std::to_string(n));
        cycle(n <= 3);
        ASSERT_EQ(h.view.cycles, n) << "the cycle ends without waiting out a time-out";
        Writes expected{kMainPoll};
        if (c.moni)
            expected.push_back("AT^MONI\r");
        if (n <= 3)
            expected.push_back(c.erring);
        EXPECT_EQ(h.TakeWrites(), expected);
        EXPECT_EQ(h.session.DisplayRecordSnapshot().cells[0].valid, c.moni);
        EXPECT_FALSE(h.session.DisplayRecordSnapshot().cells[1].valid);
    }
    const auto notices = std::count_if(h.view.lines.begin(), h.view.lines.end(), [](const std::string &l) {
        return l.find("answers only ERROR") != std::string::npos;
    });
    EXPECT_EQ(notices, 1) << "said once";

    // A reconnect may bring another modem: the command is tried again.
    h.channel.Lose();
    h.Advance(50);
    h.Identify(c.model);
    cycle(false);
    EXPECT_TRUE(Sent(h.TakeWrites(), c.erring));
}

INSTANTIATE_TEST_SUITE_P(Modems, SessionNoCellMonitor,
                         ::testing::Values(ErrorCase{"Monp", "MC55", "ERROR", true, "AT^MONP\r"},
                                           ErrorCase{"VerboseErrors", "MC55", "+CME ERROR: 100", true, "AT^MONP\r"},
                                           ErrorCase{"Smonp", "BGS5", "ERROR", false, "AT^SMONP\r"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SessionNoCellMonitor, ACycleWithAnAnswerStartsTheCountAgain)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    for (const bool error : {true, true, false, true, true}) {
        h.Advance(50);
        h.ReplyLines(kMainAnswer);
        h.ReplyLines(error ? Writes{"ERROR"} : Writes{"2G:", "OK"});
    }
    h.TakeWrites();
    h.Advance(50);
    h.ReplyLines(kMainAnswer);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll, "AT^SMONP\r"}));
}

// ---------------------------------------------------------------- lost port

TEST(SessionLostPort, LossDuringTheMinuteWaitIsActedOnAtTheNextTick)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.session.RequestOperator("23002");
    h.Advance(50);
    h.ReplyLines(kMainAnswer);
    h.ReplyLines({"2G:", "OK"});
    ASSERT_TRUE(Sent(h.TakeWrites(), "AT+COPS=1,2,\"23002\"\r"));
    const int opens = h.channel.startCount;
    h.channel.Lose();
    h.Advance(50);
    EXPECT_TRUE(h.view.HasLine("machine: CLOSE"));
    EXPECT_EQ(h.channel.startCount, opens + 1);
    EXPECT_EQ(h.TakeWrites(), (Writes{"ATE0+COPS=0\r"}));
    EXPECT_EQ(h.view.commandTimeouts, 0);
}

} // namespace
