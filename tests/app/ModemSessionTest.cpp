#include "SessionHarness.h"
#include "modems/design/DesignParsers.h"

#include "RynUtils.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using State = ModemSession::State;
using Writes = std::vector<std::string>;

const char *const kMainPoll = "AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r";

TEST(ModemSession, StartUpOpensThePortAndIdentifiesTheModem)
{
    SessionHarness h;
    h.Start();
    EXPECT_EQ(h.channel.openedPorts, (Writes{"/dev/ttyUSB0"}));
    EXPECT_EQ(h.view.panel0, "/dev/ttyUSB0");
    EXPECT_TRUE(h.view.HasLine("machine: INIT"));
    EXPECT_TRUE(h.view.HasLine("machine: OPEN"));
    EXPECT_TRUE(h.view.HasLine("  Opening port \"/dev/ttyUSB0\"."));
    EXPECT_TRUE(h.view.HasLine("  Success. Port \"/dev/ttyUSB0\" opened."));
    EXPECT_TRUE(h.view.HasLine("machine: PREPARE"));
    EXPECT_EQ(h.TakeWrites(), (Writes{"ATE0+COPS=0\r"}));
    EXPECT_EQ(h.view.portColors.back(), 0x008000u);

    h.Reply("OK\r\n");
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMI\r"}));
    h.ReplyLines({"Palvex Simulated", "OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMM\r"}));
    EXPECT_EQ(h.view.panel1, "Device: Palvex Simulated ");
    h.ReplyLines({"MC55", "OK"});
    EXPECT_EQ(h.view.panel1, "Device: Palvex Simulated MC55");
    // Then, once, what the modem says of itself and its SIM: all read
    // commands; an answer it does not give stays unknown.
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMR\r"}));
    h.ReplyLines({"+CGMR: REV 1.0", "OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGSN\r"}));
    h.ReplyLines({"351234567890123", "OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CPIN?\r"}));
    h.ReplyLines({"+CPIN: SIM PIN", "OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CIMI\r"}));
    h.Reply("+CME ERROR: 11\r\n");
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CCID\r"}));
    h.Reply("ERROR\r\n");
    EXPECT_EQ(h.session.Identity().firmware, "REV 1.0");
    EXPECT_EQ(h.session.Identity().imei, "351234567890123");
    EXPECT_EQ(h.session.Identity().sim, "SIM PIN");
    EXPECT_EQ(h.session.Identity().imsi, "");
    EXPECT_EQ(h.session.Identity().iccid, "");
    EXPECT_TRUE(h.view.HasLine("machine: SIM locked: the PIN is needed"));
    EXPECT_EQ(h.session.CurrentState(), State::Poll);
    EXPECT_EQ(h.session.Step(), 1) << "waits out the 10 ms pause";
    EXPECT_TRUE(h.TakeWrites().empty());
}

// One full cycle per model: the commands in order, and the record the
// display gets at the end.
struct ModelCase {
    const char *name;
    std::string model;
    Writes cellCommands;
};

class ModemSessionCycle : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ModemSessionCycle, SendsTheCommandsOfTheModelAndCopiesTheRecord)
{
    const ModelCase &c = GetParam();
    SessionHarness h;
    h.Start();
    h.Identify(c.model);
    h.TakeWrites();

