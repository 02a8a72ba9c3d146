#include "VRynTopDistributor.h"

#include "VRSComm32.h"

#include "RynUtils.h"
#include "VRynCommunicationComponent.h"
#include "VRynDistributor.h"
#include "VRynDistributorInvoke.h"

#include <QTimer>
#include <QtGlobal>

#include <algorithm>
#include <chrono>

namespace {

const char *const kIndexRefused = "Tohle musis opravit";
// The consumed head of a buffer is dropped once it reaches this size and
// outweighs the live bytes; both together keep cutting O(message) amortised.
constexpr std::size_t kCompactThreshold = 4096;

// Parent before children; a disabled data record hides its sub-chain.
void CollectChain(VRynGeneralDistributor *d, int direction, std::vector<QPointer<VRynGeneralDistributor>> &out)
{
    if (!d->DataRecord(direction).Enabled)
        return;
    out.emplace_back(d);
    for (VRynDistributor *child : d->Children())
        CollectChain(child, direction, out);
}

void CollectAll(VRynGeneralDistributor *d, std::vector<VRynGeneralDistributor *> &out)
{
    out.push_back(d);
    for (VRynDistributor *child : d->Children())
        CollectAll(child, out);
}

} // namespace

struct VRynTopDistributor::ReceiveHookFn {
    VRynTopDistributor *top;
    void operator()(VRynCommunicationComponent *sender, QObject *channel, const std::uint8_t *buffer,
                    std::uint16_t length) const
    {
        top->ReceiveHook(sender, channel, buffer, length);
    }
};

VRynTopDistributor::VRynTopDistributor(QObject *owner)
    : VRynGeneralDistributor(owner)
    , m_records(2)
{
    m_records[0].Freed = true;
    m_records[1].Freed = true;
}

VRynTopDistributor::~VRynTopDistributor()
{
    m_destroying = true;
    BeforeDestruction();
    SetComHandler(nullptr);
    SetTimer(nullptr);
    const std::string name = objectName().toStdString();
    if (ChannelCount() > 1)
        ReportDestructionWarning("VRynTopDistributor(" + name +
                                 ").Destroy: Please call DeleteChannel after communication termination");
    if (m_records[0].Freed != m_records[1].Freed)
        ReportDestructionWarning("VRynTopDistributor(" + name + ").Destroy: zmatky s freed");
    else if (!m_records[0].Freed)
        ReportDestructionWarning("VRynTopDistributor(" + name +
                                 ").Destroy: Please call DeleteChannel(nil) after communication termination "
                                 "(e.g. in TVRSComm32.OnStateChange)");
    m_records.clear();
}

std::uint32_t VRynTopDistributor::MonotonicTickCount()
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

void VRynTopDistributor::Loaded()
{
    if (!m_automaticCreate)
        return;
    if (m_timer == nullptr) {
        auto *timer = new QTimer(this);
        timer->setObjectName(QStringLiteral("VRynDistributionTimer"));
        timer->setInterval(kDistributionTimerInterval);
        SetTimer(timer);
        m_timerOwned = true;
        timer->start();
    }
    if (m_comHandler == nullptr) {
        auto *handler = new TVRSComm32(this);
        handler->setObjectName(QStringLiteral("VRynCOMHandler"));
        SetComHandler(handler);
        m_comHandlerOwned = true;
    }
}

void VRynTopDistributor::SetTimer(QTimer *timer)
{
    if (timer == m_timer)
        return;
    if (m_timer != nullptr) {
        disconnect(m_timer, nullptr, this, nullptr);
        if (m_timerOwned)
            delete m_timer;
        else
            RestoreTimer();
    }
    m_planned = false;
    m_timer = timer;
    m_timerOwned = false;
    if (timer != nullptr) {
        connect(timer, &QObject::destroyed, this, &VRynTopDistributor::OnTimerDestroyed);
        connect(timer, &QTimer::timeout, this, &VRynTopDistributor::OnTimerTimeout);
    }
}

void VRynTopDistributor::OnTimerTimeout()
{
    // The event loop's boundary: nothing may escape into Qt.
    try {
        TimerTimeout();
    } catch (const std::exception &e) {
        qCritical("VRynTopDistributor(%s): timer tick failed: %s", qPrintable(objectName()), e.what());
    } catch (...) {
        qCritical("VRynTopDistributor(%s): timer tick failed", qPrintable(objectName()));
    }
}

