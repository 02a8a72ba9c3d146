// The session, a real top distributor and the built-in simulated modem: after
// many cycles the display record is exactly what the modem last reported.

#include "ModemSession.h"
#include "RynSimModem.h"
#include "SessionHarness.h"
#include "SimulatedTruth.h"
#include "VRynTopDistributor.h"

#include <QCoreApplication>

#include <cctype>

#include <gtest/gtest.h>

namespace {

struct SimulatedSession {
    std::uint32_t now = 5000;
    TRynSimModem modem;
    VRynTopDistributor top;
    RecordingView view;
    ModemSession session{top, modem, view};
    bool started = false;

    SimulatedSession(const std::string &model, std::uint32_t seed)
    {
        modem.SetLatency(std::chrono::milliseconds(0));
        modem.Engine().SetModel(model);
        modem.Engine().Reset(seed);
        view.port = "SIM";
        top.SetTickCountSource([this] { return now; });
        top.TimerTick();
    }

    // Runs until the session completed cycles, pumping the modem's answers
    // and ticking the clock 50 ms at a time. False when it stalls.
    bool RunCycles(int cycles)
    {
        if (!started) {
            started = true;
            session.SetState(ModemSession::State::Init);
        }
        for (int ticks = 0; ticks < cycles * 200; ++ticks) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (view.cycles >= cycles)
                return true;
            now += 50;
            top.TimerTick();
        }
        return false;
    }
};

struct SimCase {
    const char *name;
    std::string model;
    std::uint32_t seed;
};

class SessionWithSimulator : public ::testing::TestWithParam<SimCase> {};

TEST_P(SessionWithSimulator, DisplayRecordMatchesWhatTheModemLastReported)
{
    const SimCase &c = GetParam();
    SimulatedSession s(c.model, c.seed);
    ASSERT_TRUE(s.RunCycles(50)) << "stalled after " << s.view.cycles << " cycles";
    EXPECT_EQ(s.session.Model(), c.model);
    EXPECT_EQ(s.session.Manufacturer(), TRynSimModemEngine::kManufacturer);
    const TNetState expected = Expected(s.modem.Engine().Truth());
    EXPECT_EQ(WithoutStaleRows(s.session.DisplayRecordSnapshot(), expected), expected);
    EXPECT_TRUE(expected.cells[0].valid) << "the simulated modem reports a serving cell";
    EXPECT_EQ(s.view.graphValues.size(), 0u) << "no main answer timed out";
}

INSTANTIATE_TEST_SUITE_P(Models, SessionWithSimulator,
                         ::testing::Values(SimCase{"Bgs5Seed7", "BGS5", 7}, SimCase{"Mc55Seed7", "MC55", 7},
                                           SimCase{"Bgs5Seed12345", "BGS5", 12345}),
                         [](const auto &info) { return std::string(info.param.name); });

// Every simulated model of every family in the registry, through the
// session and its family's parsers: the display record shows the serving
// cell the simulated modem last reported.
std::vector<std::string> RegistryModels()
{
    std::vector<std::string> models;
    for (const TRynSimModelInfo &info : TRynSimModemEngine::Models())
        models.push_back(*info.model ? info.model : "MC55");
    return models;
}

class SessionWithEachModel : public ::testing::TestWithParam<std::string> {};

TEST_P(SessionWithEachModel, AnswersParseBackToTheSimulatorsTruth)
{
    SimulatedSession s(GetParam(), 11);
    ASSERT_TRUE(s.RunCycles(5)) << "stalled after " << s.view.cycles << " cycles";
    const TRynSimTruth &truth = s.modem.Engine().Truth();
    const TNetState shown = s.session.DisplayRecordSnapshot();
    ASSERT_NE(truth.registration, 0);
    if (truth.lte.rat.empty() && s.session.Family().choice == FamilyChoice::Design) {
        const TNetState expected = Expected(truth);
        EXPECT_EQ(WithoutStaleRows(shown, expected), expected);
        return;
    }
    if (truth.lte.rat.empty()) {
        // A GSM module without a cell monitor of its own: the +CESQ level.
        ASSERT_TRUE(shown.serving.has_value());
        EXPECT_EQ(shown.serving->rssi, truth.cells[0].dbm);
        return;
    }
    EXPECT_FALSE(shown.cells[0].valid) << "no GSM rows from an LTE model";
    ASSERT_TRUE(shown.serving.has_value()) << s.session.Family().name;
    EXPECT_EQ(shown.serving->channel, truth.lte.serving.earfcn);
    EXPECT_EQ(shown.serving->rsrp, truth.lte.serving.rsrp.value);
    EXPECT_EQ(shown.rat, truth.lte.hasNr ? TRadioTech::Nr5gNsa : TRadioTech::Lte);
}

INSTANTIATE_TEST_SUITE_P(Registry, SessionWithEachModel, ::testing::ValuesIn(RegistryModels()),
                         [](const auto &info) {
                             std::string name = info.param;
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(SessionWithSimulator, OperatorSwitchChangesWhatTheNextCycleReads)
{
    SimulatedSession s("BGS5", 3);
    ASSERT_TRUE(s.RunCycles(2));
    const auto &ops = TRynSimModemEngine::Operators();
    ASSERT_GE(ops.size(), 2u);
    const std::string target = s.modem.Engine().Truth().operatorCode == ops[0].code ? ops[1].code : ops[0].code;
    s.session.RequestOperator(target);
    ASSERT_TRUE(s.RunCycles(4));
    const TNetState r = s.session.DisplayRecordSnapshot();
    EXPECT_EQ(r.operatorCode, target);
    EXPECT_TRUE(s.view.HasLine("AT+COPS=1,2,\"" + target + "\"\r"));
}

TEST(SessionWithSimulator, RefusedOperatorSwitchIsSaidAndChangesNothing)
{
    SimulatedSession s("BGS5", 3);
    ASSERT_TRUE(s.RunCycles(2));
    const std::string before = s.modem.Engine().Truth().operatorCode;
    // Numeric error codes, as a user would have set them in the terminal.
    const std::string cmee = "AT+CMEE=1\r";
    s.session.TerminalSendData(reinterpret_cast<const std::uint8_t *>(cmee.data()), cmee.size());
    s.session.RequestOperator("26201"); // a network the modem does not see
    ASSERT_TRUE(s.RunCycles(4));
    EXPECT_EQ(s.view.refusals, std::vector<std::string>{"operator 26201 refused: +CME ERROR: 30"});
    EXPECT_EQ(s.view.refreshes, 0) << "a refusal is no switch done";
    EXPECT_EQ(s.modem.Engine().Truth().operatorCode, before);
    EXPECT_EQ(s.session.DisplayRecordSnapshot().operatorCode, before);
}

TEST(SessionWithSimulator, IncomingCallIsAnswered)
{
    SimulatedSession s("MC55", 5);
    ASSERT_TRUE(s.RunCycles(2));
    s.modem.StartIncomingCall();
    ASSERT_TRUE(s.RunCycles(4));
    EXPECT_TRUE(s.view.HasLine("ATA\r"));
    EXPECT_FALSE(s.modem.RingIndicator());
}

} // namespace