    h.Advance(50);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll}));
    h.AnswerMainPoll();
    Writes sent = h.TakeWrites();
    EXPECT_EQ(sent, (Writes{c.cellCommands.front()}));
    if (c.model == "BGS5") {
        h.AnswerSmonp();
    } else {
        h.AnswerMoni();
        EXPECT_EQ(h.TakeWrites(), (Writes{"AT^MONP\r"}));
        h.AnswerMonp();
    }
    EXPECT_TRUE(h.TakeWrites().empty());
    EXPECT_EQ(h.view.cycles, 1);
    EXPECT_EQ(h.session.CurrentState(), State::Poll) << "ANSWER found no ring and went back to POLL";

    TNetState expected;
    expected.MarkAllInvalid();
    expected.signal = 17 * 100 / 32;
    expected.signalValid = true;
    expected.ber = 0;
    expected.berValid = true;
    expected.registration = 1;
    expected.registrationValid = true;
    expected.activity = 0;
    expected.activityValid = true;
    expected.operatorName = "T-Mobile CZ";
    expected.operatorNameValid = true;
    expected.operatorCode = "23001";
    expected.operatorCodeValid = true;
    expected.cells[0] = {true, 62, 40, -73, 25, 230, 1};
    if (c.model == "BGS5")
        expected.cells[1] = {true, 70, 30, -83, 15, 230, 1};
    else {
        expected.cells[1] = {true, 70, 30, -83, 15, 230, 1};
        expected.cells[2] = {true, 105, 20, -93, 5, 230, 1};
    }
    // The rows become the general cells once, where the record is copied.
    CompleteGeneralCells(expected);
    ASSERT_TRUE(expected.serving.has_value());
    EXPECT_EQ(expected.rat, TRadioTech::Gsm);
    // Rows the modem did not report keep whatever values they had; only
    // their flags matter.
    TNetState shown = h.session.DisplayRecordSnapshot();
    for (std::size_t i = 0; i < shown.cells.size(); ++i)
        if (!shown.cells[i].valid && !expected.cells[i].valid)
            shown.cells[i] = expected.cells[i];
    EXPECT_EQ(shown, expected);

    // The next cycle starts after the pause.
    h.Advance(50);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll}));
    EXPECT_EQ(h.view.commandTimeouts, 0) << "the pause is no unanswered command";
}

