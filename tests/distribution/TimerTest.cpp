#include "DistributorFixture.h"

#include "VRSComm32.h"
#include "VRynDistributor.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class Timers : public TopFixture {
protected:
    Timers()
    {
        a.setObjectName("a");
        b.setObjectName("b");
        a.SetDistributor(&top);
        b.SetDistributor(&a);
    }
    ~Timers() override
    {
        b.SetDistributor(nullptr);
        a.SetDistributor(nullptr);
    }
    TDistributorPollProc Record(const char *who)
    {
        return [this, who](VRynGeneralDistributor *, std::uint32_t &) { calls.push_back(who); };
    }
    VRynDistributor a, b;
    std::vector<std::string> calls;
};

TEST_F(Timers, ChildrenPollBeforeParentsThenTimeoutsThenRegisteredTimers)
{
    top.SetOnTimerPoll(Record("poll:top"));
    a.SetOnTimerPoll(Record("poll:a"));
    b.SetOnTimerPoll(Record("poll:b"));
    top.SetOnTimeout(Record("timeout:top"));
    b.SetOnTimeout(Record("timeout:b"));
    top.TimerTick();
    top.SetTimeout(10);
    b.SetTimeout(10);
    a.RegisterTimer(this, [this](VRynGeneralDistributor *) { calls.push_back("timer:a"); }, 10, false);
    calls.clear();
    now += 11;
    top.TimerTick();
    EXPECT_EQ(calls, (std::vector<std::string>{"poll:b", "poll:a", "poll:top", "timeout:b", "timeout:top", "timer:a"}));
}

TEST_F(Timers, GlobalEnabledOffSkipsPollAndTimeoutOfTheSubChainButNotRegisteredTimers)
{
    a.SetOnTimerPoll(Record("poll:a"));
    b.SetOnTimerPoll(Record("poll:b"));
    b.SetOnTimeout(Record("timeout:b"));
    top.TimerTick();
    b.SetTimeout(0);
    b.RegisterTimer(this, [this](VRynGeneralDistributor *) { calls.push_back("timer:b"); }, 0, true);
    a.SetGlobalEnabled(false);
    calls.clear();
    now += 5;
    top.TimerTick();
    EXPECT_EQ(calls, (std::vector<std::string>{"timer:b"}));
    a.SetGlobalEnabled(true);
    now += 5;
    top.TimerTick();
    EXPECT_EQ(calls, (std::vector<std::string>{"timer:b", "poll:b", "poll:a", "timeout:b", "timer:b"}));
}

// A callback that pumps events lets a second tick in: the tick must not
// call it again, and after it returns the tick reads the clock afresh.
TEST_F(Timers, ReentryDuringAPollRefreshesTheTimeAndDoesNotRecurse)
{
    int polls = 0;
    int timeouts = 0;
    top.TimerTick();
    top.SetTimeout(200); // start 1000
    top.SetOnTimeout([&](auto *, std::uint32_t &) { ++timeouts; });
    top.SetOnTimerPoll([&](VRynGeneralDistributor *, std::uint32_t &) {
        ++polls;
        now = 1500;
        top.TimerTick(); // the nested tick meets the polling flag
    });
    top.TimerTick();
    EXPECT_EQ(polls, 1);
    EXPECT_EQ(top.CurrentTime(), 1500u);
    EXPECT_EQ(timeouts, 1) << "checked with the refreshed time, 500 ms after the start";
}

TEST_F(Timers, TimeoutDueWhilePollingIsKeptForTheNextTick)
{
    int timeouts = 0;
    top.TimerTick();
    top.SetTimeout(50);
    top.SetOnTimeout([&](auto *, std::uint32_t &) { ++timeouts; });
    top.SetOnTimerPoll([&](VRynGeneralDistributor *, std::uint32_t &) {
        if (now == 2000)
            top.TimerTick(); // nested: its time-out check finds us polling
    });
    now = 2000;
    top.TimerTick();
    EXPECT_EQ(timeouts, 1) << "fired once, by the outer tick after the poll";
}

TEST_F(Timers, SendFromATimeoutReachesChannelAndTransfer)
{
    std::vector<std::string> sent;
    top.SetOnComSendTransfer([&](auto *, std::uint32_t, const std::string &d, auto *, bool) { sent.push_back(d); });
    b.SetOnTimeout([](VRynGeneralDistributor *sender, std::uint32_t &t) { sender->SendComData(t, "AT\r"); });
    top.TimerTick();
    b.SetTimeout(30);
    now += 31;
    top.TimerTick();
    EXPECT_EQ(channel.Written(), "AT\r");
    EXPECT_EQ(sent, (std::vector<std::string>{"AT\r"}));
    EXPECT_TRUE(top.GetComBuffer(1).empty());
}

