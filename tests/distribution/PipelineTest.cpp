#include "DistributorFixture.h"

#include "RynUtils.h"
#include "VRynDistributor.h"

#include <QObject>

#include <random>
#include <stdexcept>

namespace {

class Pipeline : public TopFixture {};

TEST_F(Pipeline, OnePassDrainsEveryCompleteMessageAndKeepsTheRest)
{
    DecodeLines();
    top.SetDoTimerAfterData(false); // no tick may help: one arrival, one pass
    channel.Inject("1\r2\r3\r4\r5\r6\r7\r");
    EXPECT_EQ(polled, (Messages{"1\r", "2\r", "3\r", "4\r", "5\r", "6\r", "7\r"}));
    polled.clear();
    channel.Inject("A\rB\rC");
    EXPECT_EQ(polled, (Messages{"A\r", "B\r"}));
    EXPECT_EQ(top.GetComBuffer(0), "C");
    channel.Inject("D\r");
    EXPECT_EQ(polled, (Messages{"A\r", "B\r", "CD\r"}));
    EXPECT_TRUE(top.GetComBuffer(0).empty());
}

TEST_F(Pipeline, WithoutCarriageReturnNothingIsTransferred)
{
    DecodeLines();
    int transfers = 0;
    top.SetOnComRecvTransfer([&](auto *, std::uint32_t, const std::string &, auto *, bool) { ++transfers; });
    channel.Inject("+CSQ: 17,99");
    top.TimerTick();
    EXPECT_EQ(transfers, 0);
    EXPECT_EQ(top.GetDecodedLength(0), 0);
    EXPECT_EQ(top.GetComBuffer(0), "+CSQ: 17,99");
}

struct SplitCase {
    const char *name;
    std::size_t maxChunk;
};

void PrintTo(const SplitCase &c, std::ostream *os) { *os << c.name; }

class CutWithoutLoss : public TopFixture, public ::testing::WithParamInterface<SplitCase> {};

// Lines of 1 to 120 bytes, delivered in chunks that split them anywhere:
// every byte must come out exactly once, in order, as whole lines.
TEST_P(CutWithoutLoss, EveryByteComesOutOnceInWholeLines)
{
    DecodeLines();
    std::mt19937 random(20261208);
    std::string stream;
    while (stream.size() < 300000) {
        const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 119)(random);
        for (std::size_t i = 0; i < length; ++i)
            stream.push_back(char(std::uniform_int_distribution<int>('!', '~')(random)));
        stream.push_back('\r');
    }
    stream += "tail";
    std::size_t offset = 0;
    while (offset < stream.size()) {
        const std::size_t n =
            std::min(stream.size() - offset, std::uniform_int_distribution<std::size_t>(1, GetParam().maxChunk)(random));
        channel.Inject(stream.substr(offset, n));
        offset += n;
    }
    std::string joined;
    for (const std::string &m : polled) {
        ASSERT_FALSE(m.empty());
        ASSERT_EQ(m.find('\r'), m.size() - 1) << "one line per message";
        joined += m;
    }
    EXPECT_EQ(joined + "tail", stream);
    EXPECT_EQ(top.GetComBuffer(0), "tail");
}

INSTANTIATE_TEST_SUITE_P(Distributor, CutWithoutLoss,
                         ::testing::Values(SplitCase{"SingleBytes", 1}, SplitCase{"SmallReads", 13},
                                           SplitCase{"PageReads", 5000}, SplitCase{"OverSixteenBitSlices", 150000}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Pipeline, SendWithoutDecoderPassesThroughToTransferAndReachesTheChannel)
{
    std::vector<std::pair<std::string, bool>> sent;
    top.SetOnComSendTransfer([&](VRynGeneralDistributor *, std::uint32_t, const std::string &data,
                                 VRynGeneralDistributor *lowest, bool failed) {
        EXPECT_EQ(lowest, nullptr);
        sent.emplace_back(data, failed);
    });
    top.SendComData("AT+CSQ\r");
    EXPECT_EQ(channel.Written(), "AT+CSQ\r");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].first, "AT+CSQ\r");
    EXPECT_TRUE(sent[0].second) << "no decoder recognised it";
    EXPECT_TRUE(top.GetComBuffer(1).empty());
}