INSTANTIATE_TEST_SUITE_P(Models, ModemSessionCycle,
                         ::testing::Values(ModelCase{"MC55", "MC55", {"AT^MONI\r", "AT^MONP\r"}},
                                           ModelCase{"BGS5", "BGS5", {"AT^SMONP\r"}},
                                           ModelCase{"LowercaseBgs5UsesMoni", "bgs5", {"AT^MONI\r", "AT^MONP\r"}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ModemSession, PrepareRepeatsEachCommandAfterTwoSeconds)
{
    SessionHarness h;
    h.Start();
    EXPECT_EQ(h.TakeWrites(), (Writes{"ATE0+COPS=0\r"}));
    h.Advance(1950);
    EXPECT_TRUE(h.TakeWrites().empty());
    // Timed out: the late OK may still come, so the repeat waits for it.
    h.Advance(2050);
    EXPECT_TRUE(h.TakeWrites().empty());
    h.Advance(100);
    EXPECT_EQ(h.TakeWrites(), (Writes{"ATE0+COPS=0\r"}));

    h.Reply("OK\r\n");
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMI\r"}));
    // A result code is no manufacturer; the OK that never follows makes
    // the command go again.
    h.ReplyLines({"ERROR"});
    h.Advance(2050);
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMI\r"}));
    EXPECT_EQ(h.session.Manufacturer(), "");
    EXPECT_EQ(h.view.commandTimeouts, 2);
}

TEST(ModemSession, LateOkIsNotTakenForTheIdentification)
{
    SessionHarness h;
    h.Start();
    // The modem is slow: its OK comes after the time-out and answers the
    // repeat, which therefore never goes out.
    h.Advance(2050);
    h.ReplyLines({"OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{"ATE0+COPS=0\r", "AT+CGMI\r"}));
    h.ReplyLines({"OK", "Palvex Simulated", "OK"});
    EXPECT_EQ(h.session.Manufacturer(), "Palvex Simulated");
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMM\r"}));
    h.ReplyLines({"OK", "MC55", "OK"});
    EXPECT_EQ(h.session.Model(), "MC55");
    h.AnswerIdentity();
    EXPECT_EQ(h.session.CurrentState(), State::Poll);
}

TEST(ModemSession, MainAnswerTimeoutKeepsOnlyTheNumericOperator)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.Advance(50);
    h.TakeWrites();
    h.ReplyLines({"+CSQ: 17,0", "+COPS: 0,0,\"T-Mobile CZ\"", "+COPS: 0,2,\"23001\"", "+CREG: 0,1"});
    h.Advance(550);
    ASSERT_FALSE(h.view.graphValues.empty());
    EXPECT_EQ(h.view.graphValues.back(), -1);
    EXPECT_EQ(h.view.cycles, 1) << "the cycle skips the cell monitor and ends";
    const TNetState r = h.session.DisplayRecordSnapshot();
    EXPECT_FALSE(r.signalValid);
    EXPECT_FALSE(r.berValid);
    EXPECT_FALSE(r.registrationValid);
    EXPECT_FALSE(r.activityValid);
    EXPECT_FALSE(r.operatorNameValid);
    EXPECT_TRUE(r.operatorCodeValid);
    EXPECT_EQ(r.operatorCode, "23001");
    EXPECT_FALSE(r.cells[0].valid);
}

TEST(ModemSession, CellMonitorTimeoutsInvalidateTheirRows)
{
    SessionHarness h;
    h.Start();
    h.Identify("MC55");
    h.Advance(50);
    h.AnswerMainPoll();
    // Header and data line of the serving cell, then silence.
    h.ReplyLines({"chann rs  dBm   MCC  MNC  LAC  cell NCC BCC PWR RXLev C1",
                  "  62  40  -73  230  01  0E3C  1A2B   3   4  33   40  25"});
    h.TakeWrites();
    h.Advance(1050);
    EXPECT_TRUE(h.TakeWrites().empty()) << "AT^MONP waits for the late end of the AT^MONI answer";
    h.Advance(2050);
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT^MONP\r"}));
    // Two neighbours come, then the answer stops before its OK.
    h.ReplyLines({"chann rs  dBm MCC MNC BCC C1 C2", "  70  30  -83 230  01   5 15 15"});
    h.Advance(1050);
    EXPECT_EQ(h.view.cycles, 1);
    const TNetState r = h.session.DisplayRecordSnapshot();
    EXPECT_FALSE(r.cells[0].valid) << "the serving row is dropped on its time-out";
    for (int i = 1; i < 7; ++i)
        EXPECT_FALSE(r.cells[std::size_t(i)].valid) << "row " << i;
    EXPECT_TRUE(r.signalValid);
}

TEST(ModemSession, SmonpTimeoutKeepsRowZero)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.Advance(50);
    h.AnswerMainPoll();
    h.ReplyLines({"2G:", "62,40,-73,230,01,3,4,25,25,0E3C", "70,30,-83,230,01,3,5,15,15,0E3C"});
    h.Advance(1050);
    const TNetState r = h.session.DisplayRecordSnapshot();
    EXPECT_TRUE(r.cells[0].valid);
    EXPECT_EQ(r.cells[0].channel, 62);
    EXPECT_FALSE(r.cells[1].valid);
}

TEST(ModemSession, FailedOpenIsRetriedEverySecond)
{
    SessionHarness h;
    h.channel.openResults = {false, false, true};
    h.Start();
    EXPECT_EQ(h.channel.startCount, 1);
    EXPECT_TRUE(h.view.HasLine("  Error while opening /dev/ttyUSB0."));
    h.Advance(950);
    EXPECT_EQ(h.channel.startCount, 1);
    h.Advance(100);
    EXPECT_EQ(h.channel.startCount, 2);
    h.Advance(1050);
    EXPECT_EQ(h.channel.startCount, 3);
    EXPECT_EQ(h.session.CurrentState(), State::Prepare);
    EXPECT_EQ(h.view.portOpens, 1);
    EXPECT_EQ(h.view.commandTimeouts, 0) << "waiting to retry an open is no unanswered command";
    EXPECT_EQ(h.TakeWrites(), (Writes{"ATE0+COPS=0\r"}));
}

// An open that fails again and again for the same reason is written once,
// not every second; the open that succeeds is written with its attempt.
TEST(ModemSession, RepeatedOpenFailureIsWrittenOnce)
{
    SessionHarness h;
    h.channel.openResults = {false, false, false, true};
    h.Start();
    h.Advance(3300);
    ASSERT_EQ(h.channel.startCount, 4);
    const auto count = [&](const std::string &line) { return std::count(h.view.lines.begin(), h.view.lines.end(), line); };
    EXPECT_EQ(count("  Error while opening /dev/ttyUSB0."), 1);
    EXPECT_EQ(count("  fake: not open"), 1);
    EXPECT_EQ(count("  Opening port \"/dev/ttyUSB0\"."), 2) << "the first attempt and the one that succeeded";
    EXPECT_TRUE(h.view.HasLine("  Success. Port \"/dev/ttyUSB0\" opened."));
}

// A port on which nothing answers: after three PREPARE rounds the owner
// hears that it may be the wrong port, once.
TEST(ModemSession, SilentModemIsSaidAfterThreeRounds)
{
    SessionHarness h;
    h.Start();
    const std::string hint = "no answer from the modem on /dev/ttyUSB0: wrong port or baud rate?";
    // A round is the command's 2 s and, from the second on, 2 s more for
    // the late answer of the one before: the third ends after about 10 s.
    std::uint32_t waited = 0;
    while (!h.view.HasLine(hint) && waited < 20000) {
        h.Advance(100);
        waited += 100;
    }
    EXPECT_GE(waited, 9500u);
    EXPECT_LE(waited, 11000u);
    h.Advance(12000);
    EXPECT_EQ(std::count(h.view.lines.begin(), h.view.lines.end(), hint), 1);
}

// The connection goes away in PREPARE or in POLL, by an orderly disconnect
// or by a failure (a pulled USB modem); the next event closes and reopens.
struct LossCase {
    const char *name;
    bool inPoll;
    TCommState how;
};

class ModemSessionLoss : public ::testing::TestWithParam<LossCase> {};

TEST_P(ModemSessionLoss, ClosesAndReopensAtTheNextEvent)
{
    const LossCase &c = GetParam();
    SessionHarness h;
    h.Start();
    if (c.inPoll)
        h.Identify("MC55");
    h.TakeWrites();
    const int opensBefore = h.channel.startCount;
    h.channel.Lose(c.how);
    EXPECT_EQ(h.channel.startCount, opensBefore) << "the state handler itself does not run the machine";
    h.Advance(c.inPoll ? 50 : 2050);
    EXPECT_TRUE(h.view.HasLine("machine: CLOSE"));
    EXPECT_EQ(h.channel.startCount, opensBefore + 1);
    EXPECT_EQ(h.session.CurrentState(), State::Prepare);
    EXPECT_EQ(h.TakeWrites(), (Writes{"ATE0+COPS=0\r"}));
    EXPECT_EQ(h.view.portOpens, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Losses, ModemSessionLoss,
    ::testing::Values(LossCase{"DisconnectInPrepare", false, TCommState::CommStateDisconnected},
                      LossCase{"FailureInPrepare", false, TCommState::CommStateFailed},
                      LossCase{"DisconnectInPoll", true, TCommState::CommStateDisconnected},
                      LossCase{"FailureInPoll", true, TCommState::CommStateFailed}),
    [](const auto &info) { return std::string(info.param.name); });

// Runs the session to the end of the cell monitor of a cycle (BGS5, so one
// command), where step 300 looks at the requested operator.
void RunToOperatorStep(SessionHarness &h)
{
    h.Advance(50);
    h.AnswerMainPoll();
    h.AnswerSmonp();
}

struct OperatorCase {
    const char *name;
    std::string request;
    std::string command;
    std::string answer;
    std::string refusal; // what the owner is told; empty for a switch done
};

class ModemSessionOperator : public ::testing::TestWithParam<OperatorCase> {};

TEST_P(ModemSessionOperator, SendsTheSwitchAndEnablesTheGroupOnItsAnswer)
{
    const OperatorCase &c = GetParam();
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.session.RequestOperator(c.request);
    h.view.operatorsEnabled = false; // the click disabled the group
    h.Advance(50);
    h.AnswerMainPoll();
    h.TakeWrites();
    h.AnswerSmonp();
    EXPECT_EQ(h.TakeWrites(), (Writes{c.command}));
    EXPECT_TRUE(h.session.RequestedOperator().empty());
    EXPECT_EQ(h.view.cycles, 0) << "the cycle waits for the switch";
    EXPECT_FALSE(h.view.operatorsEnabled);

    h.ReplyLines({c.answer});
    EXPECT_TRUE(h.view.operatorsEnabled);
    EXPECT_EQ(h.view.refreshes, c.refusal.empty() ? 1 : 0) << "an error is no switch done";
    EXPECT_EQ(h.view.refusals, c.refusal.empty() ? Writes{} : Writes{c.refusal});
    if (!c.refusal.empty()) {
        EXPECT_TRUE(h.view.HasLine("machine: " + c.refusal));
    }
    EXPECT_EQ(h.view.cycles, 1);
    h.Advance(50);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll})) << "no second switch";
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ModemSessionOperator,
    ::testing::Values(OperatorCase{"AutoOk", "AUTO", "AT+COPS=0\r", "OK", ""},
                      OperatorCase{"CodeOk", "23002", "AT+COPS=1,2,\"23002\"\r", "OK", ""},
                      OperatorCase{"CodeError", "23003", "AT+COPS=1,2,\"23003\"\r", "ERROR",
                                   "operator 23003 refused: ERROR"},
                      OperatorCase{"CodeCmeError", "23003", "AT+COPS=1,2,\"23003\"\r", "+CME ERROR: 30",
                                   "operator 23003 refused: +CME ERROR: 30"},
                      OperatorCase{"AutoError", "AUTO", "AT+COPS=0\r", "ERROR",
                                   "automatic operator selection refused: ERROR"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ModemSession, CsqFieldsAreKeptAsTheModemSentThem)
{
    struct Case {
        const char *line;
        std::optional<std::int32_t> rssi, ber;
    };
    for (const Case &c : {Case{"+CSQ: 18,99", 18, 99}, Case{"+CSQ: 99,99", 99, 99}, Case{"+CSQ: 17,3", 17, 3},
                          Case{"+CSQ: 17,x", 17, std::nullopt}}) {
        SCOPED_TRACE(c.line);
        SessionHarness h;
        h.Start();
        h.Identify("BGS5");
        h.Advance(50);
        h.ReplyLines({c.line, "+COPS: 0,0,\"T-Mobile CZ\"", "+COPS: 0,2,\"23001\"", "+CREG: 0,1", "+CPAS: 0", "OK"});
        h.AnswerSmonp();
        ASSERT_EQ(h.view.cycles, 1);
        EXPECT_EQ(h.session.DisplayCsqRssi(), c.rssi);
        EXPECT_EQ(h.session.DisplayCsqBer(), c.ber);
    }
}

TEST(ModemSession, UnansweredSwitchEndsAfterAMinute)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.session.RequestOperator("23003");
    RunToOperatorStep(h);
    h.Advance(59950);
    EXPECT_EQ(h.view.cycles, 0);
    h.Advance(100);
    EXPECT_EQ(h.view.cycles, 1);
    EXPECT_TRUE(h.view.operatorsEnabled) << "enabled again by the next cycle";
}

TEST(ModemSession, RequestAfterStepThreeHundredGoesInTheNextCycle)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.channel.ring = true;
    RunToOperatorStep(h);
    ASSERT_EQ(h.session.CurrentState(), State::Answer) << "waits for the answer to ATA";
    // The user picks an operator while this cycle is past step 300.
    h.session.RequestOperator("23001");
    h.view.operatorsEnabled = false;
    h.channel.ring = false;
    h.ReplyLines({"OK"});
    EXPECT_TRUE(h.view.operatorsEnabled) << "step 0 of the next cycle enables the group again";
    EXPECT_EQ(h.session.RequestedOperator(), "23001");
    h.TakeWrites();
    h.Advance(50);
    h.AnswerMainPoll();
    h.AnswerSmonp();
    const Writes w = h.TakeWrites();
    ASSERT_FALSE(w.empty());
    EXPECT_EQ(w.back(), "AT+COPS=1,2,\"23001\"\r");
}