void VRynTopDistributor::OnTimerDestroyed(QObject *timer)
{
    if (timer == m_timer) {
        m_timer = nullptr;
        m_timerOwned = false;
        m_planned = false;
    }
}

void VRynTopDistributor::TimerTimeout()
{
    if (m_timer != nullptr) {
        // The tick's place on the timer's period: the planned one when the
        // timer ran the top's interval and came on time, else now (the
        // owner's own period, or the owner restarted or re-timed it).
        const std::uint32_t now = TickCount();
        const int base = m_planned ? m_baseInterval : m_timer->interval();
        const bool onPlan = m_planned && m_timer->interval() == m_plannedInterval &&
                            std::int32_t(now - m_plannedWake) <= base;
        if (m_planned && m_timer->interval() != m_plannedInterval) {
            // The owner set an interval of its own: its period from now on.
            m_planned = false;
            m_timer->setTimerType(m_baseType);
        }
        m_gridTick = onPlan ? m_plannedWake : now;
    }
    QPointer<VRynTopDistributor> self(this);
    struct PlanAtEnd {
        QPointer<VRynTopDistributor> &self;
        ~PlanAtEnd()
        {
            if (self)
                self->PlanTicks(self->TickCount(), true);
        }
    } planAtEnd{self};
    TimerTick();
}

void VRynTopDistributor::TickNeedChanged()
{
    if (m_planned && !m_destroying)
        PlanTicks(TickCount(), false);
}

std::optional<std::uint64_t> VRynTopDistributor::NextDueIn(std::uint32_t now) const
{
    if (m_busy)
        return 0;
    for (const VRynDistributor_TopDataRecord &record : m_records)
        if (record.Head < record.Buffer.size())
            return 0;
    // The enabled flags are not looked at: a tick too many costs a wake-up,
    // a tick too few a late time-out.
    std::optional<std::uint64_t> due;
    const auto consider = [&](std::uint32_t start, std::uint32_t interval) {
        std::uint64_t in = 0;
        if (ArmedAfter(start, now))
            in = std::uint64_t(start - now) + interval + 1;
        else if (!Elapsed(start, interval, now))
            in = std::uint64_t(interval) + 1 - std::uint32_t(now - start);
        if (!due || in < *due)
            due = in;
    };
    // False when a tick is wanted at once.
    const auto walk = [&](const VRynGeneralDistributor *d, const auto &self) -> bool {
        if (d->m_onTimerPoll || d->m_polling || d->m_reentry)
            return false;
        if (d->m_timeoutArmed)
            consider(d->m_timeoutStart, d->m_timeoutInterval);
        for (const auto &entry : d->m_timers)
            consider(entry.start, entry.interval);
        return std::all_of(d->m_children.begin(), d->m_children.end(),
                           [&](const VRynDistributor *child) { return self(child, self); });
    };
    if (!walk(this, walk))
        return 0;
    return due;
}

void VRynTopDistributor::PlanTicks(std::uint32_t now, bool atTick)
{
    if (m_timer == nullptr || !m_timer->isActive() || m_destroying)
        return; // the owner's stop stands
    const int base = m_planned ? m_baseInterval : m_timer->interval();
    if (base <= 0)
        return;
    const std::optional<std::uint64_t> due = NextDueIn(now);
    // Whole periods from the last tick to the first one at or after the due time.
    const std::int64_t sinceTick = std::int32_t(now - m_gridTick);
    std::uint64_t periods = kMaxSleepTicks;
    if (due) {
        const std::int64_t dueAfterTick = std::max<std::int64_t>(sinceTick + std::int64_t(*due), 1);
        periods = std::min<std::uint64_t>(std::uint64_t((dueAfterTick + base - 1) / base), kMaxSleepTicks);
    }
    periods = std::max<std::uint64_t>(periods, std::uint64_t(std::max<std::int64_t>((sinceTick + base) / base, 1)));
    const std::uint32_t wake = m_gridTick + std::uint32_t(periods * std::uint64_t(base));
    if (!m_planned && periods == 1)
        return; // the owner's period brings it
    if (!atTick && std::int32_t(wake - m_plannedWake) >= 0)
        return; // planned no later already
    if (!m_planned) {
        m_baseInterval = base;
        m_baseType = m_timer->timerType();
        m_planned = true;
        m_timer->setTimerType(Qt::PreciseTimer);
    }
    m_plannedWake = wake;
    m_plannedInterval = int(std::max<std::int32_t>(std::int32_t(wake - now), 0));
    m_timer->start(m_plannedInterval);
}

