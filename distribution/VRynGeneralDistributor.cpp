#include "VRynGeneralDistributor.h"

#include "RynUtils.h"
#include "VRynDistributor.h"
#include "VRynDistributorInvoke.h"
#include "VRynTopDistributor.h"

#include <QtGlobal>

#include <algorithm>

namespace {

constexpr std::uint32_t kHalfRange = 0x80000000u;
const char *const kIndexRefused = "Tohle musis opravit";
const char *const kNegativeLength = "ses peknej jeliman";

std::vector<QPointer<VRynDistributor>> Snapshot(const std::vector<VRynDistributor *> &children)
{
    return {children.begin(), children.end()};
}

bool ValidDirection(int direction)
{
    if (direction == kDirectionReceive || direction == kDirectionSend)
        return true;
    RynDebugCheck(kIndexRefused);
    return false;
}

} // namespace

VRynGeneralDistributor::VRynGeneralDistributor(QObject *owner)
    : QObject(owner)
{
}

VRynGeneralDistributor::~VRynGeneralDistributor()
{
    BeforeDestruction();
    const std::string name = objectName().toStdString();
    for (int direction : {kDirectionSend, kDirectionReceive}) {
        const VRynDistributor_DataRecord &record = m_data[direction];
        if (record.Channels.size() > 1)
            ReportDestructionWarning("VRynGeneralDistributor[=" + name +
                                     "].Destroy: Please call DeleteChannel after communication termination");
        // A destructor cannot raise, so this one is always reported as a log
        // message; the chain locks distributors in their callbacks, so only
        // a plain delete from inside one gets here.
        if (record.Polling)
            qCritical("%s", "Deleting VRynGeneralDistributor while it is polling");
    }
}

bool VRynGeneralDistributor::Elapsed(std::uint32_t start, std::uint32_t interval, std::uint32_t now)
{
    if (now >= start)
        return now - start > interval;
    if (now >= kHalfRange || start < kHalfRange)
        return true; // now lies before start without a wrap between them
    // The counter wrapped: start in the upper half, now in the lower one.
    return (now + kHalfRange) - (start - kHalfRange) > interval;
}

bool VRynGeneralDistributor::ArmedAfter(std::uint32_t start, std::uint32_t now)
{
    return start != now && std::uint32_t(start - now) < kHalfRange;
}

void VRynGeneralDistributor::BeforeDestruction()
{
    m_onTimerPoll = nullptr;
    m_onTimeout = nullptr;
    m_timers.clear();
    ++m_timerListVersion;
    while (!m_children.empty())
        m_children.back()->SetDistributor(nullptr);
}

void VRynGeneralDistributor::ReportDestructionWarning(const std::string &message)
{
    // The debug check raises; a destructor must not, so its text goes to
    // the log instead.
    try {
        RynDebugCheck(message);
    } catch (const std::exception &e) {
        qCritical("%s", e.what());
    }
}

VRynTopDistributor *VRynGeneralDistributor::RequireTop(const char *operation)
{
    VRynTopDistributor *top = TopDistributor();
    if (top == nullptr)
        throw RynException(std::string(operation) + ": VRynDistributor chain does not begin with VRynTopDistributor");
    return top;
}

std::uint32_t VRynGeneralDistributor::FreshTickCount()
{
    VRynTopDistributor *top = TopDistributor();
    return top ? top->TickCount() : VRynTopDistributor::MonotonicTickCount();
}

VRynDistributor_ChannelRecord *VRynGeneralDistributor::Record(int index)
{
    if (index >= 0) {
        auto &channels = m_data[index & 1].Channels;
        const auto number = std::size_t(index >> 1);
        if (number < channels.size())
            return &channels[number];
    }
    RynDebugCheck(kIndexRefused);
    return nullptr;
}

std::string_view VRynGeneralDistributor::GetComBuffer(int index)
{
    return RequireTop("GetComBuffer")->TopBuffer(index);
}

int VRynGeneralDistributor::GetDecodedLength(int index)
{
    const VRynDistributor_ChannelRecord *record = Record(index);
    return record ? record->DecodedLength : 0;
}

void VRynGeneralDistributor::SetDecodedLength(int index, int count)
{
    if (count < 0) {
        RynDebugCheck(kNegativeLength);
        return;
    }
    if (VRynDistributor_ChannelRecord *record = Record(index))
        record->DecodedLength = count;
}

bool VRynGeneralDistributor::GetDecodePending(int index)
{
    const VRynDistributor_ChannelRecord *record = Record(index);
    return record ? record->DecodePending : false;
}

void VRynGeneralDistributor::SetDecodePending(int index, bool value)
{
    if (VRynDistributor_ChannelRecord *record = Record(index))
        record->DecodePending = value;
}