// The session machine answers inside the receive poll: it sends the next
// command and arms the time-out, while the receive pass still has lines.
TEST_F(Pipeline, PollMaySendAndArmTheTimeoutWhileThePassContinues)
{
    DecodeLines();
    Messages sent;
    top.SetOnComSendTransfer([&](auto *, std::uint32_t, const std::string &data, auto *, bool) { sent.push_back(data); });
    top.SetOnComRecvPoll([&](VRynGeneralDistributor *sender, std::uint32_t &t, const std::string &data, bool &processed) {
        polled.push_back(data);
        if (processed)
            return;
        processed = true;
        sender->SendComData(t, "next:" + data);
        sender->SetTimeout(500);
    });
    now = 7777;
    channel.Inject("OK\rERROR\rpartial");
    EXPECT_EQ(polled, (Messages{"OK\r", "ERROR\r"}));
    EXPECT_EQ(sent, (Messages{"next:OK\r", "next:ERROR\r"}));
    EXPECT_EQ(channel.Written(), "next:OK\rnext:ERROR\r");
    EXPECT_EQ(top.GetComBuffer(0), "partial");
    EXPECT_TRUE(top.GetComBuffer(1).empty());
    EXPECT_TRUE(top.TimeoutArmed());
    EXPECT_EQ(top.CurrentTime(), 7777u);
}

TEST_F(Pipeline, SendFromInsideTheSendTransferIsDeliveredAfterwardsNotMixedIn)
{
    Messages sent;
    top.SetOnComSendTransfer([&](VRynGeneralDistributor *sender, std::uint32_t, const std::string &data, auto *, bool) {
        sent.push_back(data);
        if (data == "first")
            sender->SendComData("second");
    });
    top.SendComData("first");
    EXPECT_EQ(sent, (Messages{"first", "second"}));
    EXPECT_TRUE(top.GetComBuffer(1).empty());
}

TEST_F(Pipeline, BuffersEmptiedUnderAPassDoNotLoseLaterBytes)
{
    DecodeLines();
    top.SetOnComRecvTransfer([&](VRynGeneralDistributor *, std::uint32_t, const std::string &data, auto *, bool) {
        if (data == "AAA\r") {
            top.DeleteChannel(nullptr); // as on a port closed mid-answer
            channel.Inject("CCC\r");    // arrives while the pass still runs
        }
    });
    channel.Inject("AAA\rBBB\r");
    EXPECT_EQ(polled, (Messages{"AAA\r", "CCC\r"}));
    EXPECT_TRUE(top.GetComBuffer(0).empty());
}

struct TieCase {
    const char *name;
    // Decoded length and decode pending of top, first and second element.
    int length[3];
    bool pending[3];
    int winner; // -1: nothing transferred
};

void PrintTo(const TieCase &c, std::ostream *os) { *os << c.name; }

class LowestDecoder : public TopFixture, public ::testing::WithParamInterface<TieCase> {};