void VRynTopDistributor::RestoreTimer()
{
    if (!m_planned || m_timer == nullptr)
        return;
    m_planned = false;
    m_timer->setTimerType(m_baseType);
    if (m_timer->isActive())
        m_timer->start(m_baseInterval);
    else
        m_timer->setInterval(m_baseInterval);
}

bool VRynTopDistributor::IsHookInstalled() const
{
    if (m_comHandler == nullptr)
        return false;
    const TAdvancedEventReceiveData hook = m_comHandler->OnAdvancedReceiveData();
    const ReceiveHookFn *fn = hook.target<ReceiveHookFn>();
    return fn != nullptr && fn->top == this;
}

void VRynTopDistributor::SetComHandler(VRynCommunicationComponent *handler)
{
    if (handler == m_comHandler)
        return;
    if (m_comHandler != nullptr) {
        if (IsHookInstalled())
            m_comHandler->SetOnAdvancedReceiveData(nullptr);
        disconnect(m_comHandler, nullptr, this, nullptr);
    }
    DeleteChannel(nullptr);
    if (m_comHandler != nullptr && m_comHandlerOwned)
        delete m_comHandler;
    m_comHandler = handler;
    m_comHandlerOwned = false;
    if (handler != nullptr) {
        connect(handler, &QObject::destroyed, this, &VRynTopDistributor::OnComHandlerDestroyed);
        handler->SetOnAdvancedReceiveData(ReceiveHookFn{this});
        DeleteChannel(nullptr);
    }
}

void VRynTopDistributor::OnComHandlerDestroyed(QObject *handler)
{
    if (handler != m_comHandler)
        return;
    // Only the QObject part is left here, so its connected state cannot be
    // asked; a destroyed handler delivers nothing more either way.
    DeleteChannel(nullptr);
    m_comHandler = nullptr;
    m_comHandlerOwned = false;
}

bool VRynTopDistributor::CheckIndex(int index) const
{
    if (index >= 0 && std::size_t(index) < m_records.size())
        return true;
    RynDebugCheck(kIndexRefused);
    return false;
}

std::string_view VRynTopDistributor::TopBuffer(int index)
{
    if (!CheckIndex(index))
        return {};
    const VRynDistributor_TopDataRecord &record = m_records[std::size_t(index)];
    return std::string_view(record.Buffer).substr(record.Head);
}

void VRynTopDistributor::Append(int index, const char *bytes, std::size_t count)
{
    m_records[std::size_t(index)].Buffer.append(bytes, count);
}

void VRynTopDistributor::CutHead(VRynDistributor_TopDataRecord &record, std::size_t count)
{
    record.Head += std::min(count, record.Buffer.size() - record.Head);
    if (record.Head == record.Buffer.size()) {
        record.Buffer.clear();
        record.Head = 0;
    } else if (record.Head >= kCompactThreshold && record.Head * 2 >= record.Buffer.size()) {
        record.Buffer.erase(0, record.Head);
        record.Head = 0;
    }
}

void VRynTopDistributor::CutComBuffer(int index, int count)
{
    if (count < -1)
        throw RynException("CutComBuffer: count " + std::to_string(count) + " is below -1");
    if (!CheckIndex(index))
        return;
    VRynDistributor_TopDataRecord &record = m_records[std::size_t(index)];
    const std::size_t live = record.Buffer.size() - record.Head;
    const std::size_t n = count == -1 ? live : std::min(live, std::size_t(count));
    record.ExternallyCut += n;
    CutHead(record, n);
}

int VRynTopDistributor::FindChannel(QObject *Channel) const
{
    for (int number = ChannelCount() - 1; number >= 0; --number) {
        if (m_records[std::size_t(number) * 2].Channel == Channel)
            return number;
    }
    return -1;
}

QObject *VRynTopDistributor::ChannelObject(int number) const
{
    if (number < 0 || number >= ChannelCount())
        return nullptr;
    return m_records[std::size_t(number) * 2].Channel;
}

bool VRynTopDistributor::IsChannelReleased(int number) const
{
    if (number < 0 || number >= ChannelCount())
        return true;
    return m_records[std::size_t(number) * 2].Freed && m_records[std::size_t(number) * 2 + 1].Freed;
}