// Runs a cycle with code requested; true when no switch went out and the
// refusal was said.
bool CodeIsRefused(const std::string &code)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.session.RequestOperator(code);
    RunToOperatorStep(h);
    for (const auto &w : h.channel.Writes())
        if (w.find("COPS=1") != std::string::npos)
            return false;
    return h.session.RequestedOperator().empty() &&
           h.view.HasLine("machine: operator code refused, it contains a double quote or a control character");
}

TEST(ModemSession, OperatorCodeWithQuoteOrControlCharacterIsNotSent)
{
    for (const std::string &code : {std::string("23001\"\r+CFUN=0"), std::string("230\n01"), std::string("23\x01")}) {
        SCOPED_TRACE(code);
        SessionHarness h;
        h.Start();
        h.Identify("BGS5");
        h.session.RequestOperator(code);
        RunToOperatorStep(h);
        for (const auto &w : h.channel.Writes())
            EXPECT_EQ(w.find("COPS=1"), std::string::npos) << w;
        EXPECT_TRUE(h.session.RequestedOperator().empty());
        EXPECT_TRUE(h.view.HasLine(
            "machine: operator code refused, it contains a double quote or a control character"));
        EXPECT_EQ(h.view.cycles, 1);
    }
}

TEST(ModemSession, OnlyOperatorCodesOfFiveOrSixDigitsAreSent)
{
    const std::vector<std::string> refused{"2300", "2300123", "230;01", "23001;+CFUN=0", "230)01", "230 01",
                                           "2300\xc3\xa9", "2300\xc2\x85", "\xd9\xa2\xd9\xa3\xd9\xa0\xd9\xa0\xd9\xa1", "-"};
    for (const std::string &code : refused)
        EXPECT_TRUE(CodeIsRefused(code)) << code;
    for (const std::string code : {"23001", "310260"}) {
        SCOPED_TRACE(code);
        SessionHarness h;
        h.Start();
        h.Identify("BGS5");
        h.session.RequestOperator(code);
        RunToOperatorStep(h);
        bool sent = false;
        for (const auto &w : h.channel.Writes())
            sent = sent || w == "AT+COPS=1,2,\"" + code + "\"\r";
        EXPECT_TRUE(sent);
    }
}