TEST_F(Timers, SingleTimersRunOnceRepeatingOnesRestartFromTheTick)
{
    int single = 0, repeating = 0;
    const int keyA = 0, keyB = 0;
    top.TimerTick();
    top.RegisterTimer(&keyA, [&](auto *) { ++single; }, 100, false);
    top.RegisterTimer(&keyB, [&](auto *) { ++repeating; }, 100, true);
    for (std::uint32_t t : {1050u, 1101u, 1150u, 1202u, 1300u}) {
        now = t;
        top.TimerTick();
    }
    EXPECT_EQ(single, 1);
    EXPECT_EQ(repeating, 2) << "due at 1101 and 1202, not at 1150 or 1300";
    EXPECT_EQ(top.RegisteredTimerCount(), 1);
}

TEST_F(Timers, RegisteringAKnownKeyUpdatesItAndAListChangeEndsThePass)
{
    // The same key again replaces its callback and interval: no second entry.
    int old = 0, updated = 0;
    const int keyA = 0;
    top.TimerTick();
    top.RegisterTimer(&keyA, [&](auto *) { ++old; }, 10, true);
    top.RegisterTimer(&keyA, [&](auto *) { ++updated; }, 100, true);
    EXPECT_EQ(top.RegisteredTimerCount(), 1);
    now += 11;
    top.TimerTick();
    EXPECT_EQ(updated, 0) << "the interval is the new one";
    now += 90;
    top.TimerTick();
    EXPECT_EQ(old, 0);
    EXPECT_EQ(updated, 1);
    top.UnregisterTimer(&keyA);

    // Both due; the first adds a timer, which ends the pass before the second.
    int first = 0, second = 0;
    const int keyB = 0, keyC = 0, keyD = 0;
    top.RegisterTimer(&keyB, [&](VRynGeneralDistributor *sender) {
        ++first;
        sender->RegisterTimer(&keyD, [](auto *) {}, 10000, true);
    }, 10, false);
    top.RegisterTimer(&keyC, [&](auto *) { ++second; }, 10, true);
    now += 11;
    top.TimerTick();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0) << "the pass ended when the list changed";
    top.TimerTick();
    EXPECT_EQ(second, 1) << "the next tick runs it";
    EXPECT_EQ(first, 1);
}

// A distributor's current time is that of the last walk over it; a time-out
// armed between ticks starts from the clock, not from that.
TEST_F(Timers, ATimeoutArmedBetweenTicksStartsFromTheClock)
{
    int timeouts = 0;
    b.SetOnTimeout([&](auto *, std::uint32_t &) { ++timeouts; });
    top.TimerTick(); // 1000
    now = 1015;
    b.SetTimeout(20);
    now = 1030;
    top.TimerTick();
    EXPECT_EQ(timeouts, 0) << "15 ms after it was armed";
    now = 1036;
    top.TimerTick();
    EXPECT_EQ(timeouts, 1);
}

// A message handled in a tick-driven pass lets a nested tick in (its
// callback pumps events), then arms a time-out; the outer tick goes on with
// the time it read before the nested one and must not fire it.
TEST_F(Timers, ATimeoutArmedAfterANestedTickWaitsItsInterval)
{
    int timeouts = 0;
    bool ready = false;
    top.SetOnTimeout([&](auto *, std::uint32_t &) { ++timeouts; });
    top.SetOnComRecvDecode([&](VRynGeneralDistributor *sender, std::uint32_t &t) {
        if (ready)
            CrDecode(sender, t);
    });
    top.SetOnComRecvPoll([&](VRynGeneralDistributor *sender, std::uint32_t &, const std::string &, bool &) {
        now = 1300;
        top.TimerTick(); // nested: skips the busy pipelines, walks the time-outs
        sender->SetTimeout(500);
    });
    channel.Inject("OK\r"); // waits: the decoder is not ready
    ready = true;
    top.TimerTick(); // reads 1000, then the pass runs the nested tick
    EXPECT_EQ(timeouts, 0) << "armed at 1300 for 500 ms";
    now = 1700;
    top.TimerTick();
    EXPECT_EQ(timeouts, 0);
    now = 1801;
    top.TimerTick();
    EXPECT_EQ(timeouts, 1);
}

TEST_F(Timers, TimerDisabledRunsOnlyRegisteredTimers)
{
    DecodeLines();
    top.SetDoTimerAfterData(false);
    top.SetOnTimerPoll(Record("poll"));
    top.RegisterTimer(this, [this](auto *) { calls.push_back("timer"); }, 0, true);
    top.SetTimerEnabled(false);
    top.SetComHandlerEnabled(false);
    channel.Inject("ignored\r");
    top.SetComHandlerEnabled(true);
    now += 1;
    top.TimerTick();
    EXPECT_EQ(calls, (std::vector<std::string>{"timer"}));
    EXPECT_TRUE(polled.empty());
    EXPECT_TRUE(top.GetComBuffer(0).empty());
}