int VRynTopDistributor::AddChannel(QObject *Channel)
{
    const int count = ChannelCount();
    for (int number = 0; number < count; ++number) {
        if (m_records[std::size_t(number) * 2].Channel == Channel) {
            m_records[std::size_t(number) * 2].Freed = false;
            m_records[std::size_t(number) * 2 + 1].Freed = false;
            return number;
        }
    }
    for (int direction : {kDirectionReceive, kDirectionSend}) {
        (void)direction;
        VRynDistributor_TopDataRecord record;
        record.Channel = Channel;
        m_records.push_back(std::move(record));
    }
    std::vector<VRynGeneralDistributor *> chain;
    CollectAll(this, chain);
    for (VRynGeneralDistributor *d : chain) {
        for (VRynDistributor_DataRecord &data : d->m_data)
            data.Channels.resize(std::size_t(count) + 1);
    }
    return count;
}

bool VRynTopDistributor::DeleteChannel(QObject *Channel)
{
    if (Channel == nullptr) {
        for (std::size_t index : {0u, 1u}) {
            VRynDistributor_TopDataRecord &record = m_records[index];
            record.ExternallyCut += record.Buffer.size() - record.Head;
            record.Buffer.clear();
            record.Head = 0;
            record.Freed = true;
        }
        return true;
    }
    const int number = FindChannel(Channel);
    if (number < 1)
        return false;
    if (m_passDepth > 0) {
        m_records[std::size_t(number) * 2].Freed = true;
        m_records[std::size_t(number) * 2 + 1].Freed = true;
        if (std::find(m_deferredDeletions.begin(), m_deferredDeletions.end(), Channel) == m_deferredDeletions.end())
            m_deferredDeletions.push_back(Channel);
        return true;
    }
    RemoveChannelNumber(number);
    return true;
}

void VRynTopDistributor::RemoveChannelNumber(int number)
{
    const std::size_t count = std::size_t(ChannelCount());
    const std::size_t last = count - 1;
    const std::size_t n = std::size_t(number);
    if (n != last) {
        m_records[n * 2] = std::move(m_records[last * 2]);
        m_records[n * 2 + 1] = std::move(m_records[last * 2 + 1]);
    }
    m_records.resize(last * 2);
    std::vector<VRynGeneralDistributor *> chain;
    CollectAll(this, chain);
    for (VRynGeneralDistributor *d : chain) {
        for (VRynDistributor_DataRecord &data : d->m_data) {
            if (data.Channels.size() != count)
                continue;
            if (n != last)
                data.Channels[n] = data.Channels[last];
            data.Channels.pop_back();
        }
    }
}

void VRynTopDistributor::ApplyDeferredDeletions()
{
    std::vector<QObject *> deferred;
    deferred.swap(m_deferredDeletions);
    for (QObject *channel : deferred) {
        // A channel seen again during the pass is in use once more.
        const int number = FindChannel(channel);
        if (number >= 1 && IsChannelReleased(number))
            RemoveChannelNumber(number);
    }
}

void VRynTopDistributor::ReceiveHook(VRynCommunicationComponent *Sender, QObject *Channel, const std::uint8_t *Buffer,
                                     std::uint16_t BufferLength)
{
    if (!m_comHandlerEnabled || m_destroying)
        return;
    QPointer<VRynTopDistributor> self(this);
    QObject *channel = Channel;
    if (auto update = m_onUpdateComReceive) {
        QObject *sender = Sender;
        if (!Invoke(this, dcbUpdateComReceive, -1, nullptr, [&] { update(sender, channel); }))
            return;
    }
    const int index = AddChannel(channel) * 2;
    Append(index, reinterpret_cast<const char *>(Buffer), BufferLength);
    std::uint32_t TheTime = TickCount();
    CurrentTimeRef() = TheTime;
    RunPipeline(index, TheTime);
    if (self && m_doTimerAfterData)
        TimerTick();
    if (self)
        TickNeedChanged(); // bytes that wait for more want the next tick
}

void VRynTopDistributor::SendComData(std::uint32_t &TheTime, const std::string &Data)
{
    if (m_comHandler != nullptr)
        m_comHandler->Send(Data);
    m_records[0].Freed = false;
    m_records[1].Freed = false;
    Append(1, Data.data(), Data.size());
    QPointer<VRynTopDistributor> self(this);
    RunPipeline(1, TheTime);
    if (self)
        TickNeedChanged();
}

