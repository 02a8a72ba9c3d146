#pragma once
// A simulated modem as a channel component: the engine of
// RynSimModemEngine.h played back with a configurable latency.

#include "RynSimModemEngine.h"
#include "VRynCommunicationComponent.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

class QTimer;

// A channel component that answers with the engine. Answers are delivered
// after the latency from a timer, never from inside Send, even at latency 0.
class TRynSimModem : public VRynPortComponent {
    Q_OBJECT
public:
    explicit TRynSimModem(QObject *owner = nullptr);
    ~TRynSimModem() override;

    TRynSimModemEngine &Engine() { return m_engine; }
    const TRynSimModemEngine &Engine() const { return m_engine; }

    void SetLatency(std::chrono::milliseconds latency) { m_latency = latency; }
    std::chrono::milliseconds Latency() const { return m_latency; }
    void StartIncomingCall();
    // An unsolicited line every interval, by turns inside the next answer
    // and on its own; zero: none.
    void SetUnsolicitedEvery(std::chrono::milliseconds interval);

    std::string GetConfigAsString() const override;
    // "model=BGS5,latency=20,seed=7,call=0" in any order and subset (model:
    // one of TRynSimModemEngine::Models(), "EC25" for an LTE module; call:
    // ring after that many polls, 0 never), and further "delay=TEXT:MS"
    // (commands containing TEXT take MS longer), "urc=SECONDS", "creg=N"
    // (the AT+CREG mode at power-on) and "sim=ready|pin|absent" (the SIM
    // card). Throws std::invalid_argument.
    void SetConfigAsString(const std::string &config) override;
    bool StartComm() override;
    void StopComm() override;
    using VRynCommunicationComponent::Send;
    bool Send(const std::uint8_t *buffer, std::size_t length) override;
    bool Active() const override { return m_active; }
    TCommState GetState() const override { return m_state; }

    std::string CommPort() const override { return "SIM"; }
    void SetCommPort(const std::string &) override {}
    bool RingIndicator() override { return m_active && m_engine.RingIndicator(); }
    std::string LastErrorText() const override { return {}; }

private:
    struct Pending {
        std::chrono::steady_clock::time_point due;
        std::string bytes;
    };
    void Schedule(std::string bytes, std::chrono::milliseconds delay = {});
    void StartDeliveryTimer();
    void QueueUnsolicited();
    void DeliverDue();
    void ChangeState(TCommState state);

    TRynSimModemEngine m_engine;
    std::chrono::milliseconds m_latency{20};
    bool m_active = false;
    TCommState m_state = TCommState::CommStateDisconnected;
    std::deque<Pending> m_pending;
    QTimer *m_timer = nullptr;
    QTimer *m_unsolicitedTimer = nullptr;
    bool m_unsolicitedInside = true;
    TRynSimPacer m_pacer;
    std::uint64_t m_generation = 0; // bumped on close, drops stale answers
};