std::string_view VRynGeneralDistributor::GetComBuffer(QObject *Channel, int direction)
{
    if (!ValidDirection(direction))
        return {};
    return GetComBuffer(RequireTop("GetComBuffer")->AddChannel(Channel) * 2 + direction);
}

int VRynGeneralDistributor::GetDecodedLength(QObject *Channel, int direction)
{
    if (!ValidDirection(direction))
        return 0;
    return GetDecodedLength(RequireTop("GetDecodedLength")->AddChannel(Channel) * 2 + direction);
}

void VRynGeneralDistributor::SetDecodedLength(QObject *Channel, int direction, int count)
{
    if (count < 0) {
        RynDebugCheck(kNegativeLength);
        return;
    }
    if (!ValidDirection(direction))
        return;
    SetDecodedLength(RequireTop("SetDecodedLength")->AddChannel(Channel) * 2 + direction, count);
}

bool VRynGeneralDistributor::GetDecodePending(QObject *Channel, int direction)
{
    if (!ValidDirection(direction))
        return false;
    return GetDecodePending(RequireTop("GetDecodePending")->AddChannel(Channel) * 2 + direction);
}

void VRynGeneralDistributor::SetDecodePending(QObject *Channel, int direction, bool value)
{
    if (!ValidDirection(direction))
        return;
    SetDecodePending(RequireTop("SetDecodePending")->AddChannel(Channel) * 2 + direction, value);
}

TColor VRynGeneralDistributor::GetFilterColor(int direction, QObject *Channel)
{
    if (!ValidDirection(direction))
        return kDistributorNoColor;
    int number = 0;
    if (Channel != nullptr) {
        VRynTopDistributor *top = TopDistributor();
        number = top ? top->FindChannel(Channel) : -1;
        if (number < 0)
            return kDistributorNoColor;
    }
    VRynDistributor_ChannelRecord *record = Record(number * 2 + direction);
    if (record == nullptr || record->FilterColor == record->ReportedFilterColor ||
        record->FilterColor == kDistributorNoColor)
        return kDistributorNoColor;
    record->ReportedFilterColor = record->FilterColor;
    return record->FilterColor;
}

void VRynGeneralDistributor::SendComData(const std::string &Data)
{
    SendComData(m_currentTime, Data);
}

void VRynGeneralDistributor::SendComData(std::uint32_t &TheTime, const std::string &Data)
{
    RequireTop("SendComData")->SendComData(TheTime, Data);
}

void VRynGeneralDistributor::SendComData(QObject *Channel, std::uint32_t &TheTime, const std::string &Data)
{
    RequireTop("SendComData")->SendComData(Channel, TheTime, Data);
}

void VRynGeneralDistributor::Lock()
{
    ++m_lockCount;
}

void VRynGeneralDistributor::Unlock()
{
    if (m_lockCount > 0)
        --m_lockCount;
    if (m_lockCount == 0 && m_freePending)
        delete this;
}

void VRynGeneralDistributor::Release()
{
    if (m_lockCount == 0)
        delete this;
    else
        m_freePending = true;
}

void VRynGeneralDistributor::SetTimeout(std::uint32_t intervalMs)
{
    // A fresh time: the current time of a distributor is that of the last
    // walk over it, up to a tick old.
    m_timeoutStart = FreshTickCount();
    m_timeoutInterval = intervalMs;
    m_timeoutArmed = intervalMs < kTimeoutDisarm;
    if (m_timeoutArmed)
        NotifyTickNeed();
}

void VRynGeneralDistributor::NotifyTickNeed()
{
    if (VRynTopDistributor *top = TopDistributor())
        top->TickNeedChanged();
}

void VRynGeneralDistributor::SetOnTimerPoll(TDistributorPollProc f)
{
    m_onTimerPoll = std::move(f);
    if (m_onTimerPoll)
        NotifyTickNeed();
}

void VRynGeneralDistributor::RegisterTimer(const void *key, TDistributorTimerProc callback, std::uint32_t intervalMs,
                                           bool repeat)
{
    auto it = std::find_if(m_timers.begin(), m_timers.end(), [key](const TimerEntry &e) { return e.key == key; });
    if (it == m_timers.end())
        it = m_timers.insert(m_timers.end(), TimerEntry{});
    it->key = key;
    it->callback = std::move(callback);
    it->start = FreshTickCount();
    it->interval = intervalMs;
    it->repeat = repeat;
    ++m_timerListVersion;
    NotifyTickNeed();
}

void VRynGeneralDistributor::UnregisterTimer(const void *key)
{
    auto it = std::find_if(m_timers.begin(), m_timers.end(), [key](const TimerEntry &e) { return e.key == key; });
    if (it == m_timers.end())
        return;
    m_timers.erase(it);
    ++m_timerListVersion;
}