TEST(ModemSession, IncomingCallIsAnsweredWithAta)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.channel.ring = true;
    RunToOperatorStep(h);
    EXPECT_EQ(h.session.CurrentState(), State::Answer);
    EXPECT_EQ(h.TakeWrites().back(), "ATA\r");
    h.channel.ring = false;
    h.ReplyLines({"RING"});
    EXPECT_EQ(h.session.CurrentState(), State::Answer) << "other lines are ignored";
    h.ReplyLines({"CONNECT 9600"});
    EXPECT_EQ(h.session.CurrentState(), State::Poll);
    h.Advance(50);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll}));
}

// Calls are answered only when the owner asked for it, and never by a
// read-only session; the caller's number of a +CLIP line is told either way.
TEST(ModemSession, IncomingCallIsAnsweredOnlyWhenAsked)
{
    struct Case {
        bool answerCalls, readOnly, answered;
    };
    for (const Case &c : {Case{true, false, true}, Case{false, false, false}, Case{true, true, false}}) {
        SCOPED_TRACE(testing::Message() << "answer " << c.answerCalls << ", read-only " << c.readOnly);
        SessionHarness h;
        h.session.SetAnswerCalls(c.answerCalls);
        h.session.SetReadOnly(c.readOnly);
        h.Start();
        h.Identify("BGS5");
        h.ReplyLines({"RING", "+CLIP: \"+420603123456\",145,,,,0"});
        h.channel.ring = true;
        RunToOperatorStep(h);
        EXPECT_EQ(h.view.callers, std::vector<std::string>{"+420603123456"});
        EXPECT_TRUE(h.view.HasLine("machine: incoming call from +420603123456"));
        const Writes w = h.TakeWrites();
        EXPECT_EQ(!w.empty() && w.back() == "ATA\r", c.answered);
        if (!c.answered) {
            EXPECT_EQ(h.session.CurrentState(), State::Poll) << "straight on to the next cycle";
            h.Advance(50);
            EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll}));
        }
    }
}