void VRynTopDistributor::SendComData(QObject *Channel, std::uint32_t &TheTime, const std::string &Data)
{
    VRynCommunicationComponent *handler = m_comHandler;
    QObject *channel = Channel;
    if (auto update = m_onUpdateHandler) {
        if (!Invoke(this, dcbUpdateHandler, -1, nullptr, [&] { update(this, handler, channel); }))
            return;
    }
    if (auto update = m_onUpdateComSend) {
        QObject *sender = handler;
        if (!Invoke(this, dcbUpdateComSend, -1, nullptr, [&] { update(sender, channel); }))
            return;
        if (sender != handler)
            handler = qobject_cast<VRynCommunicationComponent *>(sender);
    }
    if (handler == nullptr)
        return;
    handler->SendToChannel(channel, reinterpret_cast<const std::uint8_t *>(Data.data()), Data.size());
    const int index = AddChannel(channel) * 2 + 1;
    Append(index, Data.data(), Data.size());
    QPointer<VRynTopDistributor> self(this);
    RunPipeline(index, TheTime);
    if (self)
        TickNeedChanged();
}

void VRynTopDistributor::TimerTick()
{
    if (m_destroying)
        return;
    QPointer<VRynTopDistributor> self(this);
    std::uint32_t TheTime = TickCount();
    if (!m_timerEnabled) {
        RegisteredTimersWalk(TheTime);
        return;
    }
    for (int index : {0, 1}) {
        if (m_busy)
            continue;
        m_busy = true;
        struct BusyEnd {
            QPointer<VRynTopDistributor> &self;
            ~BusyEnd()
            {
                if (self)
                    self->m_busy = false;
            }
        } busyEnd{self};
        RunPipeline(index, TheTime);
        if (!self)
            return;
    }
    TimerPollWalk(TheTime);
    if (!self)
        return;
    TimeoutWalk(TheTime);
    if (!self)
        return;
    RegisteredTimersWalk(TheTime);
}

void VRynTopDistributor::RunPipeline(int index, std::uint32_t &TheTime)
{
    if (!CheckIndex(index))
        return;
    if (m_records[std::size_t(index)].InPass)
        return; // the running pass loops on and takes the new bytes too
    QPointer<VRynTopDistributor> self(this);
    m_records[std::size_t(index)].InPass = true;
    ++m_passDepth;
    struct PassEnd {
        QPointer<VRynTopDistributor> &self;
        std::size_t index;
        ~PassEnd()
        {
            if (!self)
                return;
            if (index < self->m_records.size())
                self->m_records[index].InPass = false;
            if (--self->m_passDepth == 0 && !self->m_deferredDeletions.empty())
                self->ApplyDeferredDeletions();
        }
    } passEnd{self, std::size_t(index)};

    std::vector<QPointer<VRynGeneralDistributor>> chain;
    std::string message; // its capacity serves every round of the pass
    while (self && PipelineRound(index, TheTime, chain, message)) {
    }
}

// What the phases of one round share. No reference into m_records or a
// channel-record array is held across a callback: a callback may add
// channels, which moves them.
struct VRynTopDistributor::Round {
    int index;
    std::size_t slot;
    int direction;
    std::size_t number;
    bool plain; // the plain callbacks run on the first channel only
    QObject *channel;
    QPointer<VRynTopDistributor> self;
    std::vector<QPointer<VRynGeneralDistributor>> &chain;
    std::string &message;
    bool anyDecoder = false;
    bool decoderThrew = false; // and the application marked it handled
    std::size_t length = 0;
    QPointer<VRynGeneralDistributor> lowest{};

    // Runs a decoder, noting when it raises (the exception goes on).
    template <class F> void Noting(F &&decode)
    {
        try {
            decode();
        } catch (...) {
            decoderThrew = true;
            throw;
        }
    }

    VRynDistributor_ChannelRecord *RecordOf(VRynGeneralDistributor *d) const
    {
        auto &channels = d->m_data[direction].Channels;
        return number < channels.size() ? &channels[number] : nullptr;
    }

    // Runs step on every distributor of the chain still alive, in order.
    // False as soon as the top itself has gone (checked before each step)
    // or a step returns false; a step returns true to go on with the next.
    template <class Step> bool EachInChain(Step &&step) const
    {
        for (const auto &p : chain) {
            if (!self)
                return false; // the top itself went in a callback
            VRynGeneralDistributor *d = p.data();
            if (d != nullptr && !step(d))
                return false;
        }
        return true;
    }
};