VRynDistributor_DataRecord &VRynGeneralDistributor::DataRecord(int direction)
{
    ValidDirection(direction);
    return m_data[direction & 1];
}

bool VRynGeneralDistributor::IsDirectionEnabled(int direction) const
{
    return m_data[direction & 1].Enabled;
}

void VRynGeneralDistributor::SetDirectionEnabled(int direction, bool on)
{
    DataRecord(direction).Enabled = on;
}

void VRynGeneralDistributor::ClearCachedTopInSubChain()
{
    m_cachedTop = nullptr;
    for (VRynDistributor *child : m_children)
        child->ClearCachedTopInSubChain();
}

void VRynGeneralDistributor::ResizeChannelRecordsInSubChain(std::size_t count)
{
    for (VRynDistributor_DataRecord &record : m_data)
        record.Channels.assign(count, VRynDistributor_ChannelRecord{});
    for (VRynDistributor *child : m_children)
        child->ResizeChannelRecordsInSubChain(count);
}

bool VRynGeneralDistributor::PollConfigLine(int code, const std::string &key, const std::string &value)
{
    bool processed = false;
    std::vector<QPointer<VRynGeneralDistributor>> order;
    std::vector<VRynGeneralDistributor *> stack{this};
    while (!stack.empty()) {
        VRynGeneralDistributor *d = stack.back();
        stack.pop_back();
        order.emplace_back(d);
        for (auto it = d->m_children.rbegin(); it != d->m_children.rend(); ++it)
            stack.push_back(*it);
    }
    for (const auto &p : order) {
        VRynGeneralDistributor *d = p.data();
        if (d == nullptr || !d->m_onConfigLinePoll)
            continue;
        auto f = d->m_onConfigLinePoll;
        Invoke(d, dcbConfigLine, -1, nullptr, [&] { f(d, code, key, value, processed); });
    }
    return processed;
}

void VRynGeneralDistributor::TimerPollWalk(std::uint32_t &TheTime)
{
    if (!m_globalEnabled)
        return;
    if (m_polling) {
        m_reentry = true;
        return;
    }
    QPointer<VRynGeneralDistributor> self(this);
    m_currentTime = TheTime;
    for (const auto &child : Snapshot(m_children)) {
        if (child)
            child->TimerPollWalk(TheTime);
        if (!self)
            return;
    }
    if (auto f = m_onTimerPoll)
        Invoke(this, dcbTimerPoll, -1, &TheTime, [&] { f(this, TheTime); });
}

void VRynGeneralDistributor::TimeoutWalk(std::uint32_t &TheTime)
{
    if (!m_globalEnabled)
        return;
    QPointer<VRynGeneralDistributor> self(this);
    m_currentTime = TheTime;
    for (const auto &child : Snapshot(m_children)) {
        if (child)
            child->TimeoutWalk(TheTime);
        if (!self)
            return;
    }
    if (!m_timeoutArmed || ArmedAfter(m_timeoutStart, m_currentTime) ||
        !Elapsed(m_timeoutStart, m_timeoutInterval, m_currentTime))
        return;
    if (m_polling) {
        // Stays armed: it fires on the first tick that finds us idle.
        m_reentry = true;
        return;
    }
    m_timeoutArmed = false;
    if (auto f = m_onTimeout)
        Invoke(this, dcbTimeout, -1, &TheTime, [&] { f(this, TheTime); });
}

void VRynGeneralDistributor::RegisteredTimersWalk(std::uint32_t &TheTime)
{
    QPointer<VRynGeneralDistributor> self(this);
    m_currentTime = TheTime;
    for (const auto &child : Snapshot(m_children)) {
        if (child)
            child->RegisteredTimersWalk(TheTime);
        if (!self)
            return;
    }
    if (m_polling) {
        m_reentry = true;
        return;
    }
    std::size_t i = 0;
    while (i < m_timers.size()) {
        TimerEntry &entry = m_timers[i];
        if (ArmedAfter(entry.start, m_currentTime) || !Elapsed(entry.start, entry.interval, m_currentTime)) {
            ++i;
            continue;
        }
        TDistributorTimerProc callback = entry.callback;
        std::size_t next = i + 1;
        if (entry.repeat) {
            entry.start = TheTime;
        } else {
            m_timers.erase(m_timers.begin() + std::ptrdiff_t(i));
            ++m_timerListVersion;
            next = i;
        }
        const std::uint64_t version = m_timerListVersion;
        if (callback && !Invoke(this, dcbRegisteredTimer, -1, &TheTime, [&] { callback(this); }))
            return;
        // A callback that changed the list ends the pass: positions moved.
        if (m_timerListVersion != version)
            return;
        i = next;
    }
}