TEST(ModemSession, WithheldCallerNumberIsSaidSo)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.ReplyLines({"+CLIP: \"\",128,,,,1"});
    EXPECT_EQ(h.view.callers, std::vector<std::string>{""});
    EXPECT_TRUE(h.view.HasLine("machine: incoming call from an unknown number"));
}

// Read-only: no automatic selection at the start, the operator switch
// refused with its reason, and nothing else that changes the modem.
TEST(ModemSession, ReadOnlySessionLeavesTheOperatorSelectionAlone)
{
    SessionHarness h;
    h.session.SetReadOnly(true);
    h.Start();
    EXPECT_EQ(h.TakeWrites(), (Writes{"ATE0\r"}));
    h.Identify("BGS5");
    h.session.RequestOperator("23002");
    RunToOperatorStep(h);
    for (const std::string &w : h.TakeWrites())
        EXPECT_EQ(w.find("COPS=1"), std::string::npos) << w;
    EXPECT_EQ(h.view.refusals,
              std::vector<std::string>{"operator switch not sent: read-only mode changes nothing in the modem"});
    EXPECT_EQ(h.view.cycles, 1);
}

TEST(ModemSession, HeldPollingStartsNoCycleUntilResumed)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.session.SetPollingHeld(true);
    EXPECT_TRUE(h.view.HasLine("machine: polling held; commands typed in the terminal meet no poll"));
    // The cycle under way ends; the next one does not start.
    RunToOperatorStep(h);
    EXPECT_EQ(h.view.cycles, 1);
    h.TakeWrites();
    h.Advance(5000);
    EXPECT_TRUE(h.TakeWrites().empty());
    const std::string typed = "AT+CGMR\r";
    h.session.TerminalSendData(reinterpret_cast<const std::uint8_t *>(typed.data()), typed.size());
    h.ReplyLines({"REVISION 01.000", "OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{typed})) << "only the typed command";
    h.session.SetPollingHeld(false);
    EXPECT_TRUE(h.view.HasLine("machine: polling resumed"));
    h.Advance(50);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll}));
}