TEST_F(Timers, TimeoutExceptionHandledOrPassedOn)
{
    top.SetOnTimeout([](auto *, std::uint32_t &) { throw std::runtime_error("late"); });
    top.TimerTick();
    top.SetTimeout(0);
    now += 1;
    EXPECT_THROW(top.TimerTick(), std::runtime_error);
    int id = 0;
    top.SetOnCallbackException([&](auto *, const std::exception &, int cbackid, bool &handled) {
        id = cbackid;
        handled = true;
    });
    top.SetTimeout(0);
    now += 1;
    EXPECT_NO_THROW(top.TimerTick());
    EXPECT_EQ(id, dcbTimeout);
}

class TimerComponents : public ::testing::Test {
protected:
    TimerComponents() { TestApplication(); }
};

TEST_F(TimerComponents, LoadedCreatesARunningOwnedTimer)
{
    VRynTopDistributor top;
    top.Loaded();
    QPointer<QTimer> created = top.Timer();
    ASSERT_FALSE(created.isNull());
    EXPECT_EQ(created->objectName(), "VRynDistributionTimer");
    EXPECT_EQ(created->interval(), 20);
    EXPECT_TRUE(created->isActive());
    QTimer mine;
    top.SetTimer(&mine);
    EXPECT_TRUE(created.isNull()) << "an owned timer is freed when replaced";
    top.SetTimer(nullptr);
}

TEST_F(TimerComponents, LoadedCreatesAnOwnedSerialHandlerOnlyWhenNoneIsSet)
{
    VRynTopDistributor top;
    top.Loaded();
    QPointer<VRynCommunicationComponent> created = top.ComHandler();
    ASSERT_FALSE(created.isNull());
    EXPECT_EQ(created->objectName(), "VRynCOMHandler");
    EXPECT_NE(dynamic_cast<TVRSComm32 *>(created.data()), nullptr);
    EXPECT_FALSE(created->Active()) << "created closed";
    top.SetComHandler(nullptr);
    EXPECT_TRUE(created.isNull()) << "an owned handler is freed when replaced";

    VRynTopDistributor given;
    TVRSComm32 mine;
    given.SetComHandler(&mine);
    given.Loaded();
    EXPECT_EQ(given.ComHandler(), &mine);
    given.SetComHandler(nullptr);
}

