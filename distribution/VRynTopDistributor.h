#pragma once
// Head of a distributor chain: holds the byte buffers of every channel and
// direction, hooks itself to a communication handler and a periodic timer,
// and runs the pipeline that hands the data to every distributor.
//
// One pipeline pass drains its buffer: it repeats decode, transfer and poll
// while a decoder claims a complete message, so a burst of messages is
// delivered at once. A direction in which no distributor decodes passes its
// bytes through as they come.

#include "VRynGeneralDistributor.h"

#include <QPointer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QTimer;
class VRynCommunicationComponent;

// Interval of the timer that Loaded creates when none is set.
inline constexpr std::chrono::milliseconds kDistributionTimerInterval{20};

class VRynTopDistributor : public VRynGeneralDistributor {
    Q_OBJECT
public:
    using TickCountSource = std::function<std::uint32_t()>;

    explicit VRynTopDistributor(QObject *owner = nullptr);
    ~VRynTopDistributor() override;

    VRynTopDistributor *TopDistributor() override { return this; }

    // With AutomaticCreate: creates and starts an owned timer when none is set.
    void Loaded();
    bool AutomaticCreate() const { return m_automaticCreate; }
    void SetAutomaticCreate(bool on) { m_automaticCreate = on; }

    // The timer's timeout runs TimerTimeout. The top does not start a timer
    // it was given; it frees one it created. A destroyed timer is forgotten.
    QTimer *Timer() const { return m_timer; }
    void SetTimer(QTimer *timer);

    // What the timer's timeout runs: a tick, then the plan of the next one.
    // A tick is due while a timer callback is set, a callback runs or data
    // waits in a buffer; otherwise the next is the first tick of the
    // timer's period (counted from the last tick) on which a time-out or a
    // registered timer of the chain falls due, or the kMaxSleepTicks-th. The
    // top re-times a running timer for that (as a precise timer; the
    // owner's start and stop are kept), so no time-out expires on a later
    // tick than it would with a tick every period, and the event loop does
    // not wake for the ticks in between.
    void TimerTimeout();
    // Called by the chain when a tick may be due sooner than planned: a
    // time-out or a registered timer armed, a timer callback set, a
    // distributor attached. Moves the planned tick forward, never back.
    void TickNeedChanged();
    // A minute at the session's 50 ms: a monitor that polls once a minute
    // does not wake in between, and no plan reaches past a wrap of the
    // 32-bit tick count.
    static constexpr std::uint32_t kMaxSleepTicks = 1200;
    // Hooks the handler's advanced receive-data event; releases channel 0 on
    // every change. A destroyed handler is forgotten.
    VRynCommunicationComponent *ComHandler() const { return m_comHandler; }
    void SetComHandler(VRynCommunicationComponent *handler);

    bool TimerEnabled() const { return m_timerEnabled; }
    void SetTimerEnabled(bool on) { m_timerEnabled = on; }
    bool ComHandlerEnabled() const { return m_comHandlerEnabled; }
    void SetComHandlerEnabled(bool on) { m_comHandlerEnabled = on; }
    bool DoTimerAfterData() const { return m_doTimerAfterData; }
    void SetDoTimerAfterData(bool on) { m_doTimerAfterData = on; }

    // May replace the handler and channel of SendComData(Channel, ...).
    TDistributorUpdateComHandlerProc OnUpdateHandler() const { return m_onUpdateHandler; }
    void SetOnUpdateHandler(TDistributorUpdateComHandlerProc f) { m_onUpdateHandler = std::move(f); }
    // Called with (handler, channel) before received bytes are filed; may
    // replace the channel object the bytes are filed under.
    TDistributorUpdateComSendRecvProc OnUpdateComReceive() const { return m_onUpdateComReceive; }
    void SetOnUpdateComReceive(TDistributorUpdateComSendRecvProc f) { m_onUpdateComReceive = std::move(f); }
    // Called with (handler, channel) in SendComData(Channel, ...) after
    // OnUpdateHandler; may replace both.
    TDistributorUpdateComSendRecvProc OnUpdateComSend() const { return m_onUpdateComSend; }
    void SetOnUpdateComSend(TDistributorUpdateComSendRecvProc f) { m_onUpdateComSend = std::move(f); }

    // The clock: monotonic milliseconds by default; tests set their own.
    void SetTickCountSource(TickCountSource source) { m_tickSource = std::move(source); }
    std::uint32_t TickCount() const { return m_tickSource ? m_tickSource() : MonotonicTickCount(); }
    static std::uint32_t MonotonicTickCount();

    // One timer tick: pipelines of indexes 0 and 1, then timer poll,
    // time-outs and registered timers over the chain. Exceptions go to the
    // caller (the timer's slot catches and reports them).
    void TimerTick();

