#pragma once
// A scripted channel for the layers above the port: open results are
// scripted, writes are recorded, bytes and states are injected by the test.

#include "VRynCommunicationComponent.h"

#include <deque>
#include <string>
#include <vector>

class FakeChannel : public VRynPortComponent {
public:
    explicit FakeChannel(QObject *owner = nullptr) : VRynPortComponent(owner) {}

    // Results of the next StartComm calls; empty means success.
    std::deque<bool> openResults;
    bool ring = false;
    // False for a channel without a ring indicator line (a USB modem).
    bool ringLine = true;
    int startCount = 0;
    int stopCount = 0;
    std::vector<std::string> openedPorts;

    std::string GetConfigAsString() const override { return m_config; }
    void SetConfigAsString(const std::string &config) override { m_config = config; }

    bool StartComm() override
    {
        ++startCount;
        openedPorts.push_back(m_port);
        bool ok = true;
        if (!openResults.empty()) {
            ok = openResults.front();
            openResults.pop_front();
        }
        m_active = ok;
        m_state = ok ? TCommState::CommStateConnected : TCommState::CommStateFailed;
        DeliverState(nullptr, m_state);
        return ok;
    }
    void StopComm() override
    {
        ++stopCount;
        if (!m_active)
            return;
        m_active = false;
        m_state = TCommState::CommStateDisconnected;
        DeliverState(nullptr, m_state);
    }
    bool Send(const std::uint8_t *buffer, std::size_t length) override
    {
        m_written.append(reinterpret_cast<const char *>(buffer), length);
        m_writes.emplace_back(reinterpret_cast<const char *>(buffer), length);
        return true;
    }
    using VRynCommunicationComponent::Send;
    bool Active() const override { return m_active; }
    TCommState GetState() const override { return m_state; }

    std::string CommPort() const override { return m_port; }
    void SetCommPort(const std::string &port) override { m_port = port; }
    bool RingIndicator() override { return ring; }
    bool ReportsRingIndicator() const override { return ringLine; }
    std::string LastErrorText() const override { return m_active ? "" : "fake: not open"; }

    void Inject(const std::string &bytes)
    {
        DeliverData(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    }
    void InjectState(TCommState state)
    {
        m_state = state;
        if (state != TCommState::CommStateConnected)
            m_active = false;
        DeliverState(nullptr, state);
    }
    // The channel is lost the way a pulled cable loses it.
    void Lose(TCommState how = TCommState::CommStateFailed) { InjectState(how); }

    const std::string &Written() const { return m_written; }
    const std::vector<std::string> &Writes() const { return m_writes; }
    void ClearWrites()
    {
        m_written.clear();
        m_writes.clear();
    }

private:
    std::string m_port = "COM1";
    std::string m_config;
    bool m_active = false;
    TCommState m_state = TCommState::CommStateDisconnected;
    std::string m_written;
    std::vector<std::string> m_writes;
};