bool VRynTopDistributor::PipelineRound(int index, std::uint32_t &TheTime,
                                       std::vector<QPointer<VRynGeneralDistributor>> &chain, std::string &message)
{
    const std::size_t slot = std::size_t(index);
    if (m_records[slot].Head == m_records[slot].Buffer.size())
        return false;
    Round round{index, slot, index & 1, slot >> 1, index < 2, m_records[slot].Channel, this, chain, message};
    chain.clear();
    CollectChain(this, round.direction, chain);
    if (!DecodePhase(round, TheTime))
        return false;
    if (!ChooseMessage(round))
        return round.decoderThrew && CutAfterFailedDecode(round);
    return TransferPhase(round, TheTime) && PollPhase(round, TheTime);
}

bool VRynTopDistributor::CutAfterFailedDecode(Round &round)
{
    // The same bytes would upset the decoder on every tick and block the
    // buffer for good: they go up to the next CR, or all of them.
    VRynDistributor_TopDataRecord &record = m_records[round.slot];
    const std::string_view live = TopBuffer(round.index);
    const std::size_t cr = live.find('\r');
    const std::size_t count = cr == std::string_view::npos ? live.size() : cr + 1;
    if (count == 0)
        return false;
    CutHead(record, count);
    return true;
}

bool VRynTopDistributor::DecodePhase(Round &round, std::uint32_t &TheTime)
{
    const int direction = round.direction;
    QObject *const channel = round.channel;
    const QPointer<VRynTopDistributor> &self = round.self;
    return round.EachInChain([&](VRynGeneralDistributor *d) {
        VRynDistributor_ChannelRecord *rec = round.RecordOf(d);
        if (rec == nullptr)
            return true;
        rec->DecodedLength = 0;
        rec->DecodePending = true;
        VRynDistributor_DataRecord &data = d->m_data[direction];
        if (round.plain && data.OnDecode) {
            round.anyDecoder = true;
            auto f = data.OnDecode;
            if (!Invoke(d, dcbDecode, direction, nullptr, [&] { round.Noting([&] { f(d, TheTime); }); }))
                return true;
        }
        if (!self)
            return false;
        if (auto f = d->m_data[direction].OnAdvancedDecode) {
            round.anyDecoder = true;
            if (!Invoke(d, dcbAdvancedDecode, direction, nullptr,
                        [&] { round.Noting([&] { f(d, channel, TheTime); }); }))
                return true;
        }
        if (!self)
            return false;
        if (auto f = d->m_onAdvancedComDecode) {
            round.anyDecoder = true;
            if (!Invoke(d, dcbAdvancedComDecode, direction, nullptr, [&] {
                    round.Noting([&] {
                        if (VRynDistributor_ChannelRecord *r = round.RecordOf(d))
                            f(d, channel, r, TheTime);
                    });
                }))
                return true;
        }
        if (!self)
            return false;
        if (auto f = d->m_data[direction].OnAdvancedGetColor) {
            VRynDistributor_ChannelRecord *r = round.RecordOf(d);
            if (r == nullptr)
                return true;
            const std::string_view live = TopBuffer(round.index);
            const int length = r->DecodedLength;
            const std::string data(length >= 1 && std::size_t(length) <= live.size() ? live.substr(0, std::size_t(length))
                                                                                     : live);
            TColor color = r->FilterColor;
            if (!Invoke(d, dcbGetColor, direction, nullptr, [&] { f(d, channel, data, TheTime, color); }))
                return true;
            if (!self)
                return false;
            if ((r = round.RecordOf(d)) != nullptr)
                r->FilterColor = color;
        }
        return true;
    });
}

bool VRynTopDistributor::ChooseMessage(Round &round)
{
    // Choice of the lowest decoder: the shortest complete message; on a tie
    // a later decoder takes over only from one that has settled (decode
    // pending false). A length beyond the buffered bytes claims bytes that
    // have not arrived and does not count.
    const std::size_t available = m_records[round.slot].Buffer.size() - m_records[round.slot].Head;
    VRynGeneralDistributor *lowest = nullptr;
    std::size_t length = 0;
    bool lowestPending = false;
    for (const auto &p : round.chain) {
        VRynGeneralDistributor *d = p.data();
        const VRynDistributor_ChannelRecord *rec = d ? round.RecordOf(d) : nullptr;
        if (rec == nullptr || rec->DecodedLength < 1 || std::size_t(rec->DecodedLength) > available)
            continue;
        const auto candidate = std::size_t(rec->DecodedLength);
        if (lowest == nullptr || candidate < length || (candidate == length && !lowestPending)) {
            lowest = d;
            length = candidate;
            lowestPending = rec->DecodePending;
        }
    }
    if (lowest == nullptr) {
        if (round.anyDecoder || available == 0)
            return false; // wait for the rest of the message
        length = available; // nobody decodes this direction: pass the bytes through
    }
    round.lowest = lowest;
    round.length = length;
    round.message.assign(TopBuffer(round.index).substr(0, length));
    return true;
}