    // The number of Channel, adding it (two records, receive and send) when
    // it is new.
    int AddChannel(QObject *Channel);
    // nullptr: empties the buffers of channel 0 and marks it released.
    // Another channel: false when unknown; removed at once, or, while a
    // pipeline pass runs, marked released and removed when the pass ends.
    bool DeleteChannel(QObject *Channel);
    // -1 when Channel is not registered.
    int FindChannel(QObject *Channel) const;
    int ChannelCount() const { return int(m_records.size() / 2); }
    QObject *ChannelObject(int number) const;
    bool IsChannelReleased(int number) const;
    bool IsPassRunning() const { return m_passDepth > 0; }

    // Cuts count bytes from the head of the buffer of index; -1 cuts
    // everything, below -1 throws RynException.
    void CutComBuffer(int index, int count);

    // The handler's advanced receive-data event: files the bytes under
    // Channel, runs the pipeline of that receive index, then (with
    // DoTimerAfterData) a tick. Exceptions go to the caller.
    void ReceiveHook(VRynCommunicationComponent *Sender, QObject *Channel, const std::uint8_t *Buffer,
                     std::uint16_t BufferLength);

    using VRynGeneralDistributor::SendComData;
    // Sends through the handler, then appends to the send buffer (index 1)
    // and runs its pipeline.
    void SendComData(std::uint32_t &TheTime, const std::string &Data) override;
    void SendComData(QObject *Channel, std::uint32_t &TheTime, const std::string &Data) override;

private slots:
    void OnTimerTimeout();
    void OnTimerDestroyed(QObject *timer);
    void OnComHandlerDestroyed(QObject *handler);

private:
    friend class VRynGeneralDistributor;
    struct ReceiveHookFn;

    std::string_view TopBuffer(int index);
    bool CheckIndex(int index) const;
    void Append(int index, const char *bytes, std::size_t count);
    void CutHead(VRynDistributor_TopDataRecord &record, std::size_t count);
    void RunPipeline(int index, std::uint32_t &TheTime);
    // One decode-transfer-poll round; false when no message was cut.
    // chain and message are the pass's own, kept from round to round.
    bool PipelineRound(int index, std::uint32_t &TheTime, std::vector<QPointer<VRynGeneralDistributor>> &chain,
                       std::string &message);
    // The phases of a round, in this order; each false when the round ends
    // there (the top itself went in a callback, or no message is complete).
    struct Round;
    bool DecodePhase(Round &round, std::uint32_t &TheTime);
    // Picks the message to cut: the lowest decoder's, or the bytes nobody decodes.
    bool ChooseMessage(Round &round);
    // Transfers the message along the chain, then cuts it.
    bool TransferPhase(Round &round, std::uint32_t &TheTime);
    bool PollPhase(Round &round, std::uint32_t &TheTime);
    // After a decoder raised an exception the application handled and no
    // message was chosen: cuts up to the next CR (or all); false when
    // nothing was left to cut.
    bool CutAfterFailedDecode(Round &round);
    // Milliseconds from now until a tick is due (0: at the next one); none
    // when nothing of the chain is armed.
    std::optional<std::uint64_t> NextDueIn(std::uint32_t now) const;
    // Re-times the timer for the tick planned from the last one; outside a
    // tick only when that tick comes sooner than the one planned.
    void PlanTicks(std::uint32_t now, bool atTick);
    // Gives the timer its owner's interval and type back.
    void RestoreTimer();
    void RemoveChannelNumber(int number);
    void ApplyDeferredDeletions();
    bool IsHookInstalled() const;

    bool m_automaticCreate = true;
    QTimer *m_timer = nullptr;
    bool m_timerOwned = false;
    // While m_planned the timer runs an interval the top set for the tick
    // due at m_plannedWake; m_gridTick is the tick count of the last tick on
    // the timer's period, from which the plan counts whole periods.
    bool m_planned = false;
    int m_baseInterval = 0;
    Qt::TimerType m_baseType = Qt::CoarseTimer;
    int m_plannedInterval = 0;
    std::uint32_t m_plannedWake = 0;
    std::uint32_t m_gridTick = 0;
    VRynCommunicationComponent *m_comHandler = nullptr;
    bool m_comHandlerOwned = false;
    bool m_timerEnabled = true;
    bool m_comHandlerEnabled = true;
    bool m_doTimerAfterData = true;
    bool m_destroying = false;
    // Set while a timer-driven pass runs; a tick arriving meanwhile skips
    // the pipelines.
    bool m_busy = false;
    // Nesting depth of pipeline passes over all indexes.
    int m_passDepth = 0;
    std::vector<VRynDistributor_TopDataRecord> m_records;
    std::vector<QObject *> m_deferredDeletions;
    TickCountSource m_tickSource;
    TDistributorUpdateComHandlerProc m_onUpdateHandler;
    TDistributorUpdateComSendRecvProc m_onUpdateComReceive;
    TDistributorUpdateComSendRecvProc m_onUpdateComSend;
};
