#include "FakeChannel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CommunicationComponent, DeliversPlainThenAdvancedWithMainChannelAsNil)
{
    FakeChannel channel;
    std::vector<std::string> calls;
    channel.SetOnReceiveData([&](VRynCommunicationComponent *sender, const std::uint8_t *b, std::uint16_t n) {
        EXPECT_EQ(sender, &channel);
        calls.push_back("plain:" + std::string(reinterpret_cast<const char *>(b), n));
    });
    channel.SetOnAdvancedReceiveData(
        [&](VRynCommunicationComponent *, QObject *ch, const std::uint8_t *b, std::uint16_t n) {
            calls.push_back(std::string(ch == nullptr ? "adv-nil:" : "adv-self:") +
                            std::string(reinterpret_cast<const char *>(b), n));
        });
    channel.Inject("OK\r");
    channel.SetTreatMainChannelAsNil(false);
    channel.Inject("x");
    EXPECT_EQ(calls, (std::vector<std::string>{"plain:OK\r", "adv-nil:OK\r", "plain:x", "adv-self:x"}));
}

TEST(CommunicationComponent, LargeDeliveryArrivesInSixteenBitSlicesWithoutLoss)
{
    FakeChannel channel;
    std::string received;
    std::vector<std::size_t> sizes;
    channel.SetOnReceiveData([&](VRynCommunicationComponent *, const std::uint8_t *b, std::uint16_t n) {
        received.append(reinterpret_cast<const char *>(b), n);
        sizes.push_back(n);
    });
    std::string big(70000, 'a');
    big[65534] = 'b';
    big[65535] = 'c';
    channel.Inject(big);
    EXPECT_EQ(received, big);
    EXPECT_EQ(sizes, (std::vector<std::size_t>{65535, 70000 - 65535}));
}

TEST(CommunicationComponent, StateGoesToPlainAndAdvancedCallbacks)
{
    FakeChannel channel;
    std::vector<std::string> calls;
    channel.SetOnStateChange([&](QObject *, TCommState s) { calls.push_back(std::string("plain:") + CommStateName(s)); });
    channel.SetOnAdvancedStateChange([&](VRynCommunicationComponent *, QObject *ch, TCommState s) {
        calls.push_back(std::string(ch ? "adv-self:" : "adv-nil:") + CommStateName(s));
    });
    channel.InjectState(TCommState::CommStateConnected);
    channel.SetTreatMainChannelAsNil(false);
    channel.InjectState(TCommState::CommStateFailed);
    EXPECT_EQ(calls, (std::vector<std::string>{"plain:CommStateConnected", "adv-nil:CommStateConnected",
                                               "plain:CommStateFailed", "adv-self:CommStateFailed"}));
}

TEST(CommunicationComponent, SendToChannelAcceptsOnlyTheMainChannel)
{
    FakeChannel channel;
    QObject other;
    const std::uint8_t byte = 'A';
    EXPECT_TRUE(channel.SendToChannel(nullptr, &byte, 1));
    EXPECT_FALSE(channel.SendToChannel(&channel, &byte, 1));
    EXPECT_FALSE(channel.SendToChannel(&other, &byte, 1));
    channel.SetTreatMainChannelAsNil(false);
    EXPECT_FALSE(channel.SendToChannel(nullptr, &byte, 1));
    EXPECT_TRUE(channel.SendToChannel(&channel, &byte, 1));
    EXPECT_EQ(channel.Written(), "AA");
}

} // namespace
