#include "DistributorFixture.h"

#include "RynUtils.h"
#include "VRynDistributor.h"

#include <QPointer>

#include <memory>

namespace {

// Expects statement to throw RynException with exactly text.
#define EXPECT_RYN_ERROR(statement, text)                                                                              \
    do {                                                                                                               \
        try {                                                                                                          \
            statement;                                                                                                 \
            ADD_FAILURE() << "no exception from " #statement;                                                          \
        } catch (const RynException &e) {                                                                             \
            EXPECT_STREQ(e.what(), text);                                                                              \
        }                                                                                                              \
    } while (false)

class Chain : public TopFixture {};

TEST_F(Chain, LoopIsRefusedAndLeavesTheElementDetached)
{
    VRynDistributor a, b, c;
    a.SetDistributor(&top);
    b.SetDistributor(&a);
    c.SetDistributor(&b);
    a.SetDistributor(&c); // c's ancestors are b and a: a loop
    EXPECT_EQ(a.Distributor(), nullptr);
    EXPECT_TRUE(top.Children().empty());
    EXPECT_EQ(c.TopDistributor(), nullptr) << "the cached top went with the parent";
    EXPECT_RYN_ERROR(c.GetComBuffer(0), "GetComBuffer: VRynDistributor chain does not begin with VRynTopDistributor");
    EXPECT_RYN_ERROR(c.SendComData("AT\r"), "SendComData: VRynDistributor chain does not begin with VRynTopDistributor");
    b.SetDistributor(&b);
    EXPECT_EQ(b.Distributor(), nullptr) << "its own parent is a loop too";
    a.SetDistributor(&top);
    c.SetDistributor(&a);
    EXPECT_EQ(c.TopDistributor(), &top);
}

TEST_F(Chain, DetachingMovesTheLastChildIntoTheGap)
{
    VRynDistributor a, b, c;
    for (VRynDistributor *d : {&a, &b, &c})
        d->SetDistributor(&top);
    a.SetDistributor(nullptr);
    EXPECT_EQ(top.Children(), (std::vector<VRynDistributor *>{&c, &b}));
}

TEST_F(Chain, ChannelRecordsFollowTheTopAcrossAttachAndDelete)
{
    QObject client1, client2;
    top.AddChannel(&client1);
    top.AddChannel(&client2);
    VRynDistributor a, b;
    b.SetDistributor(&a);
    a.SetDistributor(&top);
    EXPECT_EQ(b.DataRecord(kDirectionSend).Channels.size(), 3u) << "the sub-chain is sized too";
    b.SetDecodedLength(4, 42); // client 2 receive
    top.DeleteChannel(&client1);
    EXPECT_EQ(b.GetDecodedLength(2), 42) << "client 2 took number 1";
    QObject client3;
    EXPECT_EQ(top.AddChannel(&client3), 2);
    EXPECT_EQ(b.DataRecord(kDirectionReceive).Channels.size(), 3u);
    a.SetDistributor(nullptr);
    EXPECT_EQ(b.DataRecord(kDirectionReceive).Channels.size(), 1u);
    top.DeleteChannel(&client2);
    top.DeleteChannel(&client3);
}

TEST_F(Chain, DeleteChannelRefusesChannelZeroNumbersAndStrangers)
{
    QObject stranger;
    EXPECT_FALSE(top.DeleteChannel(&stranger));
    channel.Inject("abc");
    EXPECT_TRUE(top.DeleteChannel(nullptr));
    EXPECT_TRUE(top.GetComBuffer(0).empty());
    EXPECT_TRUE(top.IsChannelReleased(0));
}

TEST_F(Chain, BadInputGetsTheDebugCheckTexts)
{
    VRynDistributor element;
    element.SetDistributor(&top);
    EXPECT_RYN_ERROR(top.GetComBuffer(2), "Tohle musis opravit");
    EXPECT_RYN_ERROR(top.GetComBuffer(-1), "Tohle musis opravit");
    EXPECT_RYN_ERROR(element.SetDecodedLength(9, 1), "Tohle musis opravit");
    EXPECT_RYN_ERROR(element.GetDecodePending(-2), "Tohle musis opravit");
    EXPECT_RYN_ERROR(element.GetComBuffer(nullptr, 2), "Tohle musis opravit");
    element.SetDecodedLength(0, 3);
    EXPECT_RYN_ERROR(element.SetDecodedLength(0, -1), "ses peknej jeliman");
    EXPECT_RYN_ERROR(element.SetDecodedLength(nullptr, kDirectionReceive, -5), "ses peknej jeliman");
    EXPECT_EQ(element.GetDecodedLength(0), 3) << "a refused count is not stored";
    EXPECT_RYN_ERROR(top.CutComBuffer(0, -2), "CutComBuffer: count -2 is below -1");
    element.SetDistributor(nullptr);
}

TEST_F(Chain, WithTheDebugSwitchOffBadIndexesAreIgnoredQuietly)
{
    SetRynDebugSwitch(false);
    EXPECT_TRUE(top.GetComBuffer(17).empty());
    top.SetDecodedLength(17, 1);
    top.SetDecodedLength(0, -4);
    EXPECT_EQ(top.GetDecodedLength(17), 0);
    EXPECT_EQ(top.GetDecodedLength(0), 0);
    top.CutComBuffer(17, 1);
    SetRynDebugSwitch(true);
}

TEST_F(Chain, CutComBufferCutsTheHeadOrEverything)
{
    top.SetOnComRecvDecode([](auto *, std::uint32_t &) {}); // holds the bytes
    channel.Inject("abcdef");
    top.CutComBuffer(0, 2);
    EXPECT_EQ(top.GetComBuffer(0), "cdef");
    top.CutComBuffer(0, 100);
    EXPECT_TRUE(top.GetComBuffer(0).empty());
    channel.Inject("xyz");
    top.CutComBuffer(0, -1);
    EXPECT_TRUE(top.GetComBuffer(0).empty());
}

TEST_F(Chain, ReleaseWhileLockedFreesAtTheLastUnlock)
{
    auto *element = new VRynDistributor;
    QPointer<VRynDistributor> alive(element);
    element->Lock();
    element->Lock();
    element->Release();
    element->Unlock();
    EXPECT_FALSE(alive.isNull());
    element->Unlock();
    EXPECT_TRUE(alive.isNull());

    VRynDistributor kept;
    kept.Unlock();
    EXPECT_EQ(kept.LockCount(), 0) << "never below zero";
}

TEST_F(Chain, ReleaseFromInsideItsOwnPollFreesAfterTheCallback)
{
    DecodeLines();
    auto *element = new VRynDistributor;
    element->SetDistributor(&top);
    QPointer<VRynDistributor> alive(element);
    int elementPolls = 0;
    element->SetOnComRecvPoll([&](VRynGeneralDistributor *sender, std::uint32_t &, const std::string &, bool &) {
        ++elementPolls;
        sender->Release();
    });
    channel.Inject("one\rtwo\r");
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(elementPolls, 1);
    EXPECT_EQ(polled, (Messages{"one\r", "two\r"}));
    EXPECT_TRUE(top.Children().empty());
}

TEST_F(Chain, ElementDeletedByAnotherCallbackIsSkipped)
{
    DecodeLines();
    auto *element = new VRynDistributor;
    element->SetDistributor(&top);
    int elementPolls = 0;
    element->SetOnComRecvPoll([&](auto *, std::uint32_t &, const std::string &, bool &) { ++elementPolls; });
    top.SetOnComRecvTransfer([&](auto *, std::uint32_t, const std::string &d, auto *, bool) {
        if (d == "first\r")
            delete element;
    });
    channel.Inject("first\rsecond\r");
    EXPECT_EQ(elementPolls, 0);
    EXPECT_EQ(polled, (Messages{"first\r", "second\r"}));
}

TEST(ChainLifetime, TopDeletedInsideItsOwnPassStopsThePass)
{
    FakeChannel channel;
    auto *top = new VRynTopDistributor;
    top->SetComHandler(&channel);
    top->SetOnComRecvDecode(&CrDecode);
    int polls = 0;
    top->SetOnComRecvPoll([&](VRynGeneralDistributor *sender, std::uint32_t &, const std::string &, bool &) {
        ++polls;
        delete sender;
    });
    channel.Inject("a\rb\r");
    EXPECT_EQ(polls, 1);
    EXPECT_FALSE(bool(channel.OnAdvancedReceiveData())) << "the hook went with the top";
}

TEST_F(Chain, FilterColourIsReportedOncePerChange)
{
    TColor colour = 0x0000FF;
    top.SetOnComRecvDecode([](auto *, std::uint32_t &) {});
    top.SetOnAdvancedRecvGetColor(
        [&](auto *, QObject *, const std::string &, std::uint32_t, TColor &filter) { filter = colour; });
    channel.Inject("a");
    EXPECT_EQ(top.GetFilterColor(kDirectionReceive, nullptr), 0x0000FFu);
    EXPECT_EQ(top.GetFilterColor(kDirectionReceive, nullptr), kDistributorNoColor);
    colour = 0x008000;
    channel.Inject("b");
    EXPECT_EQ(top.GetFilterColor(kDirectionReceive, nullptr), 0x008000u);
    EXPECT_EQ(top.GetFilterColor(kDirectionSend, nullptr), kDistributorNoColor);
}

TEST_F(Chain, AutomaticConnectFindsTheTopAmongTheOwnersChildren)
{
    QObject window;
    QObject panel(&window);
    auto *other = new VRynTopDistributor(&panel);
    other->setObjectName("other");
    auto *element = new VRynDistributor(&window);
    element->Loaded();
    EXPECT_EQ(element->Distributor(), other);
    auto *manual = new VRynDistributor(&window);
    manual->SetAutomaticConnect(false);
    manual->Loaded();
    EXPECT_EQ(manual->Distributor(), nullptr);
}

TEST(ChainDestruction, DestroyingAParentDetachesItsChildren)
{
    VRynDistributor child;
    {
        VRynTopDistributor top;
        child.SetDistributor(&top);
    }
    EXPECT_EQ(child.Distributor(), nullptr);
    EXPECT_EQ(child.TopDistributor(), nullptr);
}

TEST(ChainDestruction, WarnsAboutChannelsStillRegistered)
{
    MessageCapture capture;
    {
        VRynTopDistributor top;
        top.setObjectName("distTop");
        QObject client;
        top.AddChannel(&client);
    }
    EXPECT_EQ(capture.messages,
              (std::vector<std::string>{
                  "VRynTopDistributor(distTop).Destroy: Please call DeleteChannel after communication termination",
                  "VRynGeneralDistributor[=distTop].Destroy: Please call DeleteChannel after communication termination",
                  "VRynGeneralDistributor[=distTop].Destroy: Please call DeleteChannel after communication "
                  "termination"}));
}

TEST(ChainDestruction, WarnsWhenChannelZeroWasNotReleased)
{
    MessageCapture capture;
    {
        VRynTopDistributor top;
        top.setObjectName("solo");
        top.SendComData("AT\r"); // uses channel 0; no handler ever released it
    }
    EXPECT_EQ(capture.messages, (std::vector<std::string>{"VRynTopDistributor(solo).Destroy: Please call "
                                                          "DeleteChannel(nil) after communication termination (e.g. "
                                                          "in TVRSComm32.OnStateChange)"}));
}

TEST(ChainDestruction, QuietAfterAnOrderlyEnd)
{
    MessageCapture capture;
    {
        FakeChannel channel;
        VRynTopDistributor top;
        top.SetComHandler(&channel);
        channel.Inject("data");
    }
    EXPECT_TRUE(capture.messages.empty());
}

} // namespace
