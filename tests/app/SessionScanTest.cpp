// The network scan: its own step between two cycles, with its own
// time-out, cancellable, and a late answer that does not upset the poll.

#include "SessionHarness.h"

#include <gtest/gtest.h>

namespace {

using Writes = std::vector<std::string>;

const char *const kMainPoll = "AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r";
const char *const kScanLine =
    R"x(+COPS: (2,"T-Mobile CZ","TMO CZ","23001",7),(3,"Vodafone.de","VF DE","26202",7),,(0-4),(0-2))x";

// A session polling a BGS5, between two cycles.
struct ScanHarness : SessionHarness {
    ScanHarness()
    {
        Start();
        Identify("BGS5");
        TakeWrites();
    }
};

TEST(SessionScan, RunsBetweenCyclesAndPollingPausesMeanwhile)
{
    ScanHarness h;
    h.session.RequestScan();
    h.session.RequestScan(); // the same scan
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+COPS=?\r"}));
    EXPECT_EQ(h.view.scansStarted, 1);
    // A search of two minutes: nothing else goes out meanwhile.
    h.Advance(120000);
    EXPECT_TRUE(h.TakeWrites().empty());
    h.ReplyLines({kScanLine, "OK"});
    ASSERT_EQ(h.view.scans.size(), 1u);
    const OperatorScanResult &result = h.view.scans.front();
    EXPECT_EQ(result.outcome, ScanOutcome::Done);
    ASSERT_EQ(result.operators.size(), 2u);
    EXPECT_EQ(result.operators[1].code, "26202");
    EXPECT_EQ(result.operators[1].status, 3);
    EXPECT_FALSE(h.session.ScanPending());
    // Polling goes on.
    h.Advance(50);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll}));
}

TEST(SessionScan, RefusalTimeOutAndLostPortEndTheScan)
{
    {
        ScanHarness h;
        h.session.RequestScan();
        h.ReplyLines({"+CME ERROR: 30"});
        ASSERT_EQ(h.view.scans.size(), 1u);
        EXPECT_EQ(h.view.scans[0].outcome, ScanOutcome::Refused);
        EXPECT_EQ(h.view.scans[0].reason, "+CME ERROR: 30");
        EXPECT_TRUE(h.view.HasLine("machine: the modem refused the scan: +CME ERROR: 30"));
    }
    {
        ScanHarness h;
        h.session.RequestScan();
        h.TakeWrites();
        h.Advance(static_cast<std::uint32_t>(ModemSession::kScanTimeout.count()) + 50);
        ASSERT_EQ(h.view.scans.size(), 1u);
        EXPECT_EQ(h.view.scans[0].outcome, ScanOutcome::TimedOut);
        // The search is aborted; the poll goes on once the late wait is over.
        EXPECT_EQ(h.TakeWrites(), (Writes{"\r"}));
        h.Advance(static_cast<std::uint32_t>(ModemSession::kLateAnswerWait.count()) + 100);
        EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll}));
    }
    {
        ScanHarness h;
        h.session.RequestScan();
        h.channel.InjectState(TCommState::CommStateDisconnected);
        h.Advance(50);
        ASSERT_EQ(h.view.scans.size(), 1u);
        EXPECT_EQ(h.view.scans[0].outcome, ScanOutcome::PortLost);
    }
}

TEST(SessionScan, CancelAbortsAndTheLateListIsNoAnswerToThePoll)
{
    ScanHarness h;
    h.session.RequestScan();
    h.Advance(5000);
    h.TakeWrites();
    h.session.CancelScan();
    ASSERT_EQ(h.view.scans.size(), 1u);
    EXPECT_EQ(h.view.scans[0].outcome, ScanOutcome::Cancelled);
    EXPECT_EQ(h.TakeWrites(), (Writes{"\r"}));
    // This modem finishes its search anyway, after the late wait: its list
    // and OK come while the main poll waits for its answer.
    h.Advance(static_cast<std::uint32_t>(ModemSession::kLateAnswerWait.count()) + 100);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll}));
    h.ReplyLines({kScanLine, "OK"});
    h.AnswerMainPoll();
    h.AnswerSmonp();
    h.Advance(100);
    EXPECT_EQ(h.view.cycles, 1);
    std::lock_guard lock(h.session.RecordLock());
    EXPECT_EQ(h.session.DisplayRecord().operatorName, "T-Mobile CZ");
    EXPECT_EQ(h.session.DisplayRecord().signal, 53);
    EXPECT_EQ(h.view.scans.size(), 1u);
}

TEST(SessionScan, HeldPollingDoesNotHoldTheScanBack)
{
    ScanHarness h;
    h.session.SetPollingHeld(true);
    // The cycle under way ends.
    h.Advance(50);
    h.AnswerMainPoll();
    h.AnswerSmonp();
    h.Advance(100);
    EXPECT_EQ(h.TakeWrites(), (Writes{kMainPoll, "AT^SMONP\r"}));
    h.session.RequestScan();
    EXPECT_EQ(h.TakeWrites(), (Writes{"AT+COPS=?\r"}));
    h.ReplyLines({"+COPS: ,,(0-4),(0-2)", "OK"});
    ASSERT_EQ(h.view.scans.size(), 1u);
    EXPECT_TRUE(h.view.scans[0].operators.empty());
    h.Advance(1000);
    EXPECT_TRUE(h.TakeWrites().empty()); // still held
}

} // namespace
