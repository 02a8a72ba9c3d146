#include "RynSimModem.h"

#include "modems/common/RynSimText.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <optional>
#include <stdexcept>

using rynsim::ParseNumber;
using rynsim::Trim;

// ---------------------------------------------------------------- channel

TRynSimModem::TRynSimModem(QObject *owner)
    : VRynPortComponent(owner)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    // A coarse timer may come a little early, before the reply is due: one
    // wake-up for nothing and another for the reply.
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &TRynSimModem::DeliverDue);
    m_unsolicitedTimer = new QTimer(this);
    connect(m_unsolicitedTimer, &QTimer::timeout, this, &TRynSimModem::QueueUnsolicited);
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
    std::vector<std::pair<std::string, int>> delays;
    int urcSeconds = -1;
    int cregMode = -1;
    std::optional<TRynSimModemEngine::SimCard> sim;
    for (const std::string &item : rynsim::SettingItems(config)) {
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
        else if (const std::size_t colon = value.rfind(':');
                 key == "delay" && colon != std::string::npos && colon > 0 && ParseNumber(value.substr(colon + 1), number))
            delays.emplace_back(value.substr(0, colon), number);
        else if (key == "urc" && ParseNumber(value, number))
            urcSeconds = number;
        else if (key == "creg" && ParseNumber(value, number) && number <= 2)
            cregMode = number;
        else if (key == "sim" && TRynSimModemEngine::SimCardOf(value))
            sim = TRynSimModemEngine::SimCardOf(value);
        else
            throw std::invalid_argument("invalid simulated modem setting \"" + item +
                                        "\" (expected model=TEXT, latency=MS, seed=N, call=POLLS, delay=TEXT:MS, "
                                        "urc=SECONDS, creg=0..2, sim=ready|pin|absent)");
    }
    m_engine.SetModel(model);
    m_latency = std::chrono::milliseconds(latency);
    if (seed != m_engine.Seed())
        m_engine.Reset(seed);
    m_engine.SetCallAfterPolls(callAfter);
    for (const auto &[pattern, ms] : delays)
        m_engine.AddCommandDelay(pattern, std::chrono::milliseconds(ms));
    if (urcSeconds >= 0)
        SetUnsolicitedEvery(std::chrono::seconds(urcSeconds));
    if (cregMode >= 0)
        m_engine.SetCregStartMode(cregMode);
    if (sim)
        m_engine.SetSimCard(*sim);
}

void TRynSimModem::SetUnsolicitedEvery(std::chrono::milliseconds interval)
{
    m_unsolicitedTimer->stop();
    if (interval.count() > 0)
        m_unsolicitedTimer->start(interval);
}

void TRynSimModem::QueueUnsolicited()
{
    m_engine.QueueUnsolicited(m_unsolicitedInside ? TRynSimUrcPlacement::InsideNextAnswer
                                                  : TRynSimUrcPlacement::OnItsOwn);
    m_unsolicitedInside = !m_unsolicitedInside;
    if (std::string line = m_engine.TakeUnsolicited(); !line.empty() && m_active)
        Schedule(std::move(line));
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
    m_pacer.Reset();
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
    for (TRynSimReply &reply : m_engine.FeedReplies(std::string(reinterpret_cast<const char *>(buffer), length)))
        Schedule(std::move(reply.bytes), reply.delay);
    if (std::string unsolicited = m_engine.TakeUnsolicited(); !unsolicited.empty())
        Schedule(std::move(unsolicited));
    return true;
}

void TRynSimModem::StartIncomingCall()
{
    m_engine.StartIncomingCall();
    if (std::string ring = m_engine.TakeUnsolicited(); !ring.empty() && m_active)
        Schedule(std::move(ring));
}

void TRynSimModem::Schedule(std::string bytes, std::chrono::milliseconds delay)
{
    m_pending.push_back({m_pacer.Due(std::chrono::steady_clock::now(), m_latency, delay), std::move(bytes)});
    StartDeliveryTimer();
}

void TRynSimModem::StartDeliveryTimer()
{
    if (m_pending.empty() || m_timer->isActive())
        return;
    // Rounded up: a wait cut down to the millisecond would wake before the
    // reply is due, find nothing to deliver and start again, a busy loop of
    // up to a millisecond per reply.
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(m_pending.front().due - std::chrono::steady_clock::now());
    m_timer->start(std::max(wait, std::chrono::milliseconds(0)));
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
    if (!closedMeanwhile)
        StartDeliveryTimer();
}

void TRynSimModem::ChangeState(TCommState state)
{
    m_state = state;
    DeliverState(nullptr, state);
}

