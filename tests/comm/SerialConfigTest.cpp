// The serial settings text: what it accepts, how it round-trips, and that a
// malformed text is refused whole with a message that names the fault.
#include "RynSimModem.h"
#include "RynSimModemEngine.h"
#include "VRSComm32.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

struct GoodCase {
    const char *name;
    const char *text;
    const char *canonical;
};

class SerialConfigAccepts : public ::testing::TestWithParam<GoodCase> {};

TEST_P(SerialConfigAccepts, AndRoundTrips)
{
    TVRSComm32 comm;
    comm.SetConfigAsString(GetParam().text);
    EXPECT_EQ(comm.GetConfigAsString(), GetParam().canonical);
    TVRSComm32 copy;
    copy.SetConfigAsString(comm.GetConfigAsString());
    EXPECT_EQ(copy.GetConfigAsString(), GetParam().canonical);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SerialConfigAccepts,
    ::testing::Values(GoodCase{"Default", "115200,8,N,1,none", "115200,8,N,1,none"},
                      GoodCase{"SlowSevenEvenTwo", "9600,7,E,2,hardware", "9600,7,E,2,hardware"},
                      GoodCase{"FiveBitsOddTwo", "300,5,o,2,software", "300,5,O,2,software"},
                      GoodCase{"BlanksAndCase", " 57600 , 8 , m , 1 , NONE ", "57600,8,M,1,none"},
                      GoodCase{"FlowAliases", "19200,6,S,1,rts/cts", "19200,6,S,1,hardware"},
                      GoodCase{"XonXoff", "4800,8,N,2,xon/xoff", "4800,8,N,2,software"}),
    [](const auto &info) { return std::string(info.param.name); });

struct BadCase {
    const char *name;
    const char *text;
    const char *mentions;
};

class SerialConfigRejects : public ::testing::TestWithParam<BadCase> {};

TEST_P(SerialConfigRejects, WithAClearMessageAndNoChange)
{
    TVRSComm32 comm;
    comm.SetConfigAsString("9600,7,E,2,hardware");
    try {
        comm.SetConfigAsString(GetParam().text);
        FAIL() << "accepted \"" << GetParam().text << "\"";
    } catch (const std::invalid_argument &e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(GetParam().mentions), std::string::npos) << message;
        EXPECT_NE(message.find("115200,8,N,1,none"), std::string::npos) << "shows an example: " << message;
    }
    EXPECT_EQ(comm.GetConfigAsString(), "9600,7,E,2,hardware");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SerialConfigRejects,
    ::testing::Values(BadCase{"Empty", "", "1 fields instead of 5"},
                      BadCase{"TooFewFields", "115200,8,N,1", "4 fields instead of 5"},
                      BadCase{"TooManyFields", "115200,8,N,1,none,x", "6 fields instead of 5"},
                      BadCase{"BaudNotANumber", "fast,8,N,1,none", "baud rate \"fast\""},
                      BadCase{"BaudZero", "0,8,N,1,none", "baud rate \"0\""},
                      BadCase{"BaudNegative", "-9600,8,N,1,none", "baud rate \"-9600\""},
                      BadCase{"BaudOverflow", "99999999999,8,N,1,none", "baud rate"},
                      BadCase{"NineDataBits", "115200,9,N,1,none", "data bits \"9\""},
                      BadCase{"ParityWord", "115200,8,none,1,none", "parity \"none\""},
                      BadCase{"ParityX", "115200,8,X,1,none", "parity \"x\""},
                      BadCase{"ThreeStopBits", "115200,8,N,3,none", "stop bits \"3\""},
                      // Linux has one or two stop bits only.
                      BadCase{"OneAndHalfStopBits", "300,5,O,1.5,software", "1.5 stop bits are not supported"},
                      BadCase{"FlowUnknown", "115200,8,N,1,dtr", "flow control \"dtr\""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SerialConfig, PropertySettersValidate)
{
    TVRSComm32 comm;
    EXPECT_THROW(comm.SetBaudRate(0), std::invalid_argument);
    EXPECT_THROW(comm.SetDataBits(4), std::invalid_argument);
    EXPECT_THROW(comm.SetStopBits(TVRSComm32::TStopBits::OneAndHalf), std::invalid_argument);
    EXPECT_EQ(comm.GetConfigAsString(), "115200,8,N,1,none");
    comm.SetBaudRate(230400);
    comm.SetDataBits(7);
    comm.SetParity(TVRSComm32::TParity::Odd);
    comm.SetStopBits(TVRSComm32::TStopBits::Two);
    comm.SetFlowControl(TVRSComm32::TFlowControl::Software);
    EXPECT_EQ(comm.GetConfigAsString(), "230400,7,O,2,software");
}

TEST(SerialConfig, SimPortNameInAnyCase)
{
    for (const char *name : {"SIM", "sim", " Sim ", "SIM:EC25", "sim:rm500q,latency=5"})
        EXPECT_TRUE(TVRSComm32::IsSimulatedPort(name)) << name;
    for (const char *name : {"SIM1", "/dev/sim", "", "COM1", "SIMCOM"})
        EXPECT_FALSE(TVRSComm32::IsSimulatedPort(name)) << name;
}

TEST(SerialConfig, SimulatedPortNamesCarryTheModelAndSettings)
{
    const struct {
        const char *port;
        const char *settings;
    } cases[] = {
        {"SIM", ""},
        {"SIM,latency=5", "latency=5"},
        {"SIM:EC25", "model=EC25"},
        {"sim:ec25,latency=5,seed=2", "model=EC25,latency=5,seed=2"},
        {" SIM:RM500Q ", "model=RM500Q"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TVRSComm32::SimulatedPortSettings(c.port), c.settings) << c.port;
    EXPECT_THROW(TVRSComm32::SimulatedPortSettings("SIM:EC52"), std::invalid_argument);
    EXPECT_EQ(TVRSComm32::SimulatedPortName("BGS5"), "SIM");
    EXPECT_EQ(TVRSComm32::SimulatedPortName("EC25", "latency=5"), "SIM:EC25,latency=5");

    // Every listed simulated port opens as the model it names.
    for (const std::string &port : TVRSComm32::PortList("no such port")) {
        TVRSComm32 comm;
        comm.SetCommPort(port);
        ASSERT_TRUE(comm.StartComm()) << port;
        const std::size_t colon = port.find(':');
        EXPECT_EQ(comm.Simulator().Engine().Model(),
                  colon == std::string::npos ? TRynSimModemEngine::kDefaultModel : port.substr(colon + 1));
        comm.StopComm();
    }
}

} // namespace
