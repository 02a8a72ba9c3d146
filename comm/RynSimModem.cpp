#include "RynSimModem.h"

#include "RynSimText.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <stdexcept>

using rynsim::ParseNumber;
using rynsim::Trim;

// ---------------------------------------------------------------- channel

TRynSimModem::TRynSimModem(QObject *owner)
    : VRynPortComponent(owner)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &TRynSimModem::DeliverDue);
}

TRynSimModem::~TRynSimModem() = default;

std::string TRynSimModem::GetConfigAsString() const
{
    return "model=" + m_engine.Model() + ",latency=" + std::to_string(m_latency.count()) +
           ",seed=" + std::to_string(m_engine.Seed()) + ",call=" + std::to_string(m_engine.CallAfterPolls());
}

void TRynSimModem::SetConfigAsString(const std::string &config)
{
    std::string model = m_engine.Model();
    long latency = static_cast<long>(m_latency.count());
    std::uint32_t seed = m_engine.Seed();
    int callAfter = m_engine.CallAfterPolls();
    std::size_t start = 0;
    while (start <= config.size()) {
        std::size_t end = config.find(',', start);
        if (end == std::string::npos)
            end = config.size();
        const std::string item = Trim(config.substr(start, end - start));
        start = end + 1;
        if (item.empty())
            continue;
        const std::size_t eq = item.find('=');
        if (eq == std::string::npos)
            throw std::invalid_argument("simulated modem setting without '=': \"" + item + "\"");
        const std::string key = Trim(item.substr(0, eq));
        const std::string value = Trim(item.substr(eq + 1));
        int number = 0;
        if (key == "model" && !value.empty())
            model = value;
        else if (key == "latency" && ParseNumber(value, number))
            latency = number;
        else if (key == "seed" && ParseNumber(value, number))
            seed = static_cast<std::uint32_t>(number);
        else if (key == "call" && ParseNumber(value, number))
            callAfter = number;
        else
            throw std::invalid_argument("invalid simulated modem setting \"" + item +
                                        "\" (expected model=TEXT, latency=MS, seed=N, call=POLLS)");
    }
    m_engine.SetModel(model);
    m_latency = std::chrono::milliseconds(latency);
    if (seed != m_engine.Seed())
        m_engine.Reset(seed);
    m_engine.SetCallAfterPolls(callAfter);
}

bool TRynSimModem::StartComm()
{
    SetLastErrorCode(0);
    if (m_active)
        return true;
    m_active = true;
    ChangeState(TCommState::CommStateConnected);
    return true;
}

void TRynSimModem::StopComm()
{
    ++m_generation;
    m_pending.clear();
    m_timer->stop();
    if (!m_active)
        return;
    m_active = false;
    ChangeState(TCommState::CommStateDisconnected);
}

bool TRynSimModem::Send(const std::uint8_t *buffer, std::size_t length)
{
    if (!m_active)
        return false;
    std::string answer = m_engine.Feed(std::string(reinterpret_cast<const char *>(buffer), length));
    answer += m_engine.TakeUnsolicited();
    if (!answer.empty())
        Schedule(std::move(answer));
    return true;
}

void TRynSimModem::StartIncomingCall()
{
    m_engine.StartIncomingCall();
    if (std::string ring = m_engine.TakeUnsolicited(); !ring.empty() && m_active)
        Schedule(std::move(ring));
}

void TRynSimModem::Schedule(std::string bytes)
{
    m_pending.push_back({std::chrono::steady_clock::now() + m_latency, std::move(bytes)});
    if (!m_timer->isActive()) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(m_pending.front().due -
                                                                                std::chrono::steady_clock::now());
        m_timer->start(std::max(wait, std::chrono::milliseconds(0)));
    }
}

void TRynSimModem::DeliverDue()
{
    const std::uint64_t generation = m_generation;
    bool closedMeanwhile = false;
    Guarded("receive", [&] {
        while (!m_pending.empty() && m_pending.front().due <= std::chrono::steady_clock::now()) {
            const std::string bytes = std::move(m_pending.front().bytes);
            m_pending.pop_front();
            DeliverData(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
            // A handler that closed (or closed and reopened) the modem ends
            // this delivery: what was pending belonged to the old session.
            if (generation != m_generation) {
                closedMeanwhile = true;
                return;
            }
        }
    });
    if (closedMeanwhile)
        return;
    if (!m_pending.empty() && !m_timer->isActive()) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(m_pending.front().due -
                                                                                std::chrono::steady_clock::now());
        m_timer->start(std::max(wait, std::chrono::milliseconds(0)));
    }
}

void TRynSimModem::ChangeState(TCommState state)
{
    m_state = state;
    DeliverState(nullptr, state);
}