TEST_F(TimerComponents, NoExceptionFromATickReachesTheEventLoop)
{
    MessageCapture capture;
    VRynTopDistributor top;
    top.setObjectName("distTop");
    QTimer timer;
    timer.setInterval(1);
    top.SetTimer(&timer);
    int polls = 0;
    top.SetOnTimerPoll([&](auto *, std::uint32_t &) {
        ++polls;
        throw std::runtime_error("poll failed");
    });
    timer.start();
    QElapsedTimer waited;
    waited.start();
    while (polls < 2 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    timer.stop();
    ASSERT_GE(polls, 2);
    ASSERT_FALSE(capture.messages.empty());
    EXPECT_EQ(capture.messages.front(), "VRynTopDistributor(distTop): timer tick failed: poll failed");
}

TEST_F(TimerComponents, DestroyedTimerAndHandlerAreForgotten)
{
    VRynTopDistributor top;
    auto *timer = new QTimer;
    auto *handler = new FakeChannel;
    top.SetTimer(timer);
    top.SetComHandler(handler);
    top.SetOnComRecvDecode([](auto *, std::uint32_t &) {}); // holds the bytes
    handler->Inject("pending");
    ASSERT_EQ(top.GetComBuffer(0), "pending");
    delete timer;
    delete handler;
    EXPECT_EQ(top.Timer(), nullptr);
    EXPECT_EQ(top.ComHandler(), nullptr);
    EXPECT_TRUE(top.GetComBuffer(0).empty());
}

TEST_F(TimerComponents, ReplacingTheHandlerUnhooksTheOldOne)
{
    VRynTopDistributor top;
    FakeChannel first, second;
    top.SetComHandler(&first);
    EXPECT_TRUE(bool(first.OnAdvancedReceiveData()));
    top.SetComHandler(&second);
    EXPECT_FALSE(bool(first.OnAdvancedReceiveData()));
    top.SetOnComRecvDecode([](auto *, std::uint32_t &) {});
    first.Inject("old");
    second.Inject("new");
    EXPECT_EQ(top.GetComBuffer(0), "new");
    top.SetComHandler(nullptr);
}

// The timer's tick plan on a hand clock: the top re-times the running
// timer, so its interval after a timeout is the wait for the next tick.
struct PlannedTop {
    PlannedTop()
    {
        TestApplication();
        top.SetTickCountSource([this] { return now; });
        top.SetComHandler(&channel);
        timer.setInterval(50);
        top.SetTimer(&timer);
        timer.start();
    }
    ~PlannedTop()
    {
        top.SetTimer(nullptr);
        top.SetComHandler(nullptr);
    }
    // The tick count the next tick is planned for.
    std::uint32_t NextTick() const { return now + std::uint32_t(timer.interval()); }
    std::uint32_t now = 1000;
    FakeChannel channel;
    QTimer timer;
    VRynTopDistributor top;
};

TEST(TickPlan, TheNextTickIsTheFirstOfThePeriodOnWhichSomethingFallsDue)
{
    struct Case {
        const char *what;
        std::function<void(PlannedTop &)> arm;
        int wait;
    };
    const std::vector<Case> cases{
        {"nothing armed sleeps the longest", [](PlannedTop &) {}, 50 * int(VRynTopDistributor::kMaxSleepTicks)},
        {"time-out of 120 ms: third tick", [](PlannedTop &t) { t.top.SetTimeout(120); }, 150},
        {"time-out of 100 ms: elapsed only after 100", [](PlannedTop &t) { t.top.SetTimeout(100); }, 150},
        {"time-out of 99 ms: second tick", [](PlannedTop &t) { t.top.SetTimeout(99); }, 100},
        {"time-out beyond the longest sleep", [](PlannedTop &t) { t.top.SetTimeout(120000); }, 50 * int(VRynTopDistributor::kMaxSleepTicks)},
        {"time-out of 30 s: slept in one", [](PlannedTop &t) { t.top.SetTimeout(30000); }, 30050},
        {"registered timer of 30 ms: the next tick",
         [](PlannedTop &t) { t.top.RegisterTimer(&t, [](VRynGeneralDistributor *) {}, 30, true); }, 50},
        {"timer callback: every tick",
         [](PlannedTop &t) { t.top.SetOnTimerPoll([](VRynGeneralDistributor *, std::uint32_t &) {}); }, 50},
        {"bytes waiting for the rest of a line: every tick",
         [](PlannedTop &t) {
             t.top.SetOnComRecvDecode(&CrDecode);
             t.channel.Inject("OK");
         },
         50},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PlannedTop t;
        c.arm(t);
        t.top.TimerTimeout();
        EXPECT_TRUE(t.timer.isActive());
        EXPECT_EQ(t.timer.interval(), c.wait);
    }
}

// Whatever is armed between two ticks, it expires on the tick on which a
// timer ticking every period would expire it.
TEST(TickPlan, ATimeOutArmedInASleepExpiresOnTheSameTickAsWithEveryTick)
{
    for (const std::uint32_t offset : {0u, 1u, 17u, 49u}) {
        for (const std::uint32_t interval : {0u, 10u, 49u, 50u, 51u, 120u, 500u}) {
            SCOPED_TRACE("armed " + std::to_string(offset) + " ms after a tick for " + std::to_string(interval));
            PlannedTop t;
            t.top.TimerTimeout(); // at 1000, nothing due: asleep
            t.now += offset;
            t.top.SetTimeout(interval);
            std::uint32_t everyTick = 1050;
            while (!VRynGeneralDistributor::Elapsed(1000 + offset, interval, everyTick))
                everyTick += 50;
            EXPECT_EQ(t.NextTick(), everyTick);
            int expired = 0;
            t.top.SetOnTimeout([&](auto *, std::uint32_t &) { ++expired; });
            t.now = t.NextTick();
            t.top.TimerTimeout();
            EXPECT_EQ(expired, 1);
        }
    }
}

TEST(TickPlan, OwnersStopStandsAndTheTimerIsHandedBackAsItWas)
{
    PlannedTop t;
    t.timer.setTimerType(Qt::CoarseTimer);
    t.top.TimerTimeout();
    ASSERT_NE(t.timer.interval(), 50) << "asleep";
    t.now += 20;
    t.top.SetTimeout(10);
    EXPECT_EQ(t.NextTick(), 1050u);
    t.timer.stop();
    t.top.SetTimeout(5);
    EXPECT_FALSE(t.timer.isActive()) << "arming never starts a timer the owner stopped";
    t.timer.start();
    t.top.TimerTimeout();
    t.top.SetTimer(nullptr);
    EXPECT_EQ(t.timer.interval(), 50);
    EXPECT_EQ(t.timer.timerType(), Qt::CoarseTimer);
}

} // namespace