TEST_P(LowestDecoder, ShortestWinsAndTiesFollowThePendingRule)
{
    const TieCase &c = GetParam();
    VRynDistributor first, second;
    first.SetDistributor(&top);
    second.SetDistributor(&top);
    VRynGeneralDistributor *layer[3] = {&top, &first, &second};
    VRynGeneralDistributor *chosen = nullptr;
    std::string data;
    for (int i = 0; i < 3; ++i) {
        layer[i]->SetOnComRecvDecode([&c, i](VRynGeneralDistributor *sender, std::uint32_t &) {
            if (sender->GetComBuffer(0).substr(0, 1) != "0")
                return; // claim the first message only
            sender->SetDecodedLength(0, c.length[i]);
            sender->SetDecodePending(0, c.pending[i]);
        });
    }
    top.SetOnComRecvTransfer([&](auto *, std::uint32_t, const std::string &d, VRynGeneralDistributor *lowest, bool) {
        chosen = lowest;
        data = d;
    });
    channel.Inject("0123456789");
    if (c.winner < 0) {
        EXPECT_EQ(chosen, nullptr);
        EXPECT_EQ(top.GetComBuffer(0), "0123456789");
    } else {
        EXPECT_EQ(chosen, layer[c.winner]);
        EXPECT_EQ(data, std::string("0123456789").substr(0, std::size_t(c.length[c.winner])));
    }
    first.SetDistributor(nullptr);
    second.SetDistributor(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Distributor, LowestDecoder,
    ::testing::Values(TieCase{"ShorterLaterWins", {5, 2, 0}, {true, true, true}, 1},
                      TieCase{"PendingEarlierKeepsTheTie", {3, 3, 0}, {true, false, true}, 0},
                      TieCase{"SettledEarlierYieldsTheTie", {3, 3, 0}, {false, true, true}, 1},
                      TieCase{"SettledChainPassesToTheLast", {3, 3, 3}, {false, false, true}, 2},
                      TieCase{"PendingMiddleStopsTheLast", {3, 3, 3}, {false, true, false}, 1},
                      TieCase{"ShorterBeatsSettledTie", {4, 4, 2}, {false, false, true}, 2},
                      // The only claim lies beyond the ten buffered bytes: nobody
                      // has a complete message.
                      TieCase{"BeyondTheBufferDoesNotCount", {11, 0, 0}, {false, false, false}, -1},
                      TieCase{"NobodyClaims", {0, 0, 0}, {false, false, false}, -1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Pipeline, FailedTellsEachLayerWhetherItsOwnMessageWasTransferred)
{
    VRynDistributor element;
    element.SetDistributor(&top);
    top.SetOnComRecvDecode(&CrDecode);
    element.SetOnComRecvDecode([](VRynGeneralDistributor *sender, std::uint32_t &) {
        if (sender->GetComBuffer(0).size() >= 3)
            sender->SetDecodedLength(0, 2);
    });
    std::vector<std::string> seen;
    auto record = [&](const char *who) {
        return [&seen, who](auto *, std::uint32_t, const std::string &d, auto *, bool failed) {
            seen.push_back(std::string(who) + ":" + d + (failed ? ":failed" : ":ok"));
        };
    };
    top.SetOnComRecvTransfer(record("top"));
    element.SetOnComRecvTransfer(record("element"));
    channel.Inject("ABC\r");
    EXPECT_EQ(seen, (Messages{"top:AB:failed", "element:AB:ok", "top:C\r:ok", "element:C\r:failed"}));
    element.SetDistributor(nullptr);
}

class CallbackException : public TopFixture {};

TEST_F(CallbackException, HandledSwallowsAndThePassGoesOn)
{
    DecodeLines();
    std::vector<int> ids;
    top.SetOnComRecvPoll([&](auto *, std::uint32_t &, const std::string &data, bool &) {
        polled.push_back(data);
        if (data == "bad\r")
            throw std::runtime_error("cannot parse");
    });
    top.SetOnCallbackException([&](VRynGeneralDistributor *sender, const std::exception &e, int id, bool &handled) {
        EXPECT_EQ(sender, &top);
        EXPECT_STREQ(e.what(), "cannot parse");
        ids.push_back(id);
        handled = true;
    });
    EXPECT_NO_THROW(channel.Inject("bad\rgood\r"));
    EXPECT_EQ(polled, (Messages{"bad\r", "good\r"}));
    EXPECT_EQ(ids, (std::vector<int>{dcbPoll}));
}

TEST_F(CallbackException, UnhandledGoesToTheCallerAndLeavesTheTopUsable)
{
    DecodeLines();
    bool handlerCalled = false;
    top.SetOnCallbackException([&](auto *, const std::exception &, int id, bool &) {
        handlerCalled = true;
        EXPECT_EQ(id, dcbDecode);
    });
    top.SetOnComRecvDecode([](VRynGeneralDistributor *sender, std::uint32_t &t) {
        if (sender->GetComBuffer(0).substr(0, 1) == "!")
            throw std::runtime_error("decoder broke");
        CrDecode(sender, t);
    });
    try {
        channel.Inject("!x\r");
        FAIL() << "the exception should reach the caller";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "decoder broke");
    }
    EXPECT_TRUE(handlerCalled);
    EXPECT_EQ(top.GetComBuffer(0), "!x\r") << "nothing was cut";
    EXPECT_FALSE(top.IsPassRunning());
    top.CutComBuffer(0, 1);
    channel.Inject("y\r");
    EXPECT_EQ(polled, (Messages{"x\r", "y\r"}));
}

TEST_F(CallbackException, HandledInADecoderCutsUpToTheNextCr)
{
    DecodeLines();
    int reports = 0;
    top.SetOnCallbackException([&](auto *, const std::exception &, int id, bool &handled) {
        EXPECT_EQ(id, dcbDecode);
        ++reports;
        handled = true;
    });
    top.SetOnComRecvDecode([](VRynGeneralDistributor *sender, std::uint32_t &t) {
        if (sender->GetComBuffer(0).substr(0, 1) == "!")
            throw std::runtime_error("decoder broke");
        CrDecode(sender, t);
    });
    channel.Inject("!x\rgood\r");
    EXPECT_EQ(polled, (Messages{"good\r"}));
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(top.GetComBuffer(0).empty());
    // Without a CR the whole rest goes.
    channel.Inject("!no end");
    EXPECT_TRUE(top.GetComBuffer(0).empty());
    top.TimerTick();
    top.TimerTick();
    EXPECT_EQ(reports, 2) << "reported once per bad message, not on every tick";
    channel.Inject("next\r");
    EXPECT_EQ(polled, (Messages{"good\r", "next\r"}));
}

TEST_F(CallbackException, UnhandledInTransferStillConsumesTheMessage)
{
    DecodeLines();
    top.SetOnComRecvTransfer([](auto *, std::uint32_t, const std::string &d, auto *, bool) {
        if (d == "poison\r")
            throw std::runtime_error("no");
    });
    EXPECT_THROW(channel.Inject("poison\rnext\r"), std::runtime_error);
    EXPECT_EQ(top.GetComBuffer(0), "next\r");
    top.TimerTick();
    EXPECT_EQ(polled, (Messages{"next\r"}));
}

class Channels : public TopFixture {
protected:
    void DecodeChannelLines()
    {
        top.SetOnAdvancedRecvDecode([](VRynGeneralDistributor *sender, QObject *ch, std::uint32_t &) {
            const std::string_view b = sender->GetComBuffer(ch, kDirectionReceive);
            if (const auto p = b.find('\r'); p != std::string_view::npos)
                sender->SetDecodedLength(ch, kDirectionReceive, int(p + 1));
        });
    }
    void Receive(QObject *from, const std::string &bytes)
    {
        top.ReceiveHook(&channel, from, reinterpret_cast<const std::uint8_t *>(bytes.data()),
                        std::uint16_t(bytes.size()));
    }
    QObject client1, client2;
};

TEST_F(Channels, ExtraChannelsGetNumbersInOrderAndOnlyAdvancedCallbacks)
{
    DecodeChannelLines();
    int plainPolls = 0;
    top.SetOnComRecvPoll([&](auto *, std::uint32_t &, const std::string &, bool &) { ++plainPolls; });
    std::vector<std::pair<QObject *, std::string>> got;
    top.SetOnAdvancedRecvPoll([&](auto *, QObject *ch, std::uint32_t &, const std::string &d, bool &) {
        got.emplace_back(ch, d);
    });
    Receive(&client1, "a\r");
    Receive(&client2, "b\rc");
    EXPECT_EQ(top.AddChannel(&client2), 2);
    EXPECT_TRUE(top.GetComBuffer(5).empty()) << "index 5 is client 2's send buffer";
    EXPECT_EQ(top.GetComBuffer(4), "c");
    EXPECT_EQ(plainPolls, 0);
    EXPECT_EQ(got, (std::vector<std::pair<QObject *, std::string>>{{&client1, "a\r"}, {&client2, "b\r"}}));
    EXPECT_TRUE(top.DeleteChannel(&client1));
    EXPECT_TRUE(top.DeleteChannel(&client2));
}

TEST_F(Channels, DeletionDuringAPassIsDeferredToItsEnd)
{
    DecodeChannelLines();
    VRynDistributor element;
    element.SetDistributor(&top);
    Receive(&client1, "x");
    Receive(&client2, "keep");
    ASSERT_EQ(top.ChannelCount(), 3);
    element.SetDecodedLength(5, 7); // client 2's send record, moved on deletion
    bool deleted = false;
    int countDuringPass = 0;
    top.SetOnAdvancedRecvPoll([&](VRynGeneralDistributor *, QObject *ch, std::uint32_t &, const std::string &, bool &) {
        if (ch != &client1)
            return;
        deleted = top.DeleteChannel(&client1);
        countDuringPass = top.ChannelCount();
    });
    Receive(&client1, "y\r");
    EXPECT_TRUE(deleted);
    EXPECT_EQ(countDuringPass, 3) << "records stay while the pass runs";
    EXPECT_EQ(top.ChannelCount(), 2);
    EXPECT_EQ(top.FindChannel(&client1), -1);
    EXPECT_EQ(top.FindChannel(&client2), 1) << "the last channel takes the freed number";
    EXPECT_EQ(top.GetComBuffer(2), "keep");
    EXPECT_EQ(element.GetDecodedLength(3), 7);
    EXPECT_FALSE(top.DeleteChannel(&client1)) << "unknown now";
    element.SetDistributor(nullptr);
    EXPECT_TRUE(top.DeleteChannel(&client2));
}

TEST_F(Channels, ChannelSeenAgainDuringThePassIsNotDeleted)
{
    top.SetOnAdvancedRecvPoll([&](VRynGeneralDistributor *, QObject *ch, std::uint32_t &, const std::string &d, bool &) {
        if (ch == &client1 && d == "bye") {
            top.DeleteChannel(&client1);
            Receive(&client1, "again");
        }
    });
    Receive(&client1, "bye");
    EXPECT_EQ(top.FindChannel(&client1), 1);
    top.DeleteChannel(&client1);
}

} // namespace
