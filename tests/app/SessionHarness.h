#pragma once
// A modem session on a scripted channel and a real top distributor, with
// the clock and the ticks in the test's hands.

#include "FakeChannel.h"
#include "MeasurementDisplay.h"
#include "ModemSession.h"
#include "VRynTerminalLineType.h"
#include "VRynTopDistributor.h"

#include <functional>
#include <string>
#include <vector>

class RecordingView : public ModemSessionView {
public:
    std::string port = "/dev/ttyUSB0";
    std::string panel0 = "COM?";
    std::string panel1 = "Device: ?";
    bool operatorsEnabled = false;
    std::vector<int> graphValues;
    int refreshes = 0;
    std::vector<std::string> refusals; // reasons of refused operator switches
    std::vector<std::string> callers;  // numbers of IncomingCall
    int cycles = 0;
    int commandTimeouts = 0;
    int portOpens = 0;
    int scansStarted = 0;
    std::vector<OperatorScanResult> scans; // every ScanFinished
    std::vector<std::string> lines;      // every terminal line, as written
    std::vector<std::string> outLines;   // lines of the sent-data type
    std::vector<std::uint32_t> portColors;
    // Called for each terminal line; a test may throw from it.
    std::function<void(const std::string &)> onLine;
    // Called when panel 1 is written; a test may throw from it.
    std::function<void()> onDevicePanel;
    // Called after each completed cycle.
    std::function<void()> onCycle;

    std::string PortText() const override { return port; }
    // The window's reading of the events, in the window's own texts.
    void PortOpening(const std::string &p) override { panel0 = p; }
    void ModemIdentified(const std::string &manufacturer, const std::string &model) override
    {
        panel1 = DevicePanelText(manufacturer, model);
        if (onDevicePanel)
            onDevicePanel();
    }
    void CycleStarted() override { operatorsEnabled = true; }
    void OperatorSwitchDone() override
    {
        operatorsEnabled = true;
        ++refreshes;
    }
    void OperatorRequestRefused(const std::string &reason) override
    {
        operatorsEnabled = true;
        refusals.push_back(reason);
    }
    void IncomingCall(const std::string &number) override { callers.push_back(number); }
    void MainAnswerTimedOut() override { graphValues.push_back(kGraphValueUnknown); }
    void TerminalLine(const std::string &line, int lineType) override
    {
        lines.push_back(line);
        if (lineType == VRynTerminal_ltOutText)
            outLines.push_back(line);
        if (onLine)
            onLine(line);
    }
    void ChannelStateChanged(TCommState state) override
    {
        if (const auto color = PortColorOf(state))
            portColors.push_back(*color);
    }
    void CycleCompleted(const CompletedCycle &) override
    {
        ++cycles;
        if (onCycle)
            onCycle();
    }
    void CommandTimedOut() override { ++commandTimeouts; }
    void PortOpened(const std::string &) override { ++portOpens; }
    void ScanStarted(std::chrono::milliseconds) override { ++scansStarted; }
    void ScanFinished(const OperatorScanResult &result) override { scans.push_back(result); }

    bool HasLine(const std::string &text) const
    {
        for (const auto &l : lines)
            if (l == text)
                return true;
        return false;
    }
};

struct SessionHarness {
    std::uint32_t now = 1000;
    FakeChannel channel;
    VRynTopDistributor top;
    RecordingView view;
    ModemSession session{top, channel, view};

    SessionHarness()
    {
        top.SetTickCountSource([this] { return now; });
        top.TimerTick();
    }

    // Lets ms pass in 50 ms ticks, as the window's timer would.
    void Advance(std::uint32_t ms)
    {
        while (ms > 0) {
            const std::uint32_t step = ms < 50 ? ms : 50;
            now += step;
            ms -= step;
            top.TimerTick();
        }
    }

    void Reply(const std::string &text) { channel.Inject(text); }
    void ReplyLines(const std::vector<std::string> &lines)
    {
        for (const auto &l : lines)
            channel.Inject(l + "\r\n");
    }

    // The commands written since the last call.
    std::vector<std::string> TakeWrites()
    {
        auto w = channel.Writes();
        channel.ClearWrites();
        return w;
    }

    void Start() { session.SetState(ModemSession::State::Init); }

    // Answers PREPARE for the given model; the session is then in POLL step 1.
    void Identify(const std::string &model)
    {
        Reply("OK\r\n");
        ReplyLines({"Palvex Simulated", "OK"});
        ReplyLines({model, "OK"});
        AnswerIdentity();
    }

    // Answers the identity commands after AT+CGMM, one ERROR each (a modem
    // that says nothing of itself); the session is then in POLL step 1.
    void AnswerIdentity()
    {
        for (int i = 0; i < 5; ++i)
            Reply("ERROR\r\n");
    }

    void AnswerMainPoll()
    {
        ReplyLines({"+CSQ: 17,0", "+COPS: 0,0,\"T-Mobile CZ\"", "+COPS: 0,2,\"23001\"", "+CREG: 0,1", "+CPAS: 0",
                    "OK"});
    }
    void AnswerMoni()
    {
        ReplyLines({"chann rs  dBm   MCC  MNC  LAC  cell NCC BCC PWR RXLev C1",
                    "  62  40  -73  230  01  0E3C  1A2B   3   4  33   40  25", "OK"});
    }
    void AnswerMonp()
    {
        ReplyLines({"chann rs  dBm MCC MNC BCC C1 C2", "  70  30  -83 230  01   5 15 15",
                    " 105  20  -93 230  01   2  5  5", "OK"});
    }
    void AnswerSmonp()
    {
        ReplyLines({"2G:", "62,40,-73,230,01,3,4,25,25,0E3C", "70,30,-83,230,01,3,5,15,15,0E3C", "OK"});
    }
};