bool VRynTopDistributor::TransferPhase(Round &round, std::uint32_t &TheTime)
{
    // The cut runs even when a transfer callback raises, so a message that
    // upsets a callback is not delivered again and again; bytes cut under
    // the pass by someone else are not cut twice.
    const int direction = round.direction;
    QObject *const channel = round.channel;
    const QPointer<VRynTopDistributor> &self = round.self;
    const std::string &message = round.message;
    const std::size_t length = round.length;
    const std::uint64_t cutBefore = m_records[round.slot].ExternallyCut;
    struct CutAtEnd {
        VRynTopDistributor *top;
        const QPointer<VRynTopDistributor> &self;
        std::size_t slot;
        std::size_t length;
        std::uint64_t cutBefore;
        ~CutAtEnd()
        {
            if (!self || slot >= top->m_records.size())
                return;
            VRynDistributor_TopDataRecord &record = top->m_records[slot];
            const std::uint64_t cutUnder = record.ExternallyCut - cutBefore;
            if (cutUnder < length)
                top->CutHead(record, length - std::size_t(cutUnder));
        }
    } cutAtEnd{this, self, round.slot, length, cutBefore};

    const bool completed = round.EachInChain([&](VRynGeneralDistributor *d) {
        const VRynDistributor_ChannelRecord *rec = round.RecordOf(d);
        if (rec == nullptr)
            return true;
        const bool failed = std::size_t(std::max(rec->DecodedLength, 0)) != length;
        if (round.plain && d->m_data[direction].OnCharPoll) {
            auto f = d->m_data[direction].OnCharPoll;
            bool alive = true;
            for (std::size_t i = 0; alive && i < message.size(); ++i)
                alive = Invoke(d, dcbCharPoll, direction, nullptr, [&] { f(d, TheTime, message[i]); });
            if (!alive)
                return true;
        }
        if (!self)
            return false;
        if (auto f = d->m_data[direction].OnAdvancedCharPoll) {
            bool alive = true;
            for (std::size_t i = 0; alive && i < message.size(); ++i)
                alive = Invoke(d, dcbAdvancedCharPoll, direction, nullptr,
                               [&] { f(d, channel, TheTime, message[i]); });
            if (!alive)
                return true;
        }
        if (!self)
            return false;
        if (round.plain && d->m_data[direction].OnTransfer) {
            auto f = d->m_data[direction].OnTransfer;
            if (!Invoke(d, dcbTransfer, direction, nullptr,
                        [&] { f(d, TheTime, message, round.lowest.data(), failed); }))
                return true;
        }
        if (!self)
            return false;
        if (auto f = d->m_data[direction].OnAdvancedTransfer) {
            if (!Invoke(d, dcbAdvancedTransfer, direction, nullptr,
                        [&] { f(d, channel, TheTime, message, round.lowest.data(), failed); }))
                return true;
        }
        return bool(self);
    });
    return completed && self;
}

bool VRynTopDistributor::PollPhase(Round &round, std::uint32_t &TheTime)
{
    // processed is shared along the chain.
    const int direction = round.direction;
    QObject *const channel = round.channel;
    const QPointer<VRynTopDistributor> &self = round.self;
    const std::string &message = round.message;
    bool processed = false;
    return round.EachInChain([&](VRynGeneralDistributor *d) {
        if (round.plain && d->m_data[direction].OnPoll) {
            auto f = d->m_data[direction].OnPoll;
            if (!Invoke(d, dcbPoll, direction, nullptr, [&] { f(d, TheTime, message, processed); }))
                return true;
        }
        if (!self)
            return false;
        if (auto f = d->m_data[direction].OnAdvancedPoll) {
            if (!Invoke(d, dcbAdvancedPoll, direction, nullptr, [&] { f(d, channel, TheTime, message, processed); }))
                return true;
        }
        return bool(self);
    });
}