TEST(ModemSession, LineWithoutCarriageReturnIsHeldBack)
{
    SessionHarness h;
    h.Start();
    h.TakeWrites();
    h.Reply("O");
    h.Reply("K");
    EXPECT_TRUE(h.TakeWrites().empty());
    h.Reply("\r\n");
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMI\r"}));
}

// The LF that came with a line goes with it, so nothing waits in the
// buffer (which would keep the distributor ticking); a line is taken at its
// CR, before its LF has come.
TEST(ModemSession, LineIsTakenAtItsCrAndTheLfThatCameWithItLeavesNothing)
{
    SessionHarness h;
    h.Start();
    h.TakeWrites();
    h.Reply("\r\nOK\r");
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMI\r"}));
    h.Reply("\n");
    h.Reply("\r\nPalvex Modems\r\n");
    EXPECT_TRUE(h.top.GetComBuffer(0).empty());
    EXPECT_TRUE(h.view.HasLine("Palvex Modems"));
}

TEST(ModemSession, FinalOkMustBeExactlyOkAfterTrimming)
{
    for (const bool trailingBlanks : {true, false}) {
        SCOPED_TRACE(trailingBlanks ? "OK  " : "OKAY");
        SessionHarness h;
        h.Start();
        h.Identify("BGS5");
        h.Advance(50);
        h.ReplyLines({"+CSQ: 17,0", "+COPS: 0,0,\"T-Mobile CZ\"", "+COPS: 0,2,\"23001\"", "+CREG: 0,1",
                      "+CPAS: 0"});
        h.TakeWrites();
        h.Reply(trailingBlanks ? "OK  \r\n" : "OKAY\r\n");
        const Writes w = h.TakeWrites();
        if (trailingBlanks)
            EXPECT_EQ(w, (Writes{"AT^SMONP\r"}));
        else
            EXPECT_TRUE(w.empty());
    }
}

TEST(ModemSession, SevenLinesInOneArrivalAreAllTaken)
{
    SessionHarness h;
    h.Start();
    h.Identify("BGS5");
    h.Advance(50);
    h.TakeWrites();
    h.Reply("+CSQ: 17,0\r\n+COPS: 0,0,\"T-Mobile CZ\"\r\n+COPS: 0,2,\"23001\"\r\n+CREG: 0,1\r\n+CPAS: 0\r\nOK\r\n");
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT^SMONP\r"}));
}

TEST(ModemSession, NoiseWithoutLineEndsIsDeliveredOnceItIsLong)
{
    SessionHarness h;
    h.Start();
    h.TakeWrites();
    const std::string noise(5000, '\x7f');
    h.Reply(noise);
    const auto &lines = h.view.lines;
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string &l) { return l.size() >= 4096; }));
    EXPECT_TRUE(h.top.GetComBuffer(0).empty());
    h.Reply("OK\r\n");
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMI\r"}));
}

TEST(ModemSession, ExceptionInALineIsReportedAndTheMachineGoesOn)
{
    SessionHarness h;
    h.Start();
    h.view.onLine = [](const std::string &line) {
        if (line == "boom")
            throw RynException("error in CutInteger(boom)");
    };
    h.Reply("boom\r\n");
    EXPECT_TRUE(h.view.HasLine("machine: error in CutInteger(boom)"));
    h.TakeWrites();
    h.Reply("OK\r\n");
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMI\r"}));

    // An exception in the middle of a step leaves the machine usable.
    bool thrown = false;
    h.view.onDevicePanel = [&] {
        if (!thrown) {
            thrown = true;
            throw RynException("error in CutSpaces(x)");
        }
    };
    h.ReplyLines({"Palvex Simulated"});
    EXPECT_TRUE(h.view.HasLine("machine: error in CutSpaces(x)"));
    h.ReplyLines({"Palvex Simulated", "OK"});
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+CGMM\r"}));
}

TEST(ModemSession, EchoIsOffForMoniAndMonpUnlessDebugTerminalIsOn)
{
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug ? "debug terminal on" : "debug terminal off");
        SessionHarness h;
        h.session.SetDebugTerminal(debug);
        h.Start();
        h.Identify("MC55");
        h.Advance(50);
        h.AnswerMainPoll();
        h.view.outLines.clear();
        h.AnswerMoni();
        h.AnswerMonp();
        const auto &out = h.view.outLines;
        const bool sawMonp = std::find(out.begin(), out.end(), "AT^MONP\r") != out.end();
        EXPECT_EQ(sawMonp, debug);
    }
}

TEST(ModemSession, TypedCommandGoesOutUnchangedAndTurnsEchoOn)
{
    SessionHarness h;
    h.Start();
    h.Identify("MC55");
    h.Advance(50);
    h.AnswerMainPoll();
    h.ReplyLines({"chann rs  dBm   MCC  MNC  LAC  cell NCC BCC PWR RXLev C1"});
    EXPECT_FALSE(h.session.EchoToTerminal());
    h.TakeWrites();
    const std::string typed = "AT+CGSN\r";
    h.session.TerminalSendData(reinterpret_cast<const std::uint8_t *>(typed.data()), typed.size());
    EXPECT_TRUE(h.session.EchoToTerminal());
    EXPECT_EQ(h.TakeWrites(), (Writes{typed}));
}

TEST(ModemSession, UnknownStateValueRestartsAtInit)
{
    SessionHarness h;
    h.Start();
    h.view.lines.clear();
    h.session.SetStateValue(42);
    EXPECT_TRUE(h.view.HasLine("machine: INIT"));
    EXPECT_EQ(h.session.CurrentState(), State::Prepare);
}

} // namespace

// Lets time pass tick by tick until the main command goes out; the tick
// count then, or 0 when it did not go out within ms.
std::uint32_t AdvanceToMainPoll(SessionHarness &h, std::uint32_t ms)
{
    for (std::uint32_t waited = 0; waited < ms; waited += 50) {
        h.Advance(50);
        for (const auto &w : h.TakeWrites())
            if (w == kMainPoll)
                return h.now;
    }
    return 0;
}

TEST(ModemSession, PollIntervalSpacesTheCyclesAndARingIsAnsweredInThePause)
{
    SessionHarness h;
    h.session.SetPollInterval(std::chrono::milliseconds(2000));
    h.Start();
    h.Identify("BGS5");
    const std::uint32_t first = AdvanceToMainPoll(h, 100);
    ASSERT_NE(first, 0u);
    h.AnswerMainPoll();
    h.AnswerSmonp();
    EXPECT_EQ(h.view.cycles, 1);
    h.TakeWrites();

    // A call rings in the pause: answered at once, not after the pause.
    h.Advance(500);
    const auto between = h.TakeWrites();
    EXPECT_TRUE(between.empty()) << "nothing goes out between cycles: " << (between.empty() ? "" : between.front());
    h.channel.ring = true;
    h.ReplyLines({"RING"});
    h.Advance(50);
    EXPECT_EQ(h.TakeWrites(), (Writes{"ATA\r"}));
    h.channel.ring = false;
    h.ReplyLines({"CONNECT 9600"});

    // The next cycle still starts an interval after the first.
    const std::uint32_t second = AdvanceToMainPoll(h, 3000);
    ASSERT_NE(second, 0u);
    EXPECT_GE(second - first, 2000u);
    EXPECT_LE(second - first, 2050u);
    EXPECT_EQ(h.view.cycles, 1) << "the answered call is no cycle";

    // Without an interval the design's pace comes back.
    h.session.SetPollInterval(std::chrono::milliseconds(0));
    h.AnswerMainPoll();
    h.AnswerSmonp();
    const std::uint32_t third = AdvanceToMainPoll(h, 3000);
    EXPECT_NE(third, 0u);
    EXPECT_LE(third - second, 100u);
}
